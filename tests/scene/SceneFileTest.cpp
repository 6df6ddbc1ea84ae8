#include "scene/SceneFile.h"
#include "content/scenewriter/SceneWriter.h"
#include "scene/SceneFormat.h"
#include "tests/support/AllocationWatch.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace ORV;
using Core::Animation;
using Core::SampledAnimationTrack;
using Core::TrackValueKind;
using Core::Transform;
using Demo::SceneDescription;
using Demo::SceneReadResult;
using Demo::SceneReadStatus;
using Demo::SceneSection;

namespace {

struct Read {
    SceneDescription description;
    SceneReadResult result;
};

Read readBytes(const std::string& bytes)
{
    std::istringstream in(bytes);
    Read r;
    r.result = Demo::readScene(in, r.description);
    return r;
}

std::string writeBytes(const SceneDescription& description)
{
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(Content::writeScene(out, description, error)) << error;
    return out.str();
}

// A file built field by field; counts need not match what follows.
struct FileBuilder {
    std::ostringstream out;
    Content::SceneWriter w{out};
    FileBuilder() { w.writeHeader(); }
    FileBuilder& i32(std::int32_t v)
    {
        w.writeInt32(v);
        return *this;
    }
    FileBuilder& f32(float v)
    {
        w.writeFloat(v);
        return *this;
    }
    FileBuilder& str(std::string_view s)
    {
        w.writeString(s);
        return *this;
    }
    FileBuilder& zeros(int sections)
    {
        for (int i = 0; i < sections; ++i) w.writeInt32(0);
        return *this;
    }
    std::string bytes() const { return out.str(); }
};

Demo::MeshPart makePart(std::int32_t slot, int vertices, int indices, float seed)
{
    Demo::MeshPart part;
    part.materialSlot = slot;
    for (int i = 0; i < vertices; ++i) {
        const float f = seed + static_cast<float>(i);
        part.vertices.push_back({{f, f + 0.5f, -f}, {0, 1, 0}, f * 0.25f, 1.0f - f, {1, 0, 0, -1}});
    }
    for (int i = 0; i < indices; ++i) part.indices.push_back(static_cast<std::uint32_t>(i % std::max(vertices, 1)));
    part.vertexCount = vertices;
    part.indexCount = indices;
    return part;
}

// One of everything: every section, both material forms, all three file kinds
// and an animation without a track, names with awkward bytes.
SceneDescription makeFullScene()
{
    SceneDescription d;
    d.meshGroups.push_back({makePart(0, 3, 3, 1.0f), makePart(1, 4, 6, 10.0f), makePart(2, 0, 0, 0.0f)});
    d.meshGroups.push_back({makePart(0, 1, 3, -5.0f)});

    Demo::MaterialRecord plain;
    plain.name = "toon \"blue\"";
    plain.effectName = "fx/toon.fx";
    plain.parameters = {{"DiffuseTexture", "tex/wood.jpg"}, {"Shininess", "12.5"}, {"\"q\"", "\"kept\""}};
    Demo::MaterialRecord multi;
    multi.name = "multi";
    multi.subMaterialCount = 3;
    multi.subMaterials = {0, 2, -1};
    Demo::MaterialRecord bare; // empty name, no effect, no parameters
    d.materials = {plain, multi, bare};

    d.nodes.push_back({"Box01", 0, 0, 0, Transform::identity()});
    d.nodes.push_back({std::string("nul\0byte", 8), 1, 2, 3, Transform::identity()});
    d.cameras.push_back({"Camera01", 2, 0});
    d.cameras.push_back({"", -1, 7});
    d.lights.push_back({1, 1, 0});
    d.lights.push_back({-3, 4, 5});

    Demo::ObjectRecord object;
    object.name = "\"starts with a quote";
    object.transform.translation = {1.5f, -2.0f, 3.25f};
    object.transform.rotation = {0.0f, 0.70710678f, 0.0f, 0.70710678f};
    object.properties = {{"\"key\"", "value"}, {"quoted", "\"x\""}, {"empty", ""}};
    d.objects.push_back(object);
    d.objects.push_back({});

    const std::vector<float> scalars{0.5f, 1.0f, 1.5f, 2.0f};
    Content::appendSampledAnimation(d, TrackValueKind::Scalar, scalars);
    const std::vector<float> vectors{1, 2, 3, 4, 5, 6, 7, 8, 9};
    Content::appendSampledAnimation(d, TrackValueKind::Vector3, vectors);
    std::vector<float> transforms;
    for (int i = 0; i < 2; ++i) {
        Transform t;
        t.translation = {static_cast<float>(i), 2, 3};
        t.rotation = {0, 0, 0.38268343f, 0.92387953f};
        t.scaleOrientation = {0.5f, 0.5f, 0.5f, 0.5f};
        t.scale = {1, 2, 3};
        t.sign = i == 0 ? 1.0f : -1.0f;
        float f[15];
        t.toFloats(f);
        transforms.insert(transforms.end(), f, f + 15);
    }
    Content::appendSampledAnimation(d, TrackValueKind::Transform, transforms);
    d.animations.emplace_back(); // no track
    Content::appendSampledAnimation(d, TrackValueKind::Scalar, {});
    return d;
}

void expectSameAnimation(const Animation& a, const Animation& b, std::size_t index)
{
    SCOPED_TRACE("animation " + std::to_string(index));
    ASSERT_EQ(a.track() == nullptr, b.track() == nullptr);
    EXPECT_EQ(a.startTime(), b.startTime());
    EXPECT_EQ(a.mode(), b.mode());
    if (!a.track()) return;
    EXPECT_EQ(a.endTime(), b.endTime());
    const auto* ta = dynamic_cast<const SampledAnimationTrack*>(a.track());
    const auto* tb = dynamic_cast<const SampledAnimationTrack*>(b.track());
    ASSERT_TRUE(ta && tb);
    EXPECT_EQ(ta->getValueKind(), tb->getValueKind());
    EXPECT_EQ(ta->markers(), tb->markers());
    const auto list = [](std::span<const float> floats) { return std::vector<float>(floats.begin(), floats.end()); };
    EXPECT_EQ(list(ta->keyTimes()), list(tb->keyTimes()));
    EXPECT_EQ(list(ta->keyValues()), list(tb->keyValues()));
}

void expectSameScene(const SceneDescription& a, const SceneDescription& b)
{
    EXPECT_EQ(a.meshGroups, b.meshGroups);
    EXPECT_EQ(a.materials, b.materials);
    EXPECT_EQ(a.nodes, b.nodes);
    EXPECT_EQ(a.cameras, b.cameras);
    EXPECT_EQ(a.lights, b.lights);
    EXPECT_EQ(a.objects, b.objects);
    ASSERT_EQ(a.animations.size(), b.animations.size());
    for (std::size_t i = 0; i < a.animations.size(); ++i) expectSameAnimation(a.animations[i], b.animations[i], i);
}

bool isEmpty(const SceneDescription& d)
{
    return d.meshGroups.empty() && d.materials.empty() && d.nodes.empty() && d.cameras.empty() && d.lights.empty()
           && d.objects.empty() && d.animations.empty() && d.tracks.empty();
}

} // namespace

