// The demo's script: six segments played one after another, each a group of
// scene views (one scene through one named camera over a window of segment
// time) and three keyframed effect values that carry the cut flashes and the
// fades. The Timeline decides once a frame which segment is current and has
// the post-processing chain advance and draw the frame.
//
// Threading: main thread only.
#pragma once

#include "resources/Resource.h"
#include "scene/Animation.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Demo {

class SceneEffect;
class SceneView;

// A segment's views, driven in segment time: its children see the demo time
// less startTime. The children are not owned.
class EffectGroup : public Effect {
public:
    // Advances each child, in order, to time - startTime (single precision).
    void update(float elapsed, float time) override;
    // render then postRender of each child, in order, with this group as parent.
    void render(Effect* parent) override;
    void postRender(Effect*) override {}

    float startTime = 0.0f; // the demo time (seconds) at which the segment became current
};

// One part of the script. The Timeline calls buildScript once before the first
// frame, then the other hooks while the segment is current; a segment that has
// ended never becomes current again.
class Segment {
public:
    Segment();
    // Destroys the views without touching their scenes (the registry may have
    // released those already).
    virtual ~Segment();
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;

    // Sets duration, looks up the scenes and adds the views and keys.
    virtual void buildScript() = 0;
    // In the frame the segment becomes current, before its first frame is drawn.
    virtual void onStart() = 0;
    // In the frame its playTime first exceeds duration; it is not drawn then.
    virtual void onEnd() = 0;
    // Each frame it is current, before the frame is advanced.
    virtual void updateFxValues() = 0;
    // Each such frame, between the advance and the draw.
    virtual void afterUpdate() = 0;
    // Each such frame, after the draw.
    virtual void afterDraw() = 0;

    // Seconds: the sum of the frame deltas since the segment became current,
    // that first frame's included. It runs ahead of the group's time by that
    // first delta.
    float playTime = 0.0f;
    float duration = 0.0f; // seconds; current while playTime <= duration
    EffectGroup group;

protected:
    struct TimeKey {
        float time; // seconds of segment time
        float sceneTime; // seconds of scene time
    };

    // Creates a view of scene (may be null: the view then shows nothing)
    // through the named camera, remapped by keys, shown while segment time is
    // in [startTime, endTime], and appends it to group. The segment owns it.
    SceneView& addView(SceneEffect* scene, std::string camera, float startTime, float endTime,
                       std::initializer_list<TimeKey> keys);

private:
    std::vector<std::unique_ptr<SceneView>> views_;
};

// A segment whose script keys the scene-global effect values fxCut, fxDark and
// fxLight over its playTime. A track without keys gives 0.
class FxSegment : public Segment {
public:
    FxSegment();

    // Sets fxCut, fxDark and fxLight from the tracks at playTime.
    void updateFxValues() override;

protected:
    struct Key {
        float time; // seconds of playTime
        float value;
    };
    // Adds keys to one of the tracks below, in the order given.
    static void addKeys(Core::SampledAnimationTrack& track, std::initializer_list<Key> keys);

    Core::SampledAnimationTrack cutTrack{Core::TrackValueKind::Scalar};
    Core::SampledAnimationTrack darkTrack{Core::TrackValueKind::Scalar};
    Core::SampledAnimationTrack lightTrack{Core::TrackValueKind::Scalar};

private:
    // Each bound to the track of its name for the segment's lifetime.
    Core::Animation cut_;
    Core::Animation dark_;
    Core::Animation light_;
};

class Timeline {
public:
    Timeline() = default;
    // Leaves the scenes alone. Groups this timeline gave a compositor dangle
    // afterwards: the compositor must not be advanced or drawn after this.
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Builds the demo's six segments and appends them in play order. The
    // scripts look their scenes up by name in resourceRegistry(), so this runs
    // once every asset is loaded; a name the registry lacks (or that names no
    // scene) leaves that scene's views empty. Once, before the first frame.
    void buildSegments();
    // Builds segment's script and appends it after the others (before the
    // first frame).
    void appendSegment(std::unique_ptr<Segment> segment);

    // Plays the frame at demo time T after a frame of d seconds (both
    // seconds): ends the current segment once its playTime exceeds its
    // duration and starts the next one, handing its group to compositor's
    // children, where it stays. At most one segment ends and one starts per
    // call; a segment that starts is advanced and drawn in the same frame.
    // Then sets the effect values, advances compositor by (d, T) and draws it.
    // False, with neither the compositor nor any segment called, once the last
    // segment has ended (from the frame in which it ends on).
    // Allocates nothing besides the one child added when a segment starts.
    bool runFrame(Effect& compositor, float T, float d);

    std::size_t segmentCount() const { return segments_.size(); }
    const Segment& segment(std::size_t index) const { return *segments_[index]; }
    // The index of the current segment: -1 before the first frame, the
    // segment count once the last one has ended.
    std::int32_t current() const { return current_; }

private:
    std::vector<std::unique_ptr<Segment>> segments_;
    std::int32_t current_ = -1;
};

} // namespace ORV::Demo
