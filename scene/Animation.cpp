#include "scene/Animation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ORV::Core {

namespace {

// The arccosine below which two quaternions count as equal and the first is
// returned unchanged (the single 0x3A83126F).
constexpr float sameAngle = 0.001f;

// Divides q by its length. A quaternion of length zero (or a length that is not
// a positive number) is left unchanged rather than divided by zero.
void normalise(float* q)
{
    const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length > 0.0f)) return;
    for (int i = 0; i < 4; ++i) q[i] /= length;
}

// Spherical blend of the quaternions a and b by f into out. The dot product is
// clamped to [-1, 1]: for two nearly equal unit quaternions rounding can push it
// just past 1, and the arccosine of that is not a number. The sum runs x, z, y, w
// on purpose: float addition is not associative and this order gives the
// reference results bit for bit. The sign of d flips only the first weight.
void blendSpherical(const float* a, const float* b, float f, float* out)
{
    float d = a[0] * b[0] + a[2] * b[2] + a[1] * b[1] + a[3] * b[3];
    d = std::clamp(d, -1.0f, 1.0f); // a NaN d stays NaN and yields NaN below
    const float theta = std::acos(d);
    if (std::fabs(theta) < sameAngle) {
        std::copy_n(a, 4, out);
        return;
    }
    const float inverseSin = 1.0f / std::sin(theta);
    float w0 = std::sin((1.0f - f) * theta) * inverseSin;
    const float w1 = std::sin(f * theta) * inverseSin;
    if (d < 0.0f) w0 = -w0;
    for (int i = 0; i < 4; ++i) out[i] = w0 * a[i] + w1 * b[i];
    normalise(out);
}

void blendLinear(const float* a, const float* b, float f, std::size_t count, float* out)
{
    for (std::size_t i = 0; i < count; ++i) out[i] = (1.0f - f) * a[i] + f * b[i];
}

// Transform fields blend one by one; the sign snaps to -1, +1 or exactly 0 (two
// keys of opposite sign meet at 0 half-way), and both quaternions end normalised
// even when the spherical blend returned the first key unchanged.
void blendTransform(const float* a, const float* b, float f, float* out)
{
    blendLinear(&a[0], &b[0], f, 3, &out[0]);
    blendSpherical(&a[3], &b[3], f, &out[3]);
    blendSpherical(&a[7], &b[7], f, &out[7]);
    blendLinear(&a[11], &b[11], f, 3, &out[11]);
    float sign = (1.0f - f) * a[14] + f * b[14];
    if (sign < 0.0f)
        sign = -1.0f;
    else if (sign > 0.0f)
        sign = 1.0f;
    out[14] = sign;
    normalise(&out[3]);
    normalise(&out[7]);
}

} // namespace

std::size_t trackValueFloats(TrackValueKind kind)
{
    switch (kind) {
    case TrackValueKind::Scalar: return 1;
    case TrackValueKind::Vector2: return 2;
    case TrackValueKind::Vector3: return 3;
    case TrackValueKind::Vector4: return 4;
    case TrackValueKind::Quaternion: return 4;
    case TrackValueKind::Transform: return 15;
    }
    return 0;
}

void AnimationTrack::setMarker(std::string_view name, float time)
{
    auto it = markers_.find(name);
    if (it == markers_.end())
        markers_.emplace(std::string(name), time);
    else
        it->second = time;
}

float AnimationTrack::getMarker(std::string_view name) const
{
    auto it = markers_.find(name);
    return it == markers_.end() ? 0.0f : it->second;
}

SampledAnimationTrack::SampledAnimationTrack(TrackValueKind kind, std::vector<float> times, std::vector<float> values)
    : kind_(kind)
{
    const std::size_t floats = trackValueFloats(kind);
    assert(values.size() == times.size() * floats);

    // The usual case, a loaded file: times already ascend, so the lists are
    // the track as they stand.
    bool ascending = times.empty() || !std::isnan(times.front());
    for (std::size_t i = 1; ascending && i < times.size(); ++i) ascending = times[i - 1] < times[i];
    if (ascending) {
        times_ = std::move(times);
        values_ = std::move(values);
        times_.shrink_to_fit();
        values_.shrink_to_fit();
        return;
    }

    // Otherwise sort the keys' positions by time; the sort is stable, so each
    // run of equal times lists its keys in the order setKey would have seen
    // them.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < times.size(); ++i)
        if (!std::isnan(times[i])) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });
    for (std::size_t i = 0; i < order.size();) {
        std::size_t end = i + 1;
        while (end < order.size() && times[order[end]] == times[order[i]]) ++end;
        times_.push_back(times[order[i]]);
        const auto sample = values.begin() + static_cast<std::ptrdiff_t>(order[end - 1] * floats);
        values_.insert(values_.end(), sample, sample + static_cast<std::ptrdiff_t>(floats));
        i = end;
    }
    times_.shrink_to_fit();
    values_.shrink_to_fit();
}