// --- header -------------------------------------------------------------------

TEST(SceneFileHeader, WrongVersionOrAnyWrongMagicByteGivesEmptyDescription)
{
    const std::string good = FileBuilder().zeros(7).bytes();
    ASSERT_TRUE(readBytes(good).result.complete());

    for (std::int32_t version : {169, 171, 0, -170}) {
        std::string bad = good;
        std::memcpy(&bad[4], &version, 4);
        const Read r = readBytes(bad);
        EXPECT_TRUE(isEmpty(r.description));
        EXPECT_EQ(r.result.status, SceneReadStatus::BadHeader) << version;
        EXPECT_EQ(r.result.offset, 4u);
    }
    for (int byte = 0; byte < 4; ++byte) {
        std::string bad = good;
        bad[byte] = static_cast<char>(bad[byte] ^ 0x20);
        const Read r = readBytes(bad);
        EXPECT_TRUE(isEmpty(r.description));
        EXPECT_EQ(r.result.status, SceneReadStatus::BadHeader) << byte;
        EXPECT_EQ(r.result.section, SceneSection::Header);
    }
}

TEST(SceneFileHeader, ShortHeaderCountsAsWrong)
{
    const std::string good = FileBuilder().bytes();
    for (std::size_t n = 0; n < 8; ++n) {
        const Read r = readBytes(good.substr(0, n));
        EXPECT_TRUE(isEmpty(r.description));
        EXPECT_EQ(r.result.status, SceneReadStatus::BadHeader) << n;
        EXPECT_EQ(r.result.bytesRead, n);
    }
}

TEST(SceneFileHeader, ReadingClearsTheDescription)
{
    Read first = readBytes(writeBytes(makeFullScene()));
    std::istringstream in("OR3D");
    Demo::readScene(in, first.description);
    EXPECT_TRUE(isEmpty(first.description));
}

// --- sections -----------------------------------------------------------------

TEST(SceneFileSections, AllCountsZeroGiveSevenEmptyLists)
{
    const Read r = readBytes(FileBuilder().zeros(7).bytes());
    EXPECT_TRUE(r.result.complete());
    EXPECT_TRUE(isEmpty(r.description));
    EXPECT_EQ(r.result.bytesRead, 8u + 7u * 4u);
}

TEST(SceneFileSections, NegativeRecordCountsMeanNone)
{
    FileBuilder file;
    file.i32(-1).i32(-5).i32(std::numeric_limits<std::int32_t>::min()).i32(-2).i32(-3).i32(-4).i32(1);
    file.i32(0).i32(-7); // a Scalar animation with a negative sample count
    const Read r = readBytes(file.bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.animations.size(), 1u);
    const auto* track = dynamic_cast<const SampledAnimationTrack*>(r.description.animations[0].track());
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->keyCount(), 0u);
}

