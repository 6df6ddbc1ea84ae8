#include "scene/Animation.h"
#include "tests/support/AllocationWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

using namespace ORV::Core;

namespace {

using Floats = std::array<float, 15>;

Floats evaluateTrack(const AnimationTrack& track, float t, float fill = 0.0f)
{
    Floats out;
    out.fill(fill);
    track.evaluate(t, out);
    return out;
}

float scalarAt(const AnimationTrack& track, float t)
{
    return evaluateTrack(track, t)[0];
}

void setScalar(SampledAnimationTrack& track, float t, float v)
{
    track.setKey(t, std::array{v});
}

void setQuaternion(SampledAnimationTrack& track, float t, Quaternion q)
{
    track.setKey(t, std::array{q.x, q.y, q.z, q.w});
}

Floats flat(const Transform& t)
{
    Floats f;
    t.toFloats(f);
    return f;
}

bool allFinite(const Floats& f, std::size_t count)
{
    return std::all_of(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(count),
                       [](float v) { return std::isfinite(v); });
}

} // namespace

// --- key search and linear blends -------------------------------------------

TEST(AnimationTrackEvaluate, ScalarInterpolatesAndHoldsEnds)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    setScalar(track, 0.0f, 0.0f);
    setScalar(track, 0.1f, 10.0f);
    setScalar(track, 0.2f, 20.0f);

    EXPECT_FLOAT_EQ(scalarAt(track, 0.05f), 5.0f);
    EXPECT_EQ(scalarAt(track, -1.0f), 0.0f);
    EXPECT_EQ(scalarAt(track, 0.1f), 10.0f); // an exact key time gives that key with f = 0
    EXPECT_EQ(scalarAt(track, 0.2f), 20.0f);
    EXPECT_EQ(scalarAt(track, 7.0f), 20.0f);
    EXPECT_EQ(scalarAt(track, std::numeric_limits<float>::infinity()), 20.0f);
    EXPECT_EQ(scalarAt(track, -std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(AnimationTrackEvaluate, ExactKeyTimesGiveTheirKeyEvenAfterAnInfiniteKey)
{
    // At a key's own time the blend starts from that key with weight 0; the
    // key before it must not be the start, least of all at -infinity, where
    // (t - t0) / (t1 - t0) is infinity over infinity.
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        std::vector<float> times;
        std::vector<float> values;
    };
    const Row rows[] = {
        {{-inf, 1.0f, 2.0f, 3.0f}, {10.0f, 20.0f, 30.0f, 40.0f}},
        {{-inf, -1.0f, 0.0f}, {5.0f, 6.0f, 7.0f}},
        {{-inf, 0.5f, inf}, {1.0f, 2.0f, 3.0f}},
        {{-2.0f, -1.0f, 4.0f, 8.0f}, {-1.0f, 1.0f, 3.0f, 5.0f}},
    };
    for (const Row& row : rows) {
        SampledAnimationTrack track(TrackValueKind::Scalar, row.times, row.values);
        for (std::size_t k = 1; k < row.times.size(); ++k) {
            if (!std::isfinite(row.times[k])) continue;
            EXPECT_EQ(scalarAt(track, row.times[k]), row.values[k]) << "key " << k << " at " << row.times[k];
        }
    }
}

TEST(AnimationTrackEvaluate, SingleKeyHoldsEverywhere)
{
    SampledAnimationTrack track(TrackValueKind::Vector3);
    track.setKey(3.0f, std::array{1.0f, 2.0f, 3.0f});
    for (float t : {-100.0f, 2.999f, 3.0f, 3.001f, 100.0f}) {
        const Floats v = evaluateTrack(track, t);
        EXPECT_EQ(v[0], 1.0f);
        EXPECT_EQ(v[1], 2.0f);
        EXPECT_EQ(v[2], 3.0f);
        EXPECT_EQ(v[3], 0.0f) << "a Vector3 track writes three floats only";
    }
}

TEST(AnimationTrackEvaluate, TimeThatIsNotANumberGivesTheFirstKey)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    setScalar(track, 1.0f, 4.0f);
    setScalar(track, 2.0f, 8.0f);
    EXPECT_EQ(scalarAt(track, std::numeric_limits<float>::quiet_NaN()), 4.0f);
}

