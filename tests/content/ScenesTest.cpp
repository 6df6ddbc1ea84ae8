// The seven scene files as the demo will read them: whole, with the cameras the
// script looks through and tracks that last as long as it shows each scene,
// materials on the demo's effects, few lights and nodes, a triangle budget,
// motion at every cut, and the same bytes on every run.
#include "content/scenes/Scenes.h"
#include "content/scenes/Materials.h"
#include "content/scenes/Mesh.h"
#include "content/scenes/SceneKit.h"

#include "content/scenewriter/SceneWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>

using namespace ORV;
using namespace ORV::Content;

namespace {

// The views the demo's script shows: scene, camera and the scene times seen.
struct View {
    const char* scene;
    const char* camera;
    float from, to;
};
const View kViews[] = {
    {"intro1", "Camera01", 0, 5},   {"intro1", "Camera02", 1, 5},    {"intro2", "Camera03", 1, 4},
    {"scene01", "SceneCam", 0, 4},  {"scene01", "sceneCam02", 0, 4}, {"scene02", "Camera01", 0, 8},
    {"scene02", "Camera02", 0, 8},  {"scene03", "sceneCam", 0, 8},   {"scene03", "Camera01", 10, 20},
    {"scene04", "Camera01", 0, 25}, {"outro", "Camera01", 0, 12},
};

const std::set<std::string> kImages = {"cartoon_d.jpg", "cartoon_s.jpg", "cartoon_g.jpg", "grey33.jpg",
                                       "specular2.jpg", "light3.jpg",    "black.jpg",     "prods.jpg",
                                       "Hatch0.dds",    "Hatch1.dds",    "Hatch2.dds"};

// One scene built, written and read back through the engine's reader.
struct Written {
    std::string name;
    std::string bytes;
    Demo::SceneDescription read;
    Demo::SceneReadResult result;
};

Written writeAndRead(const DemoScene& scene)
{
    Written w;
    w.name = scene.name;
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(writeScene(out, scene.build(), error)) << scene.name << ": " << error;
    w.bytes = out.str();
    std::istringstream in(w.bytes);
    w.result = Demo::readScene(in, w.read);
    return w;
}

const Core::SampledAnimationTrack* trackOf(const Demo::SceneDescription& d, std::int32_t animation)
{
    if (animation < 0 || std::size_t(animation) >= d.animations.size()) return nullptr;
    return dynamic_cast<const Core::SampledAnimationTrack*>(d.animations[std::size_t(animation)].track());
}

float latestViewEnd(const std::string& scene)
{
    float end = 0.0f;
    for (const View& v : kViews)
        if (scene == v.scene) end = std::max(end, v.to);
    return end;
}

const DemoScene& sceneNamed(const std::string& name)
{
    for (const DemoScene& scene : demoScenes())
        if (name == scene.name) return scene;
    ADD_FAILURE() << "no scene " << name;
    return demoScenes().front();
}

class EachScene : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        written = writeAndRead(sceneNamed(GetParam()));
        ASSERT_TRUE(written.result.complete()) << written.result.message;
    }
    const Demo::SceneDescription& d() const { return written.read; }
    Written written;
};

TEST_P(EachScene, ReadsBackWhole)
{
    EXPECT_EQ(written.result.bytesRead, written.bytes.size());
    EXPECT_EQ(checkScene(d()), "");
    // And rewrites to the same bytes: nothing was lost on the way.
    std::ostringstream again;
    std::string error;
    ASSERT_TRUE(writeScene(again, d(), error)) << error;
    EXPECT_EQ(again.str(), written.bytes);
}

TEST_P(EachScene, HasTheScriptsCamerasWithTracksCoveringTheirViews)
{
    for (const View& v : kViews) {
        if (written.name != v.scene) continue;
        SCOPED_TRACE(v.camera);
        const auto camera = std::find_if(d().cameras.begin(), d().cameras.end(),
                                         [&](const Demo::CameraRecord& c) { return c.name == v.camera; });
        ASSERT_NE(camera, d().cameras.end()) << "no camera named exactly " << v.camera;
        for (const std::int32_t animation : {camera->transformAnimation, camera->fieldOfViewAnimation}) {
            const Core::SampledAnimationTrack* track = trackOf(d(), animation);
            ASSERT_NE(track, nullptr);
            ASSERT_GT(track->keyCount(), 1u) << "a camera that never moves";
            EXPECT_GE(track->keyTimes().back(), v.to);
        }
        // A sensible lens throughout the view.
        for (float t = v.from; t <= v.to; t += 0.5f) {
            float fov = 0.0f;
            d().animations[std::size_t(camera->fieldOfViewAnimation)].evaluateAt(t, fov);
            EXPECT_GT(fov, 0.3f);
            EXPECT_LT(fov, 2.0f);
        }
    }
}

