#include "app/Timeline.h"

#include "resources/ResourceRegistry.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "scene/SceneView.h"

#include <cassert>
#include <span>
#include <utility>

namespace ORV::Demo {

void EffectGroup::update(float elapsed, float time)
{
    const float segmentTime = time - startTime;
    for (Effect* child : children) child->advance(elapsed, segmentTime);
}

void EffectGroup::render(Effect*)
{
    for (Effect* child : children) {
        child->render(this);
        child->postRender(this);
    }
}

Segment::Segment() = default;

// SceneView's destructor does not reach its scene, so the views may go after
// the registry has released the scenes; group only points at them.
Segment::~Segment() = default;

SceneView& Segment::addView(SceneEffect* scene, std::string camera, float startTime, float endTime,
                            std::initializer_list<TimeKey> keys)
{
    SceneView& view = *views_.emplace_back(std::make_unique<SceneView>());
    view.bind(scene, std::move(camera));
    for (const TimeKey& key : keys) view.addTimeKey(key.time, key.sceneTime);
    view.startTime = startTime;
    view.endTime = endTime;
    group.children.push_back(&view);
    return view;
}

FxSegment::FxSegment()
{
    cut_.setTrack(&cutTrack);
    dark_.setTrack(&darkTrack);
    light_.setTrack(&lightTrack);
}

void FxSegment::addKeys(Core::SampledAnimationTrack& track, std::initializer_list<Key> keys)
{
    for (const Key& key : keys) track.setKey(key.time, std::span<const float>(&key.value, 1));
}

namespace {

float valueAt(const Core::Animation& animation, const Core::SampledAnimationTrack& track, float time)
{
    if (track.keyCount() == 0) return 0.0f;
    float value = 0.0f;
    animation.evaluateAt(time, value);
    return value;
}

} // namespace

void FxSegment::updateFxValues()
{
    SceneGlobals& globals = sceneGlobals();
    globals.fxCut = valueAt(cut_, cutTrack, playTime);
    globals.fxDark = valueAt(dark_, darkTrack, playTime);
    globals.fxLight = valueAt(light_, lightTrack, playTime);
}

namespace {

// The scene loaded under name, or null when the registry has none of that
// name or the resource is no scene. Looking up never loads.
SceneEffect* findScene(const char* name)
{
    return dynamic_cast<SceneEffect*>(resourceRegistry().findByName(name));
}

// The six scripts. Times are seconds of segment time; a view's keys map it to
// scene time. The effect-value keys are seconds of playTime; they carry the
// flashes on the camera cuts and the fades at the segments' ends.
class ScriptSegment : public FxSegment {
public:
    void onStart() override {}
    void onEnd() override {}
    void afterUpdate() override {}
    void afterDraw() override {}
};

class IntroSegment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 16.0f;
        SceneEffect* intro1 = findScene("intro1");
        SceneEffect* intro2 = findScene("intro2");
        addView(intro1, "Camera01", 0.0f, 6.0f, {{0.0f, 0.0f}, {6.0f, 5.0f}});
        addView(intro1, "Camera02", 6.0f, 11.0f, {{6.0f, 1.0f}, {11.0f, 5.0f}});
        addView(intro2, "Camera03", 11.0f, 16.0f, {{11.0f, 1.0f}, {16.0f, 4.0f}});
        // A pulse on the opening and on each of the two cuts.
        addKeys(cutTrack, {{0.0f, 1.0f},
                           {1.0f, 0.4f},
                           {1.5f, 0.0f},
                           {5.0f, 0.0f},
                           {6.0f, 1.5f},
                           {6.5f, 0.4f},
                           {7.0f, 0.0f},
                           {10.0f, 0.0f},
                           {11.0f, 1.5f},
                           {11.5f, 0.4f},
                           {12.0f, 0.0f}});
        addKeys(lightTrack, {{0.0f, 0.0f}, {15.0f, 0.0f}, {16.0f, 1.0f}});
    }
};

class Scene01Segment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 16.0f;
        SceneEffect* scene = findScene("scene01");
        // The camera names differ in letter case in the scene file.
        addView(scene, "SceneCam", 0.0f, 8.0f, {{0.0f, 0.0f}, {8.0f, 4.0f}});
        addView(scene, "sceneCam02", 8.0f, 16.0f, {{8.0f, 0.0f}, {16.0f, 4.0f}});
        addKeys(lightTrack, {{0.0f, 1.0f}, {1.0f, 0.0f}, {7.0f, 0.0f}, {8.0f, 1.0f}, {9.0f, 0.0f}});
        addKeys(cutTrack, {{0.0f, 0.0f}, {12.0f, 0.0f}, {14.0f, 0.15f}, {16.0f, 0.4f}});
        addKeys(darkTrack, {{0.0f, 0.0f}, {15.0f, 0.0f}, {16.0f, 1.0f}});
    }
};

