#include "scene/SceneView.h"

#include "scene/SceneEffect.h"

namespace ORV::Demo {

SceneView::SceneView()
{
    timeMap_.setTrack(&timeTrack_);
}

SceneView::~SceneView() = default;

void SceneView::bind(SceneEffect* scene, std::string cameraName)
{
    scene_ = scene;
    cameraName_ = std::move(cameraName);
}

void SceneView::addTimeKey(float time, float sceneTime)
{
    const float value[1] = {sceneTime};
    timeTrack_.setKey(time, value);
    remap_ = true;
}

void SceneView::update(float elapsed, float time)
{
    if (!scene_) return;
    if (time < startTime || time > endTime) {
        active_ = false;
        return;
    }
    active_ = true;
    float sceneTime = time;
    if (remap_) {
        timeMap_.setTime(time);
        sceneTime = 0.0f;
        timeMap_.evaluate(sceneTime);
    }
    scene_->update(elapsed, sceneTime);
}

void SceneView::render(Effect* parent)
{
    if (!scene_ || !active_) return;
    scene_->selectCamera(cameraName_);
    scene_->render(parent);
}

void SceneView::postRender(Effect* parent)
{
    if (scene_) scene_->postRender(parent);
}

} // namespace ORV::Demo
