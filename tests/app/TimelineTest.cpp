// The timeline: when segments start and end, what a frame calls in which
// order, and the demo's script played against scenes that record what their
// views ask of them.
#include "app/Timeline.h"

#include "app/Settings.h"
#include "resources/ResourceRegistry.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "scene/SceneView.h"
#include "tests/support/AllocationWatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace ORV::Demo;

namespace {

// What reached the scenes and the compositor, in order. Reserved in advance,
// so that recording allocates nothing.
struct Event {
    const char* what;
    const void* who = nullptr; // the scene, segment or compositor
    float time = 0.0f; // scene time of an update, playTime seen by a hook, T of an advance
    const void* parent = nullptr; // the parent a scene was drawn under
};
std::vector<Event> events;

class RecordingScene : public SceneEffect {
public:
    explicit RecordingScene(std::string name) : name(std::move(name)) {}
    void update(float, float time) override { events.push_back({"update", this, time}); }
    void render(Effect* parent) override { events.push_back({"render", this, 0.0f, parent}); }
    void postRender(Effect*) override { events.push_back({"postRender", this}); }
    const std::string name;
};

std::unique_ptr<Resource> loadRecordingScene(std::string, std::string name)
{
    return std::make_unique<RecordingScene>(std::move(name));
}

// Advances and draws its children as the post-processing chain does.
class RecordingCompositor : public Effect {
public:
    void update(float elapsed, float time) override
    {
        events.push_back({"advance", this, time});
        for (Effect* child : children) child->advance(elapsed, time);
    }
    void render(Effect*) override
    {
        events.push_back({"draw", this});
        for (Effect* child : children) child->draw(this);
    }
    void postRender(Effect*) override {}
};

// A segment of a given length that records its hooks and the playTime each sees.
class ProbeSegment : public Segment {
public:
    explicit ProbeSegment(float length) : length_(length) {}
    void buildScript() override { duration = length_; }
    void onStart() override { note("onStart"); }
    void onEnd() override { note("onEnd"); }
    void updateFxValues() override { note("updateFxValues"); }
    void afterUpdate() override { note("afterUpdate"); }
    void afterDraw() override { note("afterDraw"); }

private:
    void note(const char* what) { events.push_back({what, this, playTime}); }
    float length_;
};

const char* const sceneNames[] = {"intro1", "intro2", "scene01", "scene02", "scene03", "scene04", "outro"};

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resourceRegistry().releaseAll();
        sceneGlobals() = SceneGlobals{};
        events.clear();
        events.reserve(1 << 16);
    }
    void TearDown() override { resourceRegistry().releaseAll(); }

    // Loads a recording scene under each of the demo's scene names but skip.
    static void loadScenes(const std::string& skip = "")
    {
        for (const char* name : sceneNames)
            if (name != skip) resourceRegistry().addResource(std::string(name) + ".orv3d", name, loadRecordingScene);
        while (resourceRegistry().pendingCount() != 0) resourceRegistry().loadNext();
    }
    static const RecordingScene* scene(const char* name)
    {
        return dynamic_cast<RecordingScene*>(resourceRegistry().findByName(name));
    }

    bool frame(float t, float d)
    {
        events.clear();
        return timeline.runFrame(compositor, t, d);
    }
    // The events of the last frame of one kind.
    static std::vector<Event> eventsOf(const char* what)
    {
        std::vector<Event> found;
        for (const Event& event : events)
            if (std::string(event.what) == what) found.push_back(event);
        return found;
    }
    // The scene updates of the last frame, as (scene, scene time).
    static std::vector<std::pair<const void*, float>> updates()
    {
        std::vector<std::pair<const void*, float>> found;
        for (const Event& event : eventsOf("update")) found.emplace_back(event.who, event.time);
        return found;
    }
    std::vector<std::string> order() const
    {
        std::vector<std::string> names;
        for (const Event& event : events) names.emplace_back(event.what);
        return names;
    }

    Timeline timeline;
    RecordingCompositor compositor;
};

using Names = std::vector<std::string>;
using Updates = std::vector<std::pair<const void*, float>>;