TEST_P(EachScene, EveryAnimatedThingLastsAsLongAsTheSceneIsShown)
{
    const float end = latestViewEnd(written.name);
    std::vector<std::int32_t> used;
    for (const Demo::NodeRecord& node : d().nodes) used.push_back(node.transformAnimation);
    for (const Demo::LightRecord& light : d().lights)
        used.insert(used.end(), {light.positionAnimation, light.colourAnimation, light.radiusAnimation});
    for (const std::int32_t animation : used) {
        const Core::SampledAnimationTrack* track = trackOf(d(), animation);
        ASSERT_NE(track, nullptr) << "animation " << animation;
        // One key holds for ever; more must reach the end of the last view.
        if (track->keyCount() > 1) {
            EXPECT_GE(track->keyTimes().back(), end) << "animation " << animation;
        }
    }
}

TEST_P(EachScene, NodesDrawOnTheDemosEffectsWithParametersTheyCanRead)
{
    const std::set<std::string> effects = {"cartoon.fx", "HatchCartoon.fx", "Additive.fx"};
    for (const Demo::NodeRecord& node : d().nodes) {
        SCOPED_TRACE(node.name);
        ASSERT_GE(node.groupIndex, 0);
        ASSERT_LT(std::size_t(node.groupIndex), d().meshGroups.size());
        ASSERT_GE(node.materialIndex, 0);
        ASSERT_LT(std::size_t(node.materialIndex), d().materials.size());
        const Demo::MaterialRecord& m = d().materials[std::size_t(node.materialIndex)];
        EXPECT_EQ(m.subMaterialCount, 0);
        EXPECT_EQ(effects.count(m.effectName), 1u) << m.effectName;
        for (const auto& [key, value] : m.parameters) {
            SCOPED_TRACE(key + " = " + value);
            if (key == MaterialNames::diffuseColor || key == MaterialNames::glowColor || key == MaterialNames::color) {
                std::istringstream text(value);
                int r = -1, g = -1, b = -1;
                std::string rest;
                ASSERT_TRUE(text >> r >> g >> b) << "three numbers";
                EXPECT_FALSE(text >> rest);
                for (const int c : {r, g, b}) EXPECT_TRUE(c >= 0 && c <= 255);
            } else if (key == MaterialNames::intensity || key == MaterialNames::ambientLevel) {
                EXPECT_GT(std::stof(value), 0.0f);
            } else if (key == MaterialNames::textureAmount) {
                EXPECT_TRUE(value == "0" || value == "1") << "all or nothing of the texture";
            } else {
                EXPECT_EQ(kImages.count(value), 1u) << "an image the demo ships";
            }
        }
    }
}

TEST_P(EachScene, StaysWithinItsBudgetOfLightsNodesAndTriangles)
{
    EXPECT_GE(d().lights.size(), 1u);
    EXPECT_LE(d().lights.size(), 3u);
    EXPECT_LE(d().nodes.size(), 40u) << "each node is a draw call in every pass";
    std::size_t triangles = 0;
    for (const Demo::NodeRecord& node : d().nodes)
        for (const Demo::MeshPart& part : d().meshGroups[std::size_t(node.groupIndex)])
            triangles += triangleCount(part);
    EXPECT_GT(triangles, 2000u);
    EXPECT_LE(triangles, 60000u);
}

// Cuts land on motion: at the first moment of every view, the camera and
// something in the scene are moving.
TEST_P(EachScene, SomethingMovesAtTheStartOfEveryView)
{
    auto moved = [&](std::int32_t animation, float t) {
        Core::Transform a, b;
        d().animations[std::size_t(animation)].evaluateAt(t, a);
        d().animations[std::size_t(animation)].evaluateAt(t + 0.3f, b);
        const Core::Vector3 dt = b.translation - a.translation, ds = b.scale - a.scale;
        const float dq = std::fabs(a.rotation.x * b.rotation.x + a.rotation.y * b.rotation.y
                                   + a.rotation.z * b.rotation.z + a.rotation.w * b.rotation.w);
        return Core::dot(dt, dt) > 1e-4f || Core::dot(ds, ds) > 1e-4f || dq < 0.99999f;
    };
    for (const View& v : kViews) {
        if (written.name != v.scene) continue;
        for (const Demo::CameraRecord& c : d().cameras)
            if (c.name == v.camera) {
                EXPECT_TRUE(moved(c.transformAnimation, v.from)) << v.camera << " stands still";
            }
        bool anything = false;
        for (const Demo::NodeRecord& node : d().nodes) anything = anything || moved(node.transformAnimation, v.from);
        EXPECT_TRUE(anything) << "nothing moves when " << v.camera << " cuts in";
    }
}

TEST_P(EachScene, BuildsTheSameBytesEveryTime)
{
    std::ostringstream again;
    std::string error;
    ASSERT_TRUE(writeScene(again, sceneNamed(GetParam()).build(), error)) << error;
    EXPECT_TRUE(again.str() == written.bytes);
}