TEST(SceneFileSections, EmptyMeshPartKeepsItsPlace)
{
    FileBuilder file;
    file.i32(1).i32(3); // one group, three parts
    file.i32(4).i32(0).i32(0);
    file.i32(5).i32(1).i32(0);
    for (int i = 0; i < 12; ++i) file.f32(static_cast<float>(i));
    file.i32(6).i32(0).i32(0);
    const Read r = readBytes(file.zeros(6).bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.meshGroups.size(), 1u);
    const Demo::MeshGroup& group = r.description.meshGroups[0];
    ASSERT_EQ(group.size(), 3u);
    EXPECT_EQ(group[0].materialSlot, 4);
    EXPECT_TRUE(group[0].vertices.empty());
    EXPECT_EQ(group[1].vertices.size(), 1u);
    EXPECT_EQ(group[1].vertices[0].tangent.w, 11.0f);
    EXPECT_EQ(group[2].materialSlot, 6);
}

TEST(SceneFileSections, MultiMaterialHasOnlyItsSubMaterialList)
{
    FileBuilder file;
    file.zeros(1).i32(2);
    file.str("multi").i32(3).i32(7).i32(8).i32(9);
    file.str("plain").i32(0).str("fx/a.fx").i32(3);
    file.str("Color").str("1 0 0").str("Tex").str("a.jpg").str("Color").str("0 1 0");
    const Read r = readBytes(file.zeros(5).bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.materials.size(), 2u);
    const Demo::MaterialRecord& multi = r.description.materials[0];
    EXPECT_EQ(multi.subMaterialCount, 3);
    EXPECT_EQ(multi.subMaterials, (std::vector<std::int32_t>{7, 8, 9}));
    EXPECT_TRUE(multi.effectName.empty());
    EXPECT_TRUE(multi.parameters.empty());
    const Demo::MaterialRecord& plain = r.description.materials[1];
    EXPECT_EQ(plain.name, "plain");
    EXPECT_EQ(plain.effectName, "fx/a.fx");
    EXPECT_EQ(plain.parameters, (std::map<std::string, std::string>{{"Color", "0 1 0"}, {"Tex", "a.jpg"}}));
}

TEST(SceneFileSections, NamesKeepEveryByteOutsideObjects)
{
    FileBuilder file;
    file.zeros(2).i32(3);
    file.str("").i32(1).i32(2).i32(3);
    file.str(" \"spaced\" ").i32(0).i32(0).i32(0);
    file.str("\"q\"").i32(0).i32(0).i32(0);
    file.i32(1).str("\"cam\"").i32(4).i32(5);
    const Read r = readBytes(file.zeros(3).bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.nodes.size(), 3u);
    EXPECT_EQ(r.description.nodes[0].name, "");
    EXPECT_EQ(r.description.nodes[0].groupIndex, 1);
    EXPECT_EQ(r.description.nodes[0].transformAnimation, 3);
    EXPECT_EQ(r.description.nodes[0].transform, Transform::identity());
    EXPECT_EQ(r.description.nodes[1].name, " \"spaced\" ");
    EXPECT_EQ(r.description.nodes[2].name, "\"q\"");
    ASSERT_EQ(r.description.cameras.size(), 1u);
    EXPECT_EQ(r.description.cameras[0].name, "\"cam\"");
    EXPECT_EQ(r.description.cameras[0].fieldOfViewAnimation, 5);
}

TEST(SceneFileSections, ObjectQuoteRemoval)
{
    FileBuilder file;
    file.zeros(5).i32(1);
    file.str("\"Hello\"");
    for (float f : {1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 1.0f}) file.f32(f);
    file.i32(6);
    file.str("a").str("\"abc");
    file.str("b").str("\"");
    file.str("c").str("abc\"");
    file.str("\"key\"").str("x");
    file.str("d").str("\"\"");
    file.str("a").str("\"last\""); // same key again: the later value wins
    const Read r = readBytes(file.zeros(1).bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.objects.size(), 1u);
    const Demo::ObjectRecord& object = r.description.objects[0];
    EXPECT_EQ(object.name, "Hello");
    EXPECT_EQ(object.transform.translation, (Core::Vector3{1, 2, 3}));
    EXPECT_EQ(object.transform.scale, (Core::Vector3{1, 1, 1}));
    EXPECT_EQ(object.transform.sign, 1.0f);
    const std::map<std::string, std::string> expected{
        {"a", "last"}, {"b", ""}, {"c", "abc\""}, {"\"key\"", "x"}, {"d", ""}};
    EXPECT_EQ(object.properties, expected);

    EXPECT_EQ(Demo::removeQuotes("\"abc"), "ab");
    EXPECT_EQ(Demo::removeQuotes("\"x"), "");
    EXPECT_EQ(Demo::removeQuotes(""), "");
    EXPECT_EQ(Demo::removeQuotes("a\"b\""), "a\"b\"");
}