TEST_F(TimelineTest, SegmentsEndOnlyOncePastTheirDurationAndOneFollowsPerFrame)
{
    std::vector<const Segment*> probes;
    for (float length : {1.0f, 2.0f, 3.0f}) {
        auto probe = std::make_unique<ProbeSegment>(length);
        probes.push_back(probe.get());
        timeline.appendSegment(std::move(probe));
    }
    EXPECT_EQ(timeline.current(), -1);

    // The first frame starts the first segment and plays it in full.
    ASSERT_TRUE(frame(0.0f, 0.0f));
    EXPECT_EQ(order(), (Names{"onStart", "updateFxValues", "advance", "afterUpdate", "draw", "afterDraw"}));
    ASSERT_EQ(compositor.children.size(), 1u);
    EXPECT_EQ(compositor.children[0], &probes[0]->group);

    // playTime equal to the duration: still current.
    ASSERT_TRUE(frame(1.0f, 1.0f));
    EXPECT_EQ(timeline.current(), 0);
    EXPECT_EQ(order(), (Names{"updateFxValues", "advance", "afterUpdate", "draw", "afterDraw"}));

    // Past it: the first ends and the second starts, with playTime = d by the
    // time its effect values are set, and is drawn in the same frame.
    ASSERT_TRUE(frame(1.25f, 0.25f));
    EXPECT_EQ(order(), (Names{"onEnd", "onStart", "updateFxValues", "advance", "afterUpdate", "draw", "afterDraw"}));
    EXPECT_EQ(events[0].who, probes[0]);
    EXPECT_EQ(events[1].who, probes[1]);
    EXPECT_EQ(events[1].time, 0.0f); // playTime at onStart
    EXPECT_EQ(events[2].time, 0.25f); // and at updateFxValues
    EXPECT_EQ(events[3].time, 1.25f); // the compositor advanced to T
    EXPECT_EQ(probes[1]->group.startTime, 1.25f);

    // A delta longer than every segment still moves on by one only.
    ASSERT_TRUE(frame(101.25f, 100.0f));
    EXPECT_EQ(timeline.current(), 2);
    EXPECT_EQ(probes[2]->playTime, 100.0f);
    EXPECT_EQ(probes[2]->group.startTime, 101.25f);
    EXPECT_EQ(compositor.children.size(), 3u); // groups are never taken back

    // The last segment's end: false, and only its onEnd is called.
    EXPECT_FALSE(frame(101.5f, 0.25f));
    EXPECT_EQ(order(), (Names{"onEnd"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(frame(102.0f, 0.5f));
        EXPECT_TRUE(events.empty());
    }
    EXPECT_EQ(timeline.current(), 3);
    EXPECT_EQ(compositor.children.size(), 3u);
}

TEST_F(TimelineTest, TheIntroFlashesOnItsCameraCutsWhereTwoViewsMeet)
{
    loadScenes();
    timeline.buildSegments();
    ASSERT_EQ(timeline.segmentCount(), 6u);
    const Segment& intro = timeline.segment(0);
    sceneGlobals().fxDark = sceneGlobals().fxLight = 9.0f;

    // The first frame: the intro's opening flash; only its first view draws,
    // at scene time 0, under the intro's group; every view passes postRender
    // on to its scene, each right after its own render.
    ASSERT_TRUE(frame(0.0f, 0.0f));
    EXPECT_EQ(intro.group.startTime, 0.0f);
    EXPECT_EQ(intro.playTime, 0.0f);
    EXPECT_EQ(sceneGlobals().fxCut, 1.0f);
    EXPECT_EQ(sceneGlobals().fxDark, 0.0f);
    EXPECT_EQ(sceneGlobals().fxLight, 0.0f);
    const RecordingScene* intro1 = scene("intro1");
    const RecordingScene* intro2 = scene("intro2");
    ASSERT_EQ(order(), (Names{"advance", "update", "draw", "render", "postRender", "postRender", "postRender"}));
    EXPECT_EQ(updates(), (Updates{{intro1, 0.0f}}));
    EXPECT_EQ(events[3].parent, &intro.group);
    EXPECT_EQ(events[4].who, intro1);
    EXPECT_EQ(events[6].who, intro2);

    // On each cut both views are inside their windows: the outgoing one at
    // the end of its scene time, then the incoming one at its start.
    ASSERT_TRUE(frame(6.0f, 6.0f));
    EXPECT_EQ(sceneGlobals().fxCut, 1.5f);
    EXPECT_EQ(updates(), (Updates{{intro1, 5.0f}, {intro1, 1.0f}}));
    EXPECT_EQ(eventsOf("render").size(), 2u);
    ASSERT_TRUE(frame(11.0f, 5.0f));
    EXPECT_EQ(sceneGlobals().fxCut, 1.5f);
    EXPECT_EQ(updates(), (Updates{{intro1, 5.0f}, {intro2, 1.0f}}));

    // The pulse falls to 0.4 and out; the closing fade to light.
    const struct {
        float t, cut, light;
    } later[] = {{11.5f, 0.4f, 0.0f}, {12.0f, 0.0f, 0.0f}, {15.5f, 0.0f, 0.5f}, {16.0f, 0.0f, 1.0f}};
    float t = 11.0f;
    for (const auto& expected : later) {
        ASSERT_TRUE(frame(expected.t, expected.t - t));
        t = expected.t;
        EXPECT_EQ(sceneGlobals().fxCut, expected.cut) << t;
        EXPECT_EQ(sceneGlobals().fxLight, expected.light) << t;
        EXPECT_EQ(sceneGlobals().fxDark, 0.0f) << t;
    }
    EXPECT_EQ(timeline.current(), 0);
}

// The whole script in frames of a quarter second (exact in single precision,
// so T lands on every boundary): each segment starts a frame after the
// previous one's end, so its group time runs a quarter second behind its
// playTime.
TEST_F(TimelineTest, TheScriptCutsBetweenItsViewsAndEndsAfter148Seconds)
{
    loadScenes();
    timeline.buildSegments();
    // (scene, camera) -> the first and last group time it was shown at
    std::map<std::pair<std::string, std::string>, std::pair<float, float>> shown;
    std::vector<float> starts;
    const struct {
        float t, cut, dark, light;
    } values[] = {
        {31.5f, 0.3375f, 0.5f, 0.0f}, // the second segment's fade to dark
        {32.5f, 0.3375f, 0.5f, 0.0f}, // and the third's from it
        {80.0f, 2.0f, 0.0f, 0.0f}, // the fourth's flash on its cut
        {127.5f, 0.0f, 0.0f, 0.5f}, // the fifth's fade to light
        {148.0f, 2.0f, 0.0f, 0.0f}, // the closing flash, held
    };
    // Time maps: the fourth segment's second view starts at scene time 10,
    // and the outro reaches 12 at 16.5 s and holds it.
    const std::map<float, float> sceneTimes = {{80.25f, 10.0f}, {136.5f, 6.0f}, {146.25f, 12.0f}};
    std::size_t nextValue = 0;
    float t = 0.0f, d = 0.0f, lastTrue = -1.0f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    while (t < 200.0f) {
        // Every frame sets all three values, also from tracks without keys.
        sceneGlobals().fxCut = sceneGlobals().fxDark = sceneGlobals().fxLight = nan;
        const int before = timeline.current();
        if (!frame(t, d)) break;
        lastTrue = t;
        EXPECT_FALSE(std::isnan(sceneGlobals().fxCut) || std::isnan(sceneGlobals().fxDark)
                     || std::isnan(sceneGlobals().fxLight))
            << t;
        if (timeline.current() != before) starts.push_back(t);
        for (Effect* child : compositor.children) {
            const auto* group = static_cast<EffectGroup*>(child);
            for (Effect* viewEffect : group->children) {
                const auto* view = dynamic_cast<SceneView*>(viewEffect);
                ASSERT_NE(view, nullptr);
                ASSERT_NE(view->scene(), nullptr);
                if (!view->active()) continue;
                const auto* scene = static_cast<const RecordingScene*>(view->scene());
                const float groupTime = t - group->startTime;
                shown.try_emplace({scene->name, view->cameraName()}, groupTime, groupTime).first->second.second =
                    groupTime;
            }
        }
        if (nextValue < std::size(values) && t == values[nextValue].t) {
            EXPECT_NEAR(sceneGlobals().fxCut, values[nextValue].cut, 1e-6f) << t;
            EXPECT_NEAR(sceneGlobals().fxDark, values[nextValue].dark, 1e-6f) << t;
            EXPECT_NEAR(sceneGlobals().fxLight, values[nextValue].light, 1e-6f) << t;
            ++nextValue;
        }
        // The frame after the second segment's end still shows its last view
        // (group time 16) before the third segment's first.
        if (t == 32.25f) {
            const auto renders = eventsOf("render");
            ASSERT_EQ(renders.size(), 2u);
            EXPECT_EQ(renders[0].who, scene("scene01"));
            EXPECT_EQ(renders[0].parent, &timeline.segment(1).group);
            EXPECT_EQ(renders[1].who, scene("scene02"));
        }
        if (const auto sceneTime = sceneTimes.find(t); sceneTime != sceneTimes.end()) {
            EXPECT_NEAR(updates().back().second, sceneTime->second, 1e-5f) << t;
        }
        d = 0.25f;
        t += d;
    }
    EXPECT_EQ(lastTrue, demoEndTime);
    EXPECT_EQ(timeline.current(), 6);
    EXPECT_EQ(nextValue, std::size(values));
    EXPECT_EQ(starts, (std::vector<float>{0.0f, 16.25f, 32.25f, 64.25f, 96.25f, 128.25f}));

    // Each view drew exactly over its window, through its (case-sensitive)
    // camera; the frame that would show the outro at group time 20 ends the
    // demo instead.
    const std::map<std::pair<std::string, std::string>, std::pair<float, float>> windows = {
        {{"intro1", "Camera01"}, {0, 6}},    {{"intro1", "Camera02"}, {6, 11}},    {{"intro2", "Camera03"}, {11, 16}},
        {{"scene01", "SceneCam"}, {0, 8}},   {{"scene01", "sceneCam02"}, {8, 16}}, {{"scene02", "Camera01"}, {0, 16}},
        {{"scene02", "Camera02"}, {16, 32}}, {{"scene03", "sceneCam"}, {0, 16}},   {{"scene03", "Camera01"}, {16, 32}},
        {{"scene04", "Camera01"}, {0, 32}},  {{"outro", "Camera01"}, {0, 19.75f}},
    };
    EXPECT_EQ(shown, windows);
}

TEST_F(TimelineTest, AMissingSceneLeavesItsViewEmptyAndTheSegmentItsLength)
{
    loadScenes("intro2");
    timeline.buildSegments();
    EXPECT_EQ(static_cast<const SceneView*>(timeline.segment(0).group.children.at(2))->scene(), nullptr);

    ASSERT_TRUE(frame(0.0f, 0.0f));
    float t = 0.0f;
    while (t < 16.0f) {
        t += 0.25f;
        ASSERT_TRUE(frame(t, 0.25f));
        // From just past the cut to the third view on, nothing draws; the
        // effect values still run (the flashes on the cuts).
        EXPECT_EQ(eventsOf("render").empty(), t > 11.0f) << t;
        EXPECT_EQ(sceneGlobals().fxCut == 1.5f, t == 6.0f || t == 11.0f) << t;
    }
    EXPECT_EQ(timeline.current(), 0);
    ASSERT_TRUE(frame(16.25f, 0.25f));
    EXPECT_EQ(timeline.current(), 1);
}

TEST_F(TimelineTest, PlayingAllocatesNothingAndDestroyingLeavesTheScenesAlone)
{
    loadScenes();
    {
        // The compositor's list may grow by a group per segment; reserved here.
        compositor.children.reserve(6);
        timeline.buildSegments();
        ORV::Test::AllocationWatch watch;
        float t = 0.0f, d = 0.0f;
        while (timeline.runFrame(compositor, t, d)) t += d = 0.25f;
        EXPECT_EQ(watch.allocations(), 0u);
    }
    // A timeline destroyed while its scenes live calls none of them; one
    // destroyed after the registry released them does not touch them (the
    // sanitizer build sees a read of a freed scene).
    auto other = std::make_unique<Timeline>();
    other->buildSegments();
    events.clear();
    other.reset();
    EXPECT_TRUE(events.empty());
    auto late = std::make_unique<Timeline>();
    late->buildSegments();
    resourceRegistry().releaseAll();
    late.reset();
}

} // namespace
