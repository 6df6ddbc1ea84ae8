#include "scene/Animation.h"

#include <algorithm>
#include <cmath>

namespace ORV::Core {

namespace {

using Slot = AnimationTrack::Slot;

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
void blendTransform(const Slot& a, const Slot& b, float f, float* out)
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

void SampledAnimationTrack::evaluate(float time, std::span<float> out) const
{
    const std::size_t count = std::min(trackValueFloats(kind_), out.size());
    float value[slotFloats] = {};

    if (samples_.empty()) {
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

    const auto first = samples_.begin();
    const auto last = std::prev(samples_.end());
    auto k0 = first;
    auto k1 = first;
    float f = 0.0f;
    if (time < first->first || first == last || std::isnan(time)) {
        // before the range, a single key, or no usable time: the first key
    } else if (time >= last->first) {
        k0 = k1 = last;
    } else {
        // Walk forward to the first key later than time; the one before it is at
        // or before time. first <= time < last guarantees both exist.
        k1 = std::next(first);
        while (!(k1->first > time)) ++k1;
        k0 = std::prev(k1);
        f = (time - k0->first) / (k1->first - k0->first);
        // Only keys of extreme magnitude can take f outside [0, 1] (or make it
        // NaN through an infinite span); keep the blend between its two keys.
        if (!(f >= 0.0f)) f = 0.0f;
        if (f > 1.0f) f = 1.0f;
    }

    const Slot& a = k0->second;
    const Slot& b = k1->second;
    switch (kind_) {
    case TrackValueKind::Scalar:
    case TrackValueKind::Vector2:
    case TrackValueKind::Vector3:
    case TrackValueKind::Vector4: blendLinear(a.data(), b.data(), f, count, value); break;
    case TrackValueKind::Quaternion: blendSpherical(a.data(), b.data(), f, value); break;
    case TrackValueKind::Transform: blendTransform(a, b, f, value); break;
    default: return;
    }
    std::copy_n(value, count, out.begin());
}

const AnimationTrack::Slot* SampledAnimationTrack::setKey(float time, std::span<const float> value)
{
    if (std::isnan(time)) return nullptr;
    Slot& slot = samples_.try_emplace(time).first->second; // new slots start zeroed
    const std::size_t count = std::min(trackValueFloats(kind_), value.size());
    std::copy_n(value.begin(), count, slot.begin());
    return &slot;
}

void SampledAnimationTrack::getTimeRange(std::span<float, 2> out) const
{
    if (samples_.empty()) {
        out[0] = out[1] = 0.0f;
        return;
    }
    out[0] = samples_.begin()->first;
    out[1] = samples_.rbegin()->first;
}

std::unique_ptr<AnimationTrack> SampledAnimationTrack::clone() const
{
    auto copy = std::make_unique<SampledAnimationTrack>(kind_);
    copy->samples_ = samples_;
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
    static_assert(N <= AnimationTrack::slotFloats);
    if (!track) return;
    float slot[AnimationTrack::slotFloats] = {};
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