// --- animations -----------------------------------------------------------------

TEST(SceneFileAnimations, SampleTimesAccumulateInSinglePrecision)
{
    FileBuilder file;
    file.zeros(6).i32(2);
    file.i32(1).i32(3);
    for (int i = 0; i < 9; ++i) file.f32(static_cast<float>(i));
    file.i32(2).i32(0);
    const Read r = readBytes(file.bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.animations.size(), 2u);

    const Animation& vectors = r.description.animations[0];
    const auto* track = dynamic_cast<const SampledAnimationTrack*>(vectors.track());
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->getValueKind(), TrackValueKind::Vector3);
    const float t1 = 0.0f + 0.1f;
    const float t2 = t1 + 0.1f;
    const float t3 = t2 + 0.1f;
    const std::vector<float> times(track->keyTimes().begin(), track->keyTimes().end());
    EXPECT_EQ(times, (std::vector<float>{0.0f, t1, t2}));
    EXPECT_EQ(track->keyValue(2)[2], 8.0f);
    EXPECT_EQ(track->getMarker("start"), 0.0f);
    EXPECT_EQ(track->getMarker("end"), t3);
    EXPECT_EQ(vectors.startTime(), 0.0f);
    EXPECT_EQ(vectors.endTime(), t3);
    EXPECT_EQ(vectors.mode(), 1);

    const Animation& empty = r.description.animations[1];
    const auto* emptyTrack = dynamic_cast<const SampledAnimationTrack*>(empty.track());
    ASSERT_NE(emptyTrack, nullptr);
    EXPECT_EQ(emptyTrack->getValueKind(), TrackValueKind::Transform);
    EXPECT_EQ(emptyTrack->keyCount(), 0u);
    EXPECT_EQ(empty.startTime(), 0.0f);
    EXPECT_EQ(empty.endTime(), 0.0f);
    EXPECT_EQ(r.description.tracks.size(), 2u);
}

// Adding the 0.1 s step in single precision stops moving the time at 2^21 s,
// reached by sample 18,073,720 (counting from 0); every later sample would
// share that time. Walks the times of 20 million samples: the single-precision
// sum bit for bit while it moves, then one float further each sample.
TEST(SceneFileAnimations, SampleTimesStayDistinctWhereTheStepNoLongerMovesThem)
{
    float t = 0.0f;
    std::size_t notLater = 0, offTheSum = 0, stalledAt = 0;
    for (std::size_t i = 1; i < 20'000'000; ++i) { // next: the time of sample i
        const float next = Demo::nextSceneSampleTime(t);
        const float sum = t + Demo::sceneSampleStep;
        if (!(next > t)) ++notLater;
        if (sum > t && next != sum) ++offTheSum;
        if (!(sum > t) && stalledAt == 0) {
            stalledAt = i;
            EXPECT_EQ(t, 2097152.0f);
        }
        t = next;
    }
    EXPECT_EQ(notLater, 0u);
    EXPECT_EQ(offTheSum, 0u);
    EXPECT_EQ(stalledAt, 18'073'721u);

    // Samples at such times are keys of their own, each evaluating to itself.
    SampledAnimationTrack track(TrackValueKind::Scalar);
    std::vector<float> times;
    for (float k = 2097151.0f; times.size() < 40; k = Demo::nextSceneSampleTime(k)) {
        times.push_back(k);
        track.setKey(k, std::array{static_cast<float>(times.size())});
    }
    ASSERT_EQ(track.keyCount(), times.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        float value = -1.0f;
        Animation animation;
        animation.setTrack(&track);
        animation.evaluateAt(times[i], value);
        EXPECT_EQ(value, static_cast<float>(i + 1)) << times[i];
    }

    // The last float's successor is infinity, which has none.
    constexpr float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Demo::nextSceneSampleTime(std::numeric_limits<float>::max()), infinity);
    EXPECT_EQ(Demo::nextSceneSampleTime(infinity), infinity);
}

// Reading samples costs the samples and a time for each: no allocation per
// sample, and at most twice the samples' bytes live at once (the value list
// doubling as the data arrives, then the times beside it).
TEST(SceneFileAnimations, SamplesCostTheirFileBytesAndATimeEach)
{
    constexpr std::int32_t samples = 250'000;
    FileBuilder file;
    file.zeros(6).i32(1).i32(0).i32(samples);
    for (std::int32_t i = 0; i < samples; ++i) file.f32(static_cast<float>(i));
    std::istringstream in(file.bytes()); // made before the watch: the copy of the file is not the reader's

    SceneDescription d;
    SceneReadResult result;
    std::size_t allocations = 0, peak = 0;
    {
        ORV::Test::AllocationWatch watch;
        result = Demo::readScene(in, d);
        allocations = watch.allocations();
        peak = watch.peakLive();
    }
    ASSERT_TRUE(result.complete()) << result.message;
    const auto* track = dynamic_cast<const SampledAnimationTrack*>(d.animations.at(0).track());
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->keyCount(), static_cast<std::size_t>(samples));
    EXPECT_EQ(track->keyValue(samples - 1)[0], static_cast<float>(samples - 1));
    EXPECT_EQ(track->keyTimes()[samples - 1], Content::sceneSampleTime(samples - 1));

    constexpr std::size_t sampleBytes = std::size_t{samples} * 4;
    EXPECT_LT(allocations, 64u);
    EXPECT_LE(peak, 2 * sampleBytes + (std::size_t{64} << 10));
}