INSTANTIATE_TEST_SUITE_P(Scenes, EachScene,
                         ::testing::Values("intro1", "intro2", "scene01", "scene02", "scene03", "scene04", "outro"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Which effect draws what, across the scenes.
TEST(SceneMaterials, TheTowerIsHatchedAndGlowAppearsInMostScenes)
{
    int scenesWithGlow = 0;
    for (const DemoScene& scene : demoScenes()) {
        const Demo::SceneDescription d = scene.build();
        bool glow = false;
        for (const Demo::NodeRecord& node : d.nodes) {
            const Demo::MaterialRecord& m = d.materials[std::size_t(node.materialIndex)];
            glow = glow || m.effectName == "Additive.fx";
            if (std::string(scene.name) == "scene01" && m.effectName != "Additive.fx") {
                EXPECT_TRUE(m.effectName == "HatchCartoon.fx" || m.parameters.count(MaterialNames::glowColor))
                    << node.name << " is not hatched";
            }
        }
        scenesWithGlow += glow;
    }
    EXPECT_GE(scenesWithGlow, 5);
}

TEST(SceneMaterials, TheOutroShowsTheCreditsCardWholeOnAQuad)
{
    const Demo::SceneDescription d = outroScene();
    int cards = 0;
    for (const Demo::NodeRecord& node : d.nodes) {
        const Demo::MaterialRecord& m = d.materials[std::size_t(node.materialIndex)];
        const auto texture = m.parameters.find(MaterialNames::diffuseTexture);
        if (texture == m.parameters.end() || texture->second != "prods.jpg") continue;
        ++cards;
        const Demo::MeshPart& part = d.meshGroups[std::size_t(node.groupIndex)].front();
        // The whole image, upright: v = 0 along the top edge.
        float minU = 1, maxU = 0, minV = 1, maxV = 0, topV = 0, topY = -1e9f;
        for (const Demo::MeshVertex& v : part.vertices) {
            minU = std::min(minU, v.u), maxU = std::max(maxU, v.u);
            minV = std::min(minV, v.v), maxV = std::max(maxV, v.v);
            if (v.position.y > topY) topY = v.position.y, topV = v.v;
        }
        EXPECT_EQ(minU, 0.0f);
        EXPECT_EQ(maxU, 1.0f);
        EXPECT_EQ(minV, 0.0f);
        EXPECT_EQ(maxV, 1.0f);
        EXPECT_EQ(topV, 0.0f);
    }
    EXPECT_EQ(cards, 1);
}

// The big flash cuts to the city's second view at ten seconds of scene time:
// every window and street light must be on from that very frame and off in
// the first view (up to eight seconds).
TEST(SceneTiming, TheCityLightsUpAtOnceWhenTheSecondViewOpens)
{
    const Demo::SceneDescription d = scene03Scene();
    int lights = 0;
    for (const Demo::NodeRecord& node : d.nodes) {
        const Demo::MaterialRecord& m = d.materials[std::size_t(node.materialIndex)];
        if (m.name != "windowLight" && m.name != "streetGlow") continue;
        ++lights;
        const Core::Animation& animation = d.animations[std::size_t(node.transformAnimation)];
        Core::Transform before, at;
        animation.evaluateAt(8.0f, before);
        animation.evaluateAt(10.0f, at);
        EXPECT_LT(before.scale.x, 0.01f) << node.name << " shows before the flash";
        EXPECT_NEAR(at.scale.x, 1.0f, 0.01f) << node.name << " is not full size at the flash";
    }
    EXPECT_GE(lights, 2);
}

TEST(SceneFiles, AllSevenAreWrittenIdenticallyOnEveryRun)
{
    ORV::Test::TempDir first, second;
    std::string error;
    ASSERT_TRUE(writeDemoScenes(first.path(), error)) << error;
    ASSERT_TRUE(writeDemoScenes(second.path(), error)) << error;
    for (const char* name : {"intro1", "intro2", "scene01", "scene02", "scene03", "scene04", "outro"}) {
        const std::string a = ORV::Test::readFile(first.path() / (std::string(name) + ".orv3d"));
        EXPECT_GT(a.size(), 1000u) << name;
        EXPECT_TRUE(a == ORV::Test::readFile(second.path() / (std::string(name) + ".orv3d"))) << name;
    }
}

TEST(SceneFiles, AFolderThatCannotBeWrittenIsReported)
{
    ORV::Test::TempDir folder;
    std::string error;
    EXPECT_FALSE(writeDemoScenes(folder.path() / "missing", error));
    EXPECT_NE(error.find("intro1.orv3d"), std::string::npos) << error;
}

} // namespace

namespace {

// An effect keeps the parameter values the last material gave it, so every
// material of one effect must set the same parameters, or one material's
// value (a glow colour, a texture amount) would carry over to the objects
// drawn after it.
TEST(SceneMaterials, EveryMaterialOfAnEffectSetsTheSameParameters)
{
    std::map<std::string, std::set<std::string>> keysOfEffect;
    for (const DemoScene& scene : demoScenes()) {
        const Demo::SceneDescription d = scene.build();
        for (const Demo::MaterialRecord& m : d.materials) {
            std::set<std::string> keys;
            for (const auto& entry : m.parameters) keys.insert(entry.first);
            const auto [known, first] = keysOfEffect.emplace(m.effectName, keys);
            EXPECT_EQ(known->second, keys) << scene.name << " " << m.name << " on " << m.effectName;
        }
    }
    EXPECT_EQ(keysOfEffect.size(), 3u);
}

} // namespace