TEST(AnimationTrackEvaluate, EmptyTracksGiveNeutralValues)
{
    EXPECT_EQ(scalarAt(SampledAnimationTrack(TrackValueKind::Scalar), 1.0f), 0.0f);
    const Floats v2 = evaluateTrack(SampledAnimationTrack(TrackValueKind::Vector2), 1.0f, 9.0f);
    EXPECT_EQ((std::array{v2[0], v2[1], v2[2]}), (std::array{0.0f, 0.0f, 9.0f}));
    const Floats v3 = evaluateTrack(SampledAnimationTrack(TrackValueKind::Vector3), 1.0f, 9.0f);
    EXPECT_EQ((std::array{v3[0], v3[1], v3[2], v3[3]}), (std::array{0.0f, 0.0f, 0.0f, 9.0f}));
    const Floats v4 = evaluateTrack(SampledAnimationTrack(TrackValueKind::Vector4), 1.0f, 9.0f);
    EXPECT_EQ((std::array{v4[0], v4[1], v4[2], v4[3], v4[4]}), (std::array{0.0f, 0.0f, 0.0f, 1.0f, 9.0f}));
    const Floats q = evaluateTrack(SampledAnimationTrack(TrackValueKind::Quaternion), 1.0f, 9.0f);
    EXPECT_EQ((std::array{q[0], q[1], q[2], q[3], q[4]}), (std::array{0.0f, 0.0f, 0.0f, 1.0f, 9.0f}));

    Floats untouched;
    untouched.fill(42.0f);
    EXPECT_EQ(evaluateTrack(SampledAnimationTrack(TrackValueKind::Transform), 1.0f, 42.0f), untouched);
}

TEST(AnimationTrackEvaluate, UnknownKindStoresAndWritesNothing)
{
    SampledAnimationTrack track(static_cast<TrackValueKind>(9));
    EXPECT_EQ(trackValueFloats(track.getValueKind()), 0u);
    Floats key;
    key.fill(5.0f);
    EXPECT_TRUE(track.setKey(1.0f, key));
    EXPECT_EQ(track.keyCount(), 1u);
    EXPECT_TRUE(track.keyValue(0).empty());
    Floats untouched;
    untouched.fill(42.0f);
    EXPECT_EQ(evaluateTrack(track, 1.0f, 42.0f), untouched);
}

TEST(AnimationTrackEvaluate, NeverWritesPastASmallOutput)
{
    SampledAnimationTrack track(TrackValueKind::Transform);
    track.setKey(0.0f, flat(Transform::identity()));
    std::array<float, 4> out{7.0f, 7.0f, 7.0f, 7.0f};
    track.evaluate(0.0f, std::span<float>(out).first(2));
    EXPECT_EQ(out, (std::array{0.0f, 0.0f, 7.0f, 7.0f}));
}

// The key search against a simple reference: sorted keys, the last key at or
// before t, and the blend written out by hand.
TEST(AnimationTrackEvaluate, MatchesReferenceOnRandomTracks)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::uniform_int_distribution<int> keyCount(1, 12);
    for (int round = 0; round < 300; ++round) {
        SampledAnimationTrack track(TrackValueKind::Vector3);
        std::vector<std::pair<float, std::array<float, 3>>> reference;
        const int n = keyCount(random);
        for (int i = 0; i < n; ++i) {
            // Coarse times so that duplicates (replacements) happen.
            const float t = static_cast<float>(random() % 20) * 0.25f - 1.0f;
            const std::array<float, 3> v{value(random), value(random), value(random)};
            track.setKey(t, v);
            auto it = std::find_if(reference.begin(), reference.end(), [&](auto& k) { return k.first == t; });
            if (it != reference.end())
                it->second = v;
            else
                reference.emplace_back(t, v);
        }
        std::sort(reference.begin(), reference.end(), [](auto& a, auto& b) { return a.first < b.first; });

        std::vector<float> queries{-2.0f, 5.0f};
        for (auto& k : reference) queries.push_back(k.first);
        for (int q = 0; q < 20; ++q) queries.push_back(std::uniform_real_distribution<float>(-1.5f, 4.5f)(random));

        for (float t : queries) {
            std::size_t i0 = 0, i1 = 0;
            float f = 0.0f;
            if (t >= reference.back().first) {
                i0 = i1 = reference.size() - 1;
            } else if (t >= reference.front().first) {
                while (reference[i1].first <= t) ++i1;
                i0 = i1 - 1;
                f = (t - reference[i0].first) / (reference[i1].first - reference[i0].first);
            }
            const Floats got = evaluateTrack(track, t);
            for (int c = 0; c < 3; ++c) {
                const float expected = (1.0f - f) * reference[i0].second[c] + f * reference[i1].second[c];
                ASSERT_EQ(got[c], expected) << "round " << round << " t " << t << " component " << c;
            }
        }
    }
}