TEST(SceneFileAnimations, ScalarSamplesAreFourBytesAndNothingAfterIsRead)
{
    FileBuilder file;
    file.zeros(6).i32(1).i32(0).i32(10);
    for (int i = 0; i < 10; ++i) file.f32(static_cast<float>(i) * 2.0f);
    const std::string bytes = file.bytes() + "trailing bytes";
    std::istringstream in(bytes);
    SceneDescription d;
    const SceneReadResult result = Demo::readScene(in, d);
    ASSERT_TRUE(result.complete()) << result.message;
    EXPECT_EQ(result.bytesRead, 8u + 7u * 4u + 8u + 40u);
    EXPECT_EQ(in.get(), 't') << "the reader stops right after the animations";
    float value = -1.0f;
    d.animations[0].evaluateAt(0.9f, value);
    EXPECT_FLOAT_EQ(value, 18.0f);
}

TEST(SceneFileAnimations, TransformSamplesAreSixtyBytes)
{
    FileBuilder file;
    file.zeros(6).i32(1).i32(2).i32(1);
    for (int i = 0; i < 15; ++i) file.f32(static_cast<float>(i + 1));
    const Read r = readBytes(file.bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    const auto* track = dynamic_cast<const SampledAnimationTrack*>(r.description.animations[0].track());
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->keyCount(), 1u);
    const std::span<const float> sample = track->keyValue(0);
    ASSERT_EQ(sample.size(), 15u);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(sample[i], static_cast<float>(i + 1));
}

TEST(SceneFileAnimations, UnknownKindWithoutSamplesIsKeptAndReadingGoesOn)
{
    FileBuilder file;
    file.zeros(6).i32(3);
    file.i32(7).i32(0);
    file.i32(-1).i32(-4);
    file.i32(0).i32(1).f32(2.5f);
    const Read r = readBytes(file.bytes());
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    ASSERT_EQ(r.description.animations.size(), 3u);
    EXPECT_EQ(r.description.animations[0].track(), nullptr);
    EXPECT_EQ(r.description.animations[1].track(), nullptr);
    ASSERT_NE(r.description.animations[2].track(), nullptr);
    float value = 0.0f;
    r.description.animations[2].evaluate(value);
    EXPECT_EQ(value, 2.5f);
    Transform untouched = Transform::identity();
    r.description.animations[0].evaluate(untouched);
    EXPECT_EQ(untouched, Transform::identity());
}

TEST(SceneFileAnimations, UnknownKindWithSamplesStopsReading)
{
    FileBuilder file;
    file.zeros(6).i32(3);
    file.i32(0).i32(1).f32(1.0f);
    const std::uint64_t unknownAt = file.bytes().size();
    file.i32(3).i32(2).f32(1.0f).f32(2.0f);
    file.i32(0).i32(1).f32(3.0f);
    const Read r = readBytes(file.bytes());
    EXPECT_EQ(r.result.status, SceneReadStatus::UnknownAnimationKind);
    EXPECT_EQ(r.result.section, SceneSection::Animations);
    EXPECT_EQ(r.result.record, 1);
    EXPECT_EQ(r.result.offset, unknownAt);
    ASSERT_EQ(r.description.animations.size(), 2u);
    EXPECT_NE(r.description.animations[0].track(), nullptr);
    EXPECT_EQ(r.description.animations[1].track(), nullptr);
}

// --- damaged files ---------------------------------------------------------------

TEST(SceneFileDamage, NegativeBlockCountsStopWithTheirOffset)
{
    FileBuilder file;
    file.i32(2).i32(0).i32(1);
    const std::uint64_t partAt = file.bytes().size();
    file.i32(0).i32(-1).i32(0);
    Read r = readBytes(file.zeros(6).bytes());
    EXPECT_EQ(r.result.status, SceneReadStatus::NegativeCount);
    EXPECT_EQ(r.result.section, SceneSection::MeshGroups);
    EXPECT_EQ(r.result.record, 1);
    EXPECT_EQ(r.result.offset, partAt + 4);
    ASSERT_EQ(r.description.meshGroups.size(), 1u) << "the group before the damage is kept";

    FileBuilder materials;
    materials.zeros(1).i32(1).str("m").i32(-3);
    r = readBytes(materials.zeros(5).bytes());
    EXPECT_EQ(r.result.status, SceneReadStatus::NegativeCount);
    EXPECT_EQ(r.result.section, SceneSection::Materials);
    EXPECT_TRUE(r.description.materials.empty());
    EXPECT_NE(r.result.message.find("subMaterialCount"), std::string::npos) << r.result.message;
}

