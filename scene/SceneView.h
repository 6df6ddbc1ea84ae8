// One scene shown through one named camera during a window of demo time, with
// an optional remapping of its time to scene time (a scalar track of keys
// view time -> scene time), so that one scene can be replayed from several
// cameras and at other speeds. Several views may share a scene.
//
// Threading: main thread only.
#pragma once

#include "resources/Resource.h"
#include "scene/Animation.h"

#include <string>

namespace ORV::Demo {

class SceneEffect;

class SceneView : public Effect {
public:
    SceneView();
    ~SceneView() override;
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    // scene is not owned and must outlive the view's use of it.
    void bind(SceneEffect* scene, std::string cameraName);
    // Adds (or replaces, at an equal time) the key time -> sceneTime; from the
    // first key on, scene time follows the keys (linear between them, held
    // before the first and after the last).
    void addTimeKey(float time, float sceneTime);

    // Inside the window [startTime, endTime] (both ends included): active, and
    // the scene is brought to the matching scene time. Outside: inactive, and
    // the scene is left alone. Without a scene nothing changes.
    void update(float elapsed, float time) override;
    // Selects the view's camera in the scene and draws it, when active.
    void render(Effect* parent) override;
    // Passed on to the scene whether or not the view is active.
    void postRender(Effect* parent) override;

    bool active() const { return active_; }
    SceneEffect* scene() const { return scene_; }
    const std::string& cameraName() const { return cameraName_; }

    float startTime = 0.0f; // seconds of demo time, set by the owner
    float endTime = 3.4028235e38f; // the largest finite float: open-ended

private:
    SceneEffect* scene_ = nullptr;
    std::string cameraName_;
    Core::SampledAnimationTrack timeTrack_{Core::TrackValueKind::Scalar};
    Core::Animation timeMap_;
    bool remap_ = false;
    bool active_ = false;
};

} // namespace ORV::Demo