// --- keys, range, markers, clone -------------------------------------------

TEST(AnimationTrackKeys, SameTimeReplacesAndNeighbouringFloatsAreTwoKeys)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    setScalar(track, 0.1f, 1.0f);
    setScalar(track, 0.1f, 2.0f);
    ASSERT_EQ(track.keyCount(), 1u);
    EXPECT_EQ(scalarAt(track, 0.1f), 2.0f);

    setScalar(track, std::nextafter(0.1f, 1.0f), 3.0f);
    EXPECT_EQ(track.keyCount(), 2u);

    setScalar(track, 0.0f, 4.0f);
    setScalar(track, -0.0f, 5.0f); // equal as floats: one key
    EXPECT_EQ(track.keyCount(), 3u);
    EXPECT_EQ(scalarAt(track, 0.0f), 5.0f);
}

TEST(AnimationTrackKeys, KeyAtTimeThatIsNotANumberIsRefused)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    EXPECT_FALSE(track.setKey(std::numeric_limits<float>::quiet_NaN(), std::array{1.0f}));
    EXPECT_EQ(track.keyCount(), 0u);
}

TEST(AnimationTrackKeys, TimeRange)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    float range[2] = {9.0f, 9.0f};
    track.getTimeRange(range);
    EXPECT_EQ(range[0], 0.0f);
    EXPECT_EQ(range[1], 0.0f);
    setScalar(track, 2.5f, 0.0f);
    setScalar(track, -1.5f, 0.0f);
    setScalar(track, 0.5f, 0.0f);
    track.getTimeRange(range);
    EXPECT_EQ(range[0], -1.5f);
    EXPECT_EQ(range[1], 2.5f);
}

TEST(AnimationTrackKeys, Markers)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    EXPECT_EQ(track.getMarker("start"), 0.0f);
    track.setMarker("end", 1.0f);
    track.setMarker("end", 2.0f);
    EXPECT_EQ(track.getMarker("end"), 2.0f);
    EXPECT_EQ(track.getMarker("End"), 0.0f); // byte-wise names
    EXPECT_EQ(track.markers().size(), 1u);
}

TEST(AnimationTrackKeys, CloneEvaluatesAlikeWithoutMarkersAndIsIndependent)
{
    SampledAnimationTrack source(TrackValueKind::Transform);
    Transform a, b;
    a.translation = {1, 2, 3};
    b.translation = {-4, 0, 8};
    b.rotation = {0.0f, 0.0f, 0.7071068f, 0.7071068f};
    b.scale = {2, 2, 2};
    b.sign = -1.0f;
    source.setKey(0.0f, flat(a));
    source.setKey(1.0f, flat(b));
    source.setMarker("start", 0.0f);

    const std::unique_ptr<AnimationTrack> clone = source.clone();
    EXPECT_EQ(clone->getValueKind(), TrackValueKind::Transform);
    EXPECT_TRUE(clone->markers().empty());
    for (float t : {-1.0f, 0.0f, 0.3f, 0.5f, 0.9f, 1.0f, 2.0f})
        EXPECT_EQ(evaluateTrack(*clone, t), evaluateTrack(source, t)) << t;

    const Floats before = evaluateTrack(*clone, 0.5f);
    source.setKey(0.5f, flat(Transform::identity()));
    EXPECT_EQ(evaluateTrack(*clone, 0.5f), before);
    EXPECT_NE(evaluateTrack(source, 0.5f), before);
}