TEST(SceneFileSections, NegativePartCountMeansNoPartsAndReadingGoesOn)
{
    // The group count, the part count and the section counts are record
    // counts: below zero they mean none, and the rest of the file reads on.
    for (const std::int32_t parts : {-1, -3, std::numeric_limits<std::int32_t>::min()}) {
        FileBuilder file;
        file.i32(2).i32(parts); // two groups, the first with a negative part count
        file.i32(1).i32(4).i32(0).i32(0); // the second: one empty part of slot 4
        file.i32(1).str("m").i32(0).str("fx").i32(0); // one material
        file.zeros(5);
        const std::string bytes = file.bytes();
        const Read r = readBytes(bytes);
        EXPECT_TRUE(r.result.complete()) << parts << ": " << r.result.message;
        EXPECT_EQ(r.result.bytesRead, bytes.size()) << parts;
        ASSERT_EQ(r.description.meshGroups.size(), 2u) << parts;
        EXPECT_TRUE(r.description.meshGroups[0].empty()) << parts;
        ASSERT_EQ(r.description.meshGroups[1].size(), 1u) << parts;
        EXPECT_EQ(r.description.meshGroups[1][0].materialSlot, 4) << parts;
        ASSERT_EQ(r.description.materials.size(), 1u) << parts;
        EXPECT_EQ(r.description.materials[0].effectName, "fx") << parts;
    }
}

TEST(SceneFileDamage, NegativeStringLengthInAWholeFileIsAFileTooShortForIt)
{
    // A string's byte count is unsigned: -1 asks for 4 GiB, which the file
    // does not hold, even though a string of no bytes there would leave a
    // whole, well-formed file after it. Reading stops in that record, which
    // is dropped; the records before it stay.
    for (const std::int32_t length : {-1, -2, std::numeric_limits<std::int32_t>::min()}) {
        FileBuilder file;
        file.zeros(1).i32(2);
        file.str("first").i32(0).str("fx").i32(0);
        const std::uint64_t lengthAt = file.bytes().size();
        file.i32(length).i32(0).str("fx").i32(0); // the second material's name
        file.zeros(5);
        const std::string bytes = file.bytes();
        const Read r = readBytes(bytes);
        EXPECT_EQ(r.result.status, SceneReadStatus::Truncated) << length << ": " << r.result.message;
        EXPECT_EQ(r.result.section, SceneSection::Materials) << length;
        EXPECT_EQ(r.result.record, 1) << length;
        EXPECT_EQ(r.result.offset, lengthAt + 4) << length;
        EXPECT_NE(r.result.message.find("name"), std::string::npos) << r.result.message;
        EXPECT_EQ(r.result.bytesRead, bytes.size()) << length;
        ASSERT_EQ(r.description.materials.size(), 1u) << length;
        EXPECT_EQ(r.description.materials[0].name, "first");
    }
}

TEST(SceneFileDamage, HostileCountsAllocateNoMoreThanTheDataThatArrives)
{
    constexpr std::int32_t huge = std::numeric_limits<std::int32_t>::max();
    std::vector<std::pair<const char*, std::string>> files;
    files.emplace_back("group count", FileBuilder().i32(huge).i32(0).bytes());
    files.emplace_back("part count", FileBuilder().i32(1).i32(huge).i32(0).bytes());
    files.emplace_back("vertex count", FileBuilder().i32(1).i32(1).i32(0).i32(huge).i32(0).f32(1).bytes());
    files.emplace_back("index count", FileBuilder().i32(1).i32(1).i32(0).i32(0).i32(huge).i32(3).bytes());
    files.emplace_back("string length", FileBuilder().zeros(1).i32(1).i32(-1).str("abc").bytes());
    files.emplace_back("sub-materials", FileBuilder().zeros(1).i32(1).str("m").i32(huge).i32(1).bytes());
    files.emplace_back("parameters", FileBuilder().zeros(1).i32(1).str("m").i32(0).str("fx").i32(huge).bytes());
    files.emplace_back("samples", FileBuilder().zeros(6).i32(1).i32(2).i32(huge).f32(1).bytes());
    for (const auto& [what, bytes] : files) {
        std::size_t largestAllocation = 0;
        Read r;
        {
            ORV::Test::AllocationWatch watch;
            r = readBytes(bytes);
            largestAllocation = watch.largest();
        }
        EXPECT_EQ(r.result.status, SceneReadStatus::Truncated) << what;
        EXPECT_LE(largestAllocation, std::size_t{256} << 10) << what;
        EXPECT_EQ(r.result.bytesRead, bytes.size()) << what;
    }
}

