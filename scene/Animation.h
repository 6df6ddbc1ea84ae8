// Keyframe animation: tracks of timed samples of one value kind, evaluated at
// any time by blending the two neighbouring keys, and Animation, which binds a
// track to a current time. Tracks know nothing of what they drive; scene
// assembly, scene views and the timeline decide where the values go.
//
// Threading: main thread only. Tracks are shared between copies of an
// Animation without locking.
#pragma once

#include "core/Math.h"
#include "core/Transform.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Core {

// What a sample holds and how two samples blend. Values outside 0-5 can reach a
// track from data; such a track stores nothing and evaluates to nothing.
enum class TrackValueKind : std::int32_t {
    Scalar = 0, // 1 float, linear
    Vector2 = 1, // 2 floats, linear per component
    Vector3 = 2, // 3 floats, linear per component
    Vector4 = 3, // 4 floats, linear per component
    Quaternion = 4, // (x, y, z, w), spherical blend
    Transform = 5, // the 15-float Transform, blended field by field
};

// Floats a sample of the kind uses: 1, 2, 3, 4, 4 or 15; 0 for an unknown kind.
std::size_t trackValueFloats(TrackValueKind kind);

class AnimationTrack {
public:
    // The most floats a sample of any kind has (a Transform's).
    static constexpr std::size_t maxValueFloats = 15;

    virtual ~AnimationTrack() = default;
    AnimationTrack(const AnimationTrack&) = delete;
    AnimationTrack& operator=(const AnimationTrack&) = delete;

    // Writes the value at time into out: as many floats as the kind uses (never
    // more than out holds). Reads nothing from out. A Transform track without
    // keys, and a track of an unknown kind, leave out untouched.
    virtual void evaluate(float time, std::span<float> out) const = 0;

    // Stores the kind's leading floats of value as the key at time, replacing
    // those floats of a key of an equal time (a new key's other floats are 0).
    // Returns false, storing nothing, when time is not a number: such a key
    // could not be ordered.
    virtual bool setKey(float time, std::span<const float> value) = 0;

    // out[0] = first key time, out[1] = last key time; (0, 0) without keys.
    virtual void getTimeRange(std::span<float, 2> out) const = 0;

    // A new, independently owned track with the same kind and samples; markers
    // are not copied.
    virtual std::unique_ptr<AnimationTrack> clone() const = 0;

    virtual TrackValueKind getValueKind() const = 0;

    // Named times. Names compare as byte strings; setting a name again replaces
    // its time; a name that was never set reads as 0.
    void setMarker(std::string_view name, float time);
    float getMarker(std::string_view name) const;
    const std::map<std::string, float, std::less<>>& markers() const { return markers_; }

protected:
    AnimationTrack() = default;

private:
    std::map<std::string, float, std::less<>> markers_;
};

// The only concrete track. Keys live in two parallel arrays sorted by time: the
// times, ascending and distinct (two times are one key only when equal as
// floats), and the samples packed back to back, trackValueFloats(kind) floats
// each (none for an unknown kind). A key costs 4 bytes more than its sample.
// Evaluation finds the two keys around a time by binary search, holds the first
// key's value before the range and the last key's after it, and allocates
// nothing.
class SampledAnimationTrack final : public AnimationTrack {
public:
    explicit SampledAnimationTrack(TrackValueKind kind) : kind_(kind) {}

    // The track that setKey would build from keys i = 0, 1, ... in order: time
    // times[i] and the floats values[i * n, i * n + n), n = trackValueFloats(kind)
    // (values.size() must be times.size() * n). Times that are not numbers are
    // dropped and, of equal times, the first one's time and the last one's
    // sample stay. Times that already strictly ascend are taken over as they
    // are, without a copy; others are sorted once.
    SampledAnimationTrack(TrackValueKind kind, std::vector<float> times, std::vector<float> values);

    // A time that is not a number evaluates like a time before the first key.
    void evaluate(float time, std::span<float> out) const override;
    // A key later than the last one is appended in amortised constant time; an
    // earlier one is inserted, moving the keys after it.
    bool setKey(float time, std::span<const float> value) override;
    void getTimeRange(std::span<float, 2> out) const override;
    std::unique_ptr<AnimationTrack> clone() const override;
    TrackValueKind getValueKind() const override { return kind_; }

    // Read access for writers and inspection tools.
    std::size_t keyCount() const { return times_.size(); }
    std::span<const float> keyTimes() const { return times_; }
    // Every key's sample, back to back in key order.
    std::span<const float> keyValues() const { return values_; }
    // The sample of key (below keyCount()).
    std::span<const float> keyValue(std::size_t key) const;

private:
    TrackValueKind kind_;
    std::vector<float> times_;
    std::vector<float> values_;
};

// A track bound to a current time. Copies share the track; an Animation never
// owns or deletes it, so the track must outlive every copy.
class Animation {
public:
    Animation() = default;
    Animation(const Animation&) = default;
    Animation& operator=(const Animation&) = default;
    virtual ~Animation() = default;

    void setTrack(AnimationTrack* track) { track_ = track; }
    void setTime(float time) { time_ = time; }
    void setMode(std::int32_t mode) { mode_ = mode; }

    // The track's value at the stored time (evaluate) or at t (evaluateAt, which
    // leaves the stored time alone). Without a track out is left untouched.
    void evaluate(std::span<float> out) const { evaluateAt(time_, out); }
    void evaluateAt(float t, std::span<float> out) const;

    // Typed forms: the track writes into a copy of out's current value, so
    // fields the track does not write keep what the caller put there (pre-fill
    // with the identity Transform or zeros for a neutral result), and a track of
    // another kind can never write past the value.
    void evaluate(Transform& out) const { evaluateAt(time_, out); }
    void evaluate(Vector3& out) const { evaluateAt(time_, out); }
    void evaluate(float& out) const { evaluateAt(time_, out); }
    void evaluateAt(float t, Transform& out) const;
    void evaluateAt(float t, Vector3& out) const;
    void evaluateAt(float t, float& out) const;

    // startTime / endTime = the track's marker of that name; nothing without a track.
    void setStartFromMarker(std::string_view name);
    void setEndFromMarker(std::string_view name);

    AnimationTrack* track() const { return track_; }
    float startTime() const { return startTime_; }
    float endTime() const { return endTime_; }
    float time() const { return time_; }
    std::int32_t mode() const { return mode_; }

private:
    AnimationTrack* track_ = nullptr; // not owned
    // Stored and copied; evaluation does not consult start, end or mode.
    float startTime_ = 3.4028235e38f; // the largest finite float until a marker sets it
    float endTime_ = 0.0f;
    float time_ = 0.0f;
    std::int32_t mode_ = 1;
};

} // namespace ORV::Core