TEST(AnimationTrackKeys, ShortValueWritesOnlyItsFloats)
{
    SampledAnimationTrack track(TrackValueKind::Vector3);
    track.setKey(1.0f, std::array{1.0f, 2.0f, 3.0f});
    track.setKey(1.0f, std::array{7.0f}); // replaces x, keeps y and z
    track.setKey(0.0f, std::array{5.0f}); // a new key, inserted before: y and z are 0
    ASSERT_EQ(track.keyCount(), 2u);
    EXPECT_EQ(std::vector<float>(track.keyValues().begin(), track.keyValues().end()),
              (std::vector<float>{5, 0, 0, 7, 2, 3}));
}

// Building from lists gives what setKey gives for the same keys in the same
// order, bit for bit: NaN times dropped, the first of equal times (0 before -0)
// and the last of their samples kept, whatever order the times come in.
TEST(AnimationTrackKeys, ListsBuildTheTrackThatSetKeyBuilds)
{
    std::mt19937 random(99);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float pool[] = {0.0f, -0.0f, 0.5f, -1.25f, 3.0f, nan, std::numeric_limits<float>::infinity(), 2.0f};
    for (TrackValueKind kind :
         {TrackValueKind::Scalar, TrackValueKind::Vector3, TrackValueKind::Transform, static_cast<TrackValueKind>(9)}) {
        const std::size_t floats = trackValueFloats(kind);
        for (int round = 0; round < 50; ++round) {
            const std::size_t keys = random() % 12;
            std::vector<float> times, values;
            SampledAnimationTrack expected(kind);
            for (std::size_t i = 0; i < keys; ++i) {
                times.push_back(pool[random() % std::size(pool)]);
                for (std::size_t c = 0; c < floats; ++c) values.push_back(static_cast<float>(random() % 1000));
                expected.setKey(times.back(), std::span(values).last(floats));
            }
            const SampledAnimationTrack built(kind, times, values);
            const auto bits = [](std::span<const float> f) {
                std::vector<std::uint32_t> b;
                for (float v : f) b.push_back(std::bit_cast<std::uint32_t>(v));
                return b;
            };
            ASSERT_EQ(bits(built.keyTimes()), bits(expected.keyTimes())) << "round " << round;
            ASSERT_EQ(bits(built.keyValues()), bits(expected.keyValues())) << "round " << round;
        }
    }

    // Times that already ascend are taken over without a copy.
    std::vector<float> times{0.0f, 0.1f, 0.2f}, values{1.0f, 2.0f, 3.0f};
    const float* storage = values.data();
    const SampledAnimationTrack adopted(TrackValueKind::Scalar, std::move(times), std::move(values));
    EXPECT_EQ(adopted.keyValues().data(), storage);
}

// Keys appended in time order grow two flat lists: a handful of allocations,
// and at most the lists plus their growth room live at once, where a node per
// key would cost several times the key.
TEST(AnimationTrackKeys, AppendedKeysCostTheirTimeAndTheirKindsFloats)
{
    constexpr std::size_t keys = 100'000;
    std::size_t allocations = 0, peak = 0;
    {
        SampledAnimationTrack track(TrackValueKind::Scalar);
        ORV::Test::AllocationWatch watch;
        for (std::size_t i = 0; i < keys; ++i) setScalar(track, static_cast<float>(i), 1.0f);
        allocations = watch.allocations();
        peak = watch.peakLive();
        EXPECT_EQ(track.keyCount(), keys);
    }
    EXPECT_LT(allocations, 64u);
    // 8 bytes a key; while a list moves to twice its size, old and new both live.
    EXPECT_LE(peak, keys * 20);
}

// --- spherical blend and Transform fields ------------------------------------

TEST(AnimationTrackQuaternion, EqualIdentityKeysGiveExactIdentity)
{
    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, {0, 0, 0, 1});
    setQuaternion(track, 1.0f, {0, 0, 0, 1});
    for (float t : {-1.0f, 0.0f, 0.25f, 0.5f, 0.999f, 1.0f, 3.0f}) {
        const Floats q = evaluateTrack(track, t);
        EXPECT_EQ((std::array{q[0], q[1], q[2], q[3]}), (std::array{0.0f, 0.0f, 0.0f, 1.0f}));
    }
}