TEST(SceneFileDamage, StreamWithExceptionsEnabledStillEndsCleanly)
{
    const std::string bytes = writeBytes(makeFullScene());
    std::istringstream in(bytes.substr(0, bytes.size() / 2));
    in.exceptions(std::ios::failbit | std::ios::eofbit | std::ios::badbit);
    SceneDescription d;
    SceneReadResult result;
    EXPECT_NO_THROW(result = Demo::readScene(in, d));
    EXPECT_EQ(result.status, SceneReadStatus::Truncated);
    EXPECT_EQ(result.bytesRead, bytes.size() / 2);
}

// Truncating a file at every byte offset keeps exactly the records that end at
// or before the cut, each equal to the original, and names the section and
// record where the file ends.
TEST(SceneFileDamage, TruncationAtEveryOffsetKeepsWholeRecords)
{
    const SceneDescription scene = makeFullScene();
    std::ostringstream out;
    Content::SceneWriter w(out);
    w.writeHeader();

    struct Section {
        SceneSection id;
        std::uint64_t countEnd = 0;
        std::vector<std::uint64_t> recordEnds;
    };
    std::vector<Section> sections;
    auto section = [&](SceneSection id, std::size_t count, auto writeRecord) {
        Section s{id, 0, {}};
        w.writeInt32(static_cast<std::int32_t>(count));
        s.countEnd = static_cast<std::uint64_t>(out.tellp());
        for (std::size_t i = 0; i < count; ++i) {
            writeRecord(i);
            s.recordEnds.push_back(static_cast<std::uint64_t>(out.tellp()));
        }
        sections.push_back(s);
    };
    section(SceneSection::MeshGroups, scene.meshGroups.size(),
            [&](std::size_t i) { w.writeMeshGroup(scene.meshGroups[i]); });
    section(SceneSection::Materials, scene.materials.size(),
            [&](std::size_t i) { w.writeMaterial(scene.materials[i]); });
    section(SceneSection::Nodes, scene.nodes.size(), [&](std::size_t i) { w.writeNode(scene.nodes[i]); });
    section(SceneSection::Cameras, scene.cameras.size(), [&](std::size_t i) { w.writeCamera(scene.cameras[i]); });
    section(SceneSection::Lights, scene.lights.size(), [&](std::size_t i) { w.writeLight(scene.lights[i]); });
    section(SceneSection::Objects, scene.objects.size(), [&](std::size_t i) { w.writeObject(scene.objects[i]); });
    section(SceneSection::Animations, scene.animations.size(),
            [&](std::size_t i) { w.writeAnimation(scene.animations[i]); });
    const std::string bytes = out.str();
    ASSERT_EQ(bytes, writeBytes(scene)) << "record writers and writeScene agree";

    for (std::size_t n = 8; n < bytes.size(); ++n) {
        SCOPED_TRACE("cut at " + std::to_string(n));
        const Read r = readBytes(bytes.substr(0, n));
        ASSERT_EQ(r.result.status, SceneReadStatus::Truncated);
        ASSERT_EQ(r.result.bytesRead, n);
        ASSERT_LE(r.result.offset, n);

        // Where the cut falls: the first count or record that ends after it.
        bool located = false;
        for (const Section& s : sections) {
            if (located) break;
            if (s.countEnd > n) {
                EXPECT_EQ(r.result.section, s.id);
                EXPECT_EQ(r.result.record, -1);
                located = true;
                break;
            }
            for (std::size_t i = 0; i < s.recordEnds.size(); ++i) {
                if (s.recordEnds[i] > n) {
                    EXPECT_EQ(r.result.section, s.id);
                    EXPECT_EQ(r.result.record, static_cast<std::int64_t>(i));
                    located = true;
                    break;
                }
            }
        }
        ASSERT_TRUE(located);

        auto kept = [&](SceneSection id) {
            std::size_t count = 0;
            for (const Section& s : sections)
                if (s.id == id)
                    for (std::uint64_t end : s.recordEnds) count += end <= n;
            return count;
        };
        const SceneDescription& d = r.description;
        ASSERT_EQ(d.meshGroups.size(), kept(SceneSection::MeshGroups));
        ASSERT_EQ(d.materials.size(), kept(SceneSection::Materials));
        ASSERT_EQ(d.nodes.size(), kept(SceneSection::Nodes));
        ASSERT_EQ(d.cameras.size(), kept(SceneSection::Cameras));
        ASSERT_EQ(d.lights.size(), kept(SceneSection::Lights));
        ASSERT_EQ(d.objects.size(), kept(SceneSection::Objects));
        ASSERT_EQ(d.animations.size(), kept(SceneSection::Animations));
        for (std::size_t i = 0; i < d.meshGroups.size(); ++i) ASSERT_EQ(d.meshGroups[i], scene.meshGroups[i]);
        for (std::size_t i = 0; i < d.materials.size(); ++i) ASSERT_EQ(d.materials[i], scene.materials[i]);
        for (std::size_t i = 0; i < d.objects.size(); ++i) ASSERT_EQ(d.objects[i], scene.objects[i]);
        for (std::size_t i = 0; i < d.animations.size(); ++i)
            expectSameAnimation(d.animations[i], scene.animations[i], i);
    }
}