class Scene02Segment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 32.0f;
        SceneEffect* scene = findScene("scene02");
        addView(scene, "Camera01", 0.0f, 16.0f, {{0.0f, 0.0f}, {16.0f, 8.0f}});
        addView(scene, "Camera02", 16.0f, 32.0f, {{16.0f, 0.0f}, {32.0f, 8.0f}});
        addKeys(darkTrack, {{0.0f, 1.0f}, {1.0f, 0.0f}});
        addKeys(cutTrack, {{0.0f, 0.4f}, {2.0f, 0.15f}, {8.0f, 0.0f}});
    }
};

class Scene03Segment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 32.0f;
        SceneEffect* scene = findScene("scene03");
        addView(scene, "sceneCam", 0.0f, 16.0f, {{0.0f, 0.0f}, {16.0f, 8.0f}});
        addView(scene, "Camera01", 16.0f, 32.0f, {{16.0f, 10.0f}, {32.0f, 20.0f}});
        addKeys(lightTrack, {{0.0f, 1.0f}, {1.0f, 0.0f}, {31.0f, 0.0f}, {32.0f, 1.0f}});
        addKeys(cutTrack, {{0.0f, 0.1f},
                           {14.0f, 0.1f},
                           {15.0f, 0.35f},
                           {16.0f, 2.0f},
                           {17.0f, 0.35f},
                           {18.0f, 0.15f},
                           {30.0f, 0.15f},
                           {32.0f, 0.0f}});
    }
};

class Scene04Segment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 32.0f;
        SceneEffect* scene = findScene("scene04");
        addView(scene, "Camera01", 0.0f, 32.0f, {{0.0f, 0.0f}, {32.0f, 25.0f}});
        addKeys(lightTrack, {{0.0f, 1.0f}, {1.0f, 0.0f}, {31.0f, 0.0f}, {32.0f, 1.0f}});
    }
};

class OutroSegment final : public ScriptSegment {
public:
    void buildScript() override
    {
        duration = 20.0f;
        SceneEffect* scene = findScene("outro");
        // The scene stops at 12 s of its time and holds for the last 3.5 s.
        addView(scene, "Camera01", 0.0f, 20.0f, {{0.0f, 0.0f}, {16.5f, 12.0f}, {20.0f, 12.0f}});
        addKeys(lightTrack, {{0.0f, 1.0f}, {1.0f, 0.0f}});
        addKeys(cutTrack, {{0.0f, 0.0f}, {16.0f, 0.15f}, {19.0f, 2.0f}});
    }
};

} // namespace

Timeline::~Timeline() = default;

void Timeline::buildSegments()
{
    assert(segments_.empty() && current_ == -1);
    segments_.reserve(6);
    appendSegment(std::make_unique<IntroSegment>());
    appendSegment(std::make_unique<Scene01Segment>());
    appendSegment(std::make_unique<Scene02Segment>());
    appendSegment(std::make_unique<Scene03Segment>());
    appendSegment(std::make_unique<Scene04Segment>());
    appendSegment(std::make_unique<OutroSegment>());
}

void Timeline::appendSegment(std::unique_ptr<Segment> segment)
{
    assert(segment && current_ == -1);
    segment->buildScript();
    segments_.push_back(std::move(segment));
}

bool Timeline::runFrame(Effect& compositor, float T, float d)
{
    const auto count = static_cast<std::int32_t>(segments_.size());
    if (current_ >= count) return false;

    Segment* segment = nullptr;
    if (current_ != -1) {
        segment = segments_[std::size_t(current_)].get();
        segment->playTime = segment->playTime + d;
        // Written as "not still current" so that a playTime that is not a
        // number ends the segment rather than holding it for ever.
        if (!(segment->playTime <= segment->duration)) {
            segment->onEnd();
            segment = nullptr;
        }
    }
    if (!segment) {
        ++current_;
        if (current_ >= count) return false;
        segment = segments_[std::size_t(current_)].get();
        compositor.children.push_back(&segment->group);
        segment->group.startTime = T;
        segment->onStart();
        segment->playTime = segment->playTime + d;
    }

    segment->updateFxValues();
    compositor.advance(d, T);
    segment->afterUpdate();
    compositor.draw(nullptr);
    segment->afterDraw();
    return true;
}

} // namespace ORV::Demo