TEST(AnimationTrackQuaternion, HalfWayBetweenIdentityAndQuarterTurn)
{
    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, {0, 0, 0, 1});
    setQuaternion(track, 1.0f, {0, 0, 0.70710678f, 0.70710678f});
    const Floats q = evaluateTrack(track, 0.5f);
    EXPECT_NEAR(q[0], 0.0f, 1e-6f);
    EXPECT_NEAR(q[2], 0.38268343f, 1e-6f);
    EXPECT_NEAR(q[3], 0.92387953f, 1e-6f);
}

TEST(AnimationTrackQuaternion, HalfWayBetweenQuarterTurnsAboutEachPairOfAxes)
{
    // Quarter turns about two different axes are 60 degrees apart (d = 1/2);
    // half way, both axes get sin(30) / sin(60) of their component.
    const float s = 0.70710678f;
    for (const auto& [first, second] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 0}}) {
        std::array<float, 4> a{0, 0, 0, s}, b{0, 0, 0, s};
        a[size_t(first)] = s;
        b[size_t(second)] = s;
        SampledAnimationTrack track(TrackValueKind::Quaternion);
        setQuaternion(track, 0.0f, {a[0], a[1], a[2], a[3]});
        setQuaternion(track, 1.0f, {b[0], b[1], b[2], b[3]});
        const Floats q = evaluateTrack(track, 0.5f);
        std::array<float, 4> expected{0, 0, 0, 0.81649658f};
        expected[size_t(first)] = expected[size_t(second)] = 0.40824829f;
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[size_t(i)], expected[size_t(i)], 1e-5f) << first << second << i;
    }
}

TEST(AnimationTrackQuaternion, NegativeDotFlipsOnlyTheFirstWeight)
{
    // b is the quarter turn with all signs flipped: d = -0.7071, theta = 3/4 pi.
    // w0 = -sin(3/8 pi) / sin(3/4 pi), w1 = +sin(3/8 pi) / sin(3/4 pi), so the
    // half-way result is the eighth turn with both signs negative.
    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, {0, 0, 0, 1});
    setQuaternion(track, 1.0f, {0, 0, -0.70710678f, -0.70710678f});
    const Floats q = evaluateTrack(track, 0.5f);
    EXPECT_NEAR(q[2], -0.38268343f, 1e-6f);
    EXPECT_NEAR(q[3], -0.92387953f, 1e-6f);
}

TEST(AnimationTrackQuaternion, DotProductRoundedPastOneIsClamped)
{
    // Find a float quaternion whose dot product with itself (summed x, z, y, w)
    // rounds above 1: without clamping its arccosine is not a number.
    Quaternion q;
    bool found = false;
    for (int i = 1; i < 1000 && !found; ++i) {
        const float angle = 0.001f * static_cast<float>(i);
        q = {std::sin(angle) * 0.6f, std::sin(angle) * 0.8f, 0.0f, std::cos(angle)};
        const float d = q.x * q.x + q.z * q.z + q.y * q.y + q.w * q.w;
        found = d > 1.0f;
    }
    ASSERT_TRUE(found);

    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, q);
    setQuaternion(track, 1.0f, q);
    const Floats r = evaluateTrack(track, 0.5f);
    EXPECT_EQ((std::array{r[0], r[1], r[2], r[3]}), (std::array{q.x, q.y, q.z, q.w}));

    SampledAnimationTrack transforms(TrackValueKind::Transform);
    Transform pose;
    pose.rotation = q;
    pose.scaleOrientation = q;
    transforms.setKey(0.0f, flat(pose));
    transforms.setKey(1.0f, flat(pose));
    EXPECT_TRUE(allFinite(evaluateTrack(transforms, 0.5f), 15));
}