// --- writer -> reader ---------------------------------------------------------------

TEST(SceneFileRoundTrip, EverySectionAndKindReadsBackEqual)
{
    const SceneDescription scene = makeFullScene();
    const std::string bytes = writeBytes(scene);
    const Read r = readBytes(bytes);
    ASSERT_TRUE(r.result.complete()) << r.result.message;
    EXPECT_EQ(r.result.bytesRead, bytes.size());
    expectSameScene(r.description, scene);
    EXPECT_EQ(writeBytes(r.description), bytes) << "writing what was read gives the same bytes";
}

TEST(SceneFileRoundTrip, RandomScenesReadBackEqual)
{
    std::mt19937 random(99);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto text = [&] {
        std::string s(static_cast<std::size_t>(pick(6)), ' ');
        for (char& c : s) c = "ab\"\0 x"[pick(6)];
        return s;
    };
    for (int round = 0; round < 40; ++round) {
        SceneDescription scene;
        for (int g = pick(3); g > 0; --g) {
            Demo::MeshGroup group;
            for (int p = pick(3); p > 0; --p)
                group.push_back(makePart(pick(4), pick(5), pick(7), static_cast<float>(pick(100))));
            scene.meshGroups.push_back(group);
        }
        for (int m = pick(4); m > 0; --m) {
            Demo::MaterialRecord material;
            material.name = text();
            if (pick(2)) {
                material.subMaterialCount = 1 + pick(3);
                for (int i = 0; i < material.subMaterialCount; ++i) material.subMaterials.push_back(pick(10) - 2);
            } else {
                material.effectName = text();
                for (int i = pick(3); i > 0; --i) material.parameters[text()] = text();
            }
            scene.materials.push_back(material);
        }
        for (int i = pick(3); i > 0; --i) scene.nodes.push_back({text(), pick(9), pick(9), pick(9), {}});
        for (int i = pick(3); i > 0; --i) scene.cameras.push_back({text(), pick(9), pick(9)});
        for (int i = pick(3); i > 0; --i) scene.lights.push_back({pick(9), pick(9), pick(9)});
        for (int i = pick(3); i > 0; --i) {
            Demo::ObjectRecord object;
            object.name = text();
            object.transform.translation = {static_cast<float>(pick(50)), -1.5f, 0.25f};
            for (int p = pick(3); p > 0; --p) object.properties[text()] = text();
            scene.objects.push_back(object);
        }
        for (int i = pick(4); i > 0; --i) {
            const int kind = pick(4);
            if (kind == 3) {
                scene.animations.emplace_back();
                continue;
            }
            const TrackValueKind k = kind == 0   ? TrackValueKind::Scalar
                                     : kind == 1 ? TrackValueKind::Vector3
                                                 : TrackValueKind::Transform;
            std::vector<float> samples(Core::trackValueFloats(k) * static_cast<std::size_t>(pick(30)));
            for (float& f : samples) f = static_cast<float>(pick(1000)) * 0.01f - 5.0f;
            Content::appendSampledAnimation(scene, k, samples);
        }
        const std::string bytes = writeBytes(scene);
        const Read r = readBytes(bytes);
        ASSERT_TRUE(r.result.complete()) << r.result.message;
        SCOPED_TRACE("round " + std::to_string(round));
        expectSameScene(r.description, scene);
    }
}

TEST(SceneWriterChecks, RefusesWhatTheFormatCannotHold)
{
    SceneDescription scene;
    scene.meshGroups.push_back({makePart(0, 3, 3, 0.0f)});
    scene.meshGroups[0][0].vertexCount = 4;
    Demo::MaterialRecord multi;
    multi.subMaterialCount = 1;
    multi.subMaterials = {0};
    multi.effectName = "fx";
    scene.materials.push_back(multi);
    SampledAnimationTrack quaternions(TrackValueKind::Quaternion);
    SampledAnimationTrack offTime(TrackValueKind::Scalar);
    offTime.setKey(0.0f, std::array{1.0f});
    offTime.setKey(0.2f, std::array{1.0f});
    scene.animations.resize(2);
    scene.animations[0].setTrack(&quaternions);
    scene.animations[1].setTrack(&offTime);

    const std::string problems = Content::checkScene(scene);
    EXPECT_NE(problems.find("meshGroups record 0: part 0: vertexCount"), std::string::npos) << problems;
    EXPECT_NE(problems.find("materials record 0: a multi-material"), std::string::npos) << problems;
    EXPECT_NE(problems.find("animations record 0: only sampled"), std::string::npos) << problems;
    EXPECT_NE(problems.find("animations record 1: key at"), std::string::npos) << problems;

    std::ostringstream out;
    std::string error;
    EXPECT_FALSE(Content::writeScene(out, scene, error));
    EXPECT_EQ(error, problems);
    EXPECT_TRUE(out.str().empty()) << "nothing is written for a scene that cannot be stored";
}