void SampledAnimationTrack::evaluate(float time, std::span<float> out) const
{
    const std::size_t floats = trackValueFloats(kind_);
    const std::size_t count = std::min(floats, out.size());
    float value[maxValueFloats] = {};

    if (times_.empty()) {
        // Neutral values of an empty track; a Transform track writes nothing.
        switch (kind_) {
        case TrackValueKind::Scalar:
        case TrackValueKind::Vector2:
        case TrackValueKind::Vector3: break;
        case TrackValueKind::Vector4:
        case TrackValueKind::Quaternion: value[3] = 1.0f; break;
        case TrackValueKind::Transform:
        default: return;
        }
        std::copy_n(value, count, out.begin());
        return;
    }

    const std::size_t last = times_.size() - 1;
    std::size_t k0 = 0;
    std::size_t k1 = 0;
    float f = 0.0f;
    if (time < times_.front() || last == 0 || std::isnan(time)) {
        // before the range, a single key, or no usable time: the first key
    } else if (time >= times_[last]) {
        k0 = k1 = last;
    } else {
        // The first key later than time; the one before it is at or before
        // time. first <= time < last puts it among keys 1 .. last.
        k1 = static_cast<std::size_t>(std::upper_bound(times_.begin() + 1, times_.end() - 1, time) - times_.begin());
        k0 = k1 - 1;
        f = (time - times_[k0]) / (times_[k1] - times_[k0]);
        // Only keys of extreme magnitude can take f outside [0, 1] (or make it
        // NaN through an infinite span); keep the blend between its two keys.
        if (!(f >= 0.0f)) f = 0.0f;
        if (f > 1.0f) f = 1.0f;
    }

    const float* a = values_.data() + k0 * floats;
    const float* b = values_.data() + k1 * floats;
    switch (kind_) {
    case TrackValueKind::Scalar:
    case TrackValueKind::Vector2:
    case TrackValueKind::Vector3:
    case TrackValueKind::Vector4: blendLinear(a, b, f, count, value); break;
    case TrackValueKind::Quaternion: blendSpherical(a, b, f, value); break;
    case TrackValueKind::Transform: blendTransform(a, b, f, value); break;
    default: return;
    }
    std::copy_n(value, count, out.begin());
}

bool SampledAnimationTrack::setKey(float time, std::span<const float> value)
{
    if (std::isnan(time)) return false;
    const std::size_t floats = trackValueFloats(kind_);
    std::size_t key = times_.size();
    if (!times_.empty() && !(times_.back() < time))
        key = static_cast<std::size_t>(std::lower_bound(times_.begin(), times_.end(), time) - times_.begin());

    if (key == times_.size() || times_[key] != time) {
        // Room in both lists first (growing geometrically, as push_back does),
        // so that a failed allocation leaves them in step.
        if (times_.size() == times_.capacity()) times_.reserve(std::max<std::size_t>(8, times_.size() * 2));
        if (values_.capacity() - values_.size() < floats)
            values_.reserve(std::max(values_.size() * 2, values_.size() + floats));
        times_.insert(times_.begin() + static_cast<std::ptrdiff_t>(key), time);
        values_.insert(values_.begin() + static_cast<std::ptrdiff_t>(key * floats), floats, 0.0f);
    }
    std::copy_n(value.begin(), std::min(floats, value.size()),
                values_.begin() + static_cast<std::ptrdiff_t>(key * floats));
    return true;
}

std::span<const float> SampledAnimationTrack::keyValue(std::size_t key) const
{
    assert(key < times_.size());
    const std::size_t floats = trackValueFloats(kind_);
    return std::span<const float>(values_).subspan(key * floats, floats);
}

void SampledAnimationTrack::getTimeRange(std::span<float, 2> out) const
{
    if (times_.empty()) {
        out[0] = out[1] = 0.0f;
        return;
    }
    out[0] = times_.front();
    out[1] = times_.back();
}

std::unique_ptr<AnimationTrack> SampledAnimationTrack::clone() const
{
    auto copy = std::make_unique<SampledAnimationTrack>(kind_);
    copy->times_ = times_;
    copy->values_ = values_;
    return copy;
}

void Animation::evaluateAt(float t, std::span<float> out) const
{
    if (track_) track_->evaluate(t, out);
}

namespace {

// Runs the track into a full slot pre-filled with the destination's floats, so
// that whatever the track's kind, only the destination's own floats come back.
template <std::size_t N> void evaluateThroughSlot(const AnimationTrack* track, float t, float (&io)[N])
{
    static_assert(N <= AnimationTrack::maxValueFloats);
    if (!track) return;
    float slot[AnimationTrack::maxValueFloats] = {};
    std::copy_n(io, N, slot);
    track->evaluate(t, slot);
    std::copy_n(slot, N, io);
}

} // namespace

void Animation::evaluateAt(float t, Transform& out) const
{
    float io[Transform::floatCount];
    out.toFloats(io);
    evaluateThroughSlot(track_, t, io);
    out = Transform::fromFloats(io);
}

void Animation::evaluateAt(float t, Vector3& out) const
{
    float io[3] = {out.x, out.y, out.z};
    evaluateThroughSlot(track_, t, io);
    out = {io[0], io[1], io[2]};
}

void Animation::evaluateAt(float t, float& out) const
{
    float io[1] = {out};
    evaluateThroughSlot(track_, t, io);
    out = io[0];
}

void Animation::setStartFromMarker(std::string_view name)
{
    if (track_) startTime_ = track_->getMarker(name);
}

void Animation::setEndFromMarker(std::string_view name)
{
    if (track_) endTime_ = track_->getMarker(name);
}

} // namespace ORV::Core