TEST(AnimationTrackQuaternion, BlendBetweenQAndMinusQWithADotRoundedBelowMinusOneIsANumber)
{
    // q and -q are the same rotation; with q's squared length rounding above
    // 1, their dot product rounds below -1, whose arccosine is not a number.
    Quaternion q;
    bool found = false;
    for (int i = 1; i < 1000 && !found; ++i) {
        const float angle = 0.001f * static_cast<float>(i);
        q = {std::sin(angle) * 0.6f, std::sin(angle) * 0.8f, 0.0f, std::cos(angle)};
        const float d = q.x * -q.x + q.z * -q.z + q.y * -q.y + q.w * -q.w;
        found = d < -1.0f;
    }
    ASSERT_TRUE(found);
    const Quaternion minusQ{-q.x, -q.y, -q.z, -q.w};

    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, q);
    setQuaternion(track, 1.0f, minusQ);
    SampledAnimationTrack transforms(TrackValueKind::Transform);
    Transform from, to;
    from.rotation = from.scaleOrientation = q;
    to.rotation = to.scaleOrientation = minusQ;
    transforms.setKey(0.0f, flat(from));
    transforms.setKey(1.0f, flat(to));
    for (const float t : {0.25f, 0.5f, 0.75f}) {
        const Floats r = evaluateTrack(track, t);
        ASSERT_TRUE(allFinite(r, 4)) << t;
        // The same rotation, either sign, of unit length.
        const float dot = r[0] * q.x + r[1] * q.y + r[2] * q.z + r[3] * q.w;
        EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f) << t;
        const Floats pose = evaluateTrack(transforms, t);
        ASSERT_TRUE(allFinite(pose, 15)) << t;
        EXPECT_NEAR(std::fabs(pose[3] * q.x + pose[4] * q.y + pose[5] * q.z + pose[6] * q.w), 1.0f, 1e-5f) << t;
    }
}

TEST(AnimationTrackQuaternion, ZeroLengthResultStaysZeroInsteadOfNotANumber)
{
    SampledAnimationTrack track(TrackValueKind::Quaternion);
    setQuaternion(track, 0.0f, {0, 0, 0, 0});
    setQuaternion(track, 1.0f, {0, 0, 0, 0});
    for (float t : {0.0f, 0.5f, 1.0f}) {
        const Floats q = evaluateTrack(track, t);
        EXPECT_EQ((std::array{q[0], q[1], q[2], q[3]}), (std::array{0.0f, 0.0f, 0.0f, 0.0f})) << t;
    }

    SampledAnimationTrack transforms(TrackValueKind::Transform);
    Transform zero;
    zero.rotation = {0, 0, 0, 0};
    zero.scaleOrientation = {0, 0, 0, 0};
    zero.translation = {2, 4, 6};
    transforms.setKey(0.0f, flat(zero));
    transforms.setKey(1.0f, flat(Transform::identity()));
    const Floats at0 = evaluateTrack(transforms, 0.0f);
    ASSERT_TRUE(allFinite(at0, 15));
    EXPECT_EQ((std::array{at0[3], at0[4], at0[5], at0[6]}), (std::array{0.0f, 0.0f, 0.0f, 0.0f}));
    const Floats half = evaluateTrack(transforms, 0.5f);
    ASSERT_TRUE(allFinite(half, 15));
    EXPECT_FLOAT_EQ(half[6], 1.0f); // zero blended towards identity normalises to identity
}

TEST(AnimationTrackTransform, FieldsBlendAndSignSnaps)
{
    SampledAnimationTrack track(TrackValueKind::Transform);
    Transform a, b;
    a.translation = {0, 0, 0};
    b.translation = {4, 8, -4};
    a.scale = {1, 1, 1};
    b.scale = {3, 5, 1};
    a.sign = 1.0f;
    b.sign = -1.0f;
    b.rotation = {0, 0.70710678f, 0, 0.70710678f};
    track.setKey(0.0f, flat(a));
    track.setKey(1.0f, flat(b));

    const Transform half = Transform::fromFloats(std::span<const float, 15>(evaluateTrack(track, 0.5f)));
    EXPECT_EQ(half.translation, (Vector3{2, 4, -2}));
    EXPECT_EQ(half.scale, (Vector3{2, 3, 1}));
    EXPECT_EQ(half.sign, 0.0f) << "opposite signs meet at exactly 0";
    EXPECT_NEAR(half.rotation.y, 0.38268343f, 1e-6f);
    EXPECT_NEAR(half.rotation.w, 0.92387953f, 1e-6f);
    EXPECT_EQ(half.scaleOrientation, (Quaternion{0, 0, 0, 1}));

    EXPECT_EQ(evaluateTrack(track, 0.25f)[14], 1.0f);
    EXPECT_EQ(evaluateTrack(track, 0.75f)[14], -1.0f);
}

TEST(AnimationTrackTransform, RotationsEndNormalisedEvenWhenReturnedUnchanged)
{
    SampledAnimationTrack track(TrackValueKind::Transform);
    Transform key;
    key.rotation = {0, 0, 0, 2};
    key.scaleOrientation = {0, 3, 0, 0};
    key.sign = 0.5f;
    track.setKey(0.0f, flat(key));
    const Floats v = evaluateTrack(track, 0.0f);
    EXPECT_EQ((std::array{v[3], v[4], v[5], v[6]}), (std::array{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ((std::array{v[7], v[8], v[9], v[10]}), (std::array{0.0f, 1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(v[14], 1.0f);
}

// --- Animation ---------------------------------------------------------------

TEST(AnimationBinding, DefaultsAndNoTrack)
{
    Animation animation;
    EXPECT_EQ(animation.track(), nullptr);
    EXPECT_EQ(animation.startTime(), std::numeric_limits<float>::max());
    EXPECT_EQ(animation.time(), 0.0f);
    EXPECT_EQ(animation.mode(), 1);

    Floats out;
    out.fill(42.0f);
    const Floats before = out;
    animation.evaluate(out);
    animation.evaluateAt(3.0f, out);
    EXPECT_EQ(out, before);
    animation.setStartFromMarker("start");
    EXPECT_EQ(animation.startTime(), std::numeric_limits<float>::max());
}

TEST(AnimationBinding, CopiesShareTheTrackWithTheirOwnTimes)
{
    SampledAnimationTrack track(TrackValueKind::Scalar);
    setScalar(track, 0.0f, 0.0f);
    setScalar(track, 1.0f, 100.0f);
    track.setMarker("start", 0.25f);
    track.setMarker("end", 0.75f);

    Animation a;
    a.setTrack(&track);
    a.setStartFromMarker("start");
    a.setEndFromMarker("end");
    a.setMode(3);
    Animation b = a;
    a.setTime(0.25f);
    b.setTime(0.75f);
    float va = -1.0f, vb = -1.0f;
    a.evaluate(va);
    b.evaluate(vb);
    EXPECT_EQ(va, 25.0f);
    EXPECT_EQ(vb, 75.0f);
    EXPECT_EQ(b.track(), &track);
    EXPECT_EQ(b.startTime(), 0.25f);
    EXPECT_EQ(b.endTime(), 0.75f);
    EXPECT_EQ(b.mode(), 3);

    float at = -1.0f;
    a.evaluateAt(0.5f, at);
    EXPECT_EQ(at, 50.0f);
    EXPECT_EQ(a.time(), 0.25f) << "evaluateAt leaves the stored time alone";
}

TEST(AnimationBinding, TypedEvaluationKeepsUnwrittenFieldsAndNeverOverruns)
{
    SampledAnimationTrack transforms(TrackValueKind::Transform);
    Transform key;
    key.translation = {5, 6, 7};
    transforms.setKey(0.0f, flat(key));
    SampledAnimationTrack scalars(TrackValueKind::Scalar);
    setScalar(scalars, 0.0f, 9.0f);
    SampledAnimationTrack emptyTransforms(TrackValueKind::Transform);

    Animation animation;
    animation.setTrack(&transforms);
    float one = 0.0f;
    animation.evaluate(one); // a Transform track into one float: translation.x only
    EXPECT_EQ(one, 5.0f);
    Transform pose;
    animation.evaluate(pose);
    EXPECT_EQ(pose.translation, (Vector3{5, 6, 7}));

    animation.setTrack(&scalars);
    Vector3 v{1, 2, 3};
    animation.evaluate(v);
    EXPECT_EQ(v, (Vector3{9, 2, 3}));

    animation.setTrack(&emptyTransforms);
    Transform identity = Transform::identity();
    animation.evaluate(identity);
    EXPECT_EQ(identity, Transform::identity());
}
