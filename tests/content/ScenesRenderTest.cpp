// Each scene drawn through each of the script's cameras at the start, middle
// and end of its view, with a stand-in effect that paints everything white on
// black: every camera must see the scene's things (the ground and backdrops
// left out, so that a camera staring at the floor or a wall counts as seeing
// nothing), without a single thing filling the whole picture.
#include "content/scenes/Scenes.h"

#include "content/scenewriter/SceneWriter.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

namespace {

const char* const kWhite = R"(
float4x4 WorldViewProj : WorldViewProj;
float4 vs(float4 p : POSITION) : POSITION { return mul(p, WorldViewProj); }
float4 white() : COLOR { return float4(1, 1, 1, 1); }
technique StandIn
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 white(); }
}
)";

constexpr int kWidth = 80, kHeight = 60;

struct View {
    const char* camera;
    float from, to;
};

struct SceneViews {
    const char* scene;
    std::vector<View> views;
};

const SceneViews kScript[] = {
    {"intro1", {{"Camera01", 0, 5}, {"Camera02", 1, 5}}},
    {"intro2", {{"Camera03", 1, 4}}},
    {"scene01", {{"SceneCam", 0, 4}, {"sceneCam02", 0, 4}}},
    {"scene02", {{"Camera01", 0, 8}, {"Camera02", 0, 8}}},
    {"scene03", {{"sceneCam", 0, 8}, {"Camera01", 10, 20}}},
    {"scene04", {{"Camera01", 0, 25}}},
    {"outro", {{"Camera01", 0, 12}}},
};

class ScenesSeen : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(kWidth, kHeight, false, false, Platform::VideoMode::Offscreen))
            << Display::lastError();
        // Loose files are found under their lower-case names only (a mounted
        // folder's lookup folds the asked path, not the names on disk).
        for (const char* effect : {"cartoon.fx", "hatchcartoon.fx", "additive.fx"}) folder.write(effect, kWhite);
        fileSystem().remount(folder.path().string());
        registerSceneGlobals();
        for (const char* effect : {"cartoon.fx", "HatchCartoon.fx", "Additive.fx"})
            resourceRegistry().addResource(effect, effect, loadShader);
        while (resourceRegistry().pendingCount() != 0) resourceRegistry().loadNext();

        const std::string& name = GetParam();
        for (const SceneViews& script : kScript)
            if (name == script.scene) views = script.views;
        SceneDescription d;
        for (const Content::DemoScene& scene : Content::demoScenes())
            if (name == scene.name) d = scene.build();
        std::erase_if(d.nodes, [](const NodeRecord& n) {
            return n.name == "ground" || n.name == "floor" || n.name == "backdrop";
        });
        std::ostringstream out;
        std::string error;
        ASSERT_TRUE(Content::writeScene(out, d, error)) << error;
        folder.write(name + ".orv3d", out.str());
        fileSystem().remount(folder.path().string());
        resource = loadScene(name + ".orv3d", name);
        scene = dynamic_cast<PassSceneEffect*>(resource.get());
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override
    {
        resource.reset();
        resourceRegistry().releaseAll();
        sceneGlobals() = {};
    }

    // The share of the picture the scene covers through camera at time.
    double covered(const std::string& camera, float time)
    {
        scene->update(0.0f, time);
        scene->selectCamera(camera);
        EXPECT_EQ(scene->currentCamera(), camera);
        Gfx::Device& device = Display::device();
        device.clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        device.beginScene();
        display.pushPass(ambientPass);
        scene->render(nullptr);
        display.popPass();
        device.endScene();
        const std::vector<std::uint32_t> pixels = device.readPixels(*device.backBuffer());
        std::size_t lit = 0;
        for (const std::uint32_t p : pixels) lit += (p & 0xFFFFFF) != 0;
        return double(lit) / double(pixels.size());
    }

    std::vector<View> views;
    Display display;
    ORV::Test::TempDir folder;
    std::unique_ptr<Resource> resource;
    PassSceneEffect* scene = nullptr;
};

TEST_P(ScenesSeen, EveryCameraSeesTheSceneThroughoutItsView)
{
    ASSERT_FALSE(views.empty());
    for (const View& view : views)
        for (const float t : {view.from, (view.from + view.to) * 0.5f, view.to}) {
            const double share = covered(view.camera, t);
            EXPECT_GT(share, 0.01) << view.camera << " at " << t << " sees nothing";
            EXPECT_LT(share, 0.99) << view.camera << " at " << t << " is filled by one thing";
        }
}

INSTANTIATE_TEST_SUITE_P(Scenes, ScenesSeen,
                         ::testing::Values("intro1", "intro2", "scene01", "scene02", "scene03", "scene04", "outro"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace

namespace {

// Every parameter a scene's material sets is one its effect file declares,
// of a kind the material builder applies: textures to texture parameters,
// "r g b" colours to float vectors, numbers to float scalars. A name the
// effect lacks would be dropped without a word and the material would draw
// with the effect's default.
TEST(SceneMaterialsAgainstTheEffects, EveryParameterIsDeclaredWithAMatchingType)
{
    Display display;
    ASSERT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    registerSceneGlobals();
    std::map<std::string, std::unique_ptr<Shader>> effects;
    for (const char* file : {"cartoon.fx", "HatchCartoon.fx", "Additive.fx"}) {
        std::ifstream in(std::string(ORV_EFFECTS_DIR) + "/" + file, std::ios::binary);
        auto shader = std::make_unique<Shader>();
        shader->compile(in, file);
        ASSERT_NE(shader->effect(), nullptr) << file;
        effects[file] = std::move(shader);
    }
    for (const Content::DemoScene& scene : Content::demoScenes()) {
        const SceneDescription d = scene.build();
        for (const MaterialRecord& m : d.materials) {
            ASSERT_EQ(effects.count(m.effectName), 1u) << scene.name << " " << m.name;
            const Gfx::CompiledEffect& effect = *effects[m.effectName]->effect();
            for (const auto& [key, value] : m.parameters) {
                SCOPED_TRACE(std::string(scene.name) + " " + m.name + " " + key + " = " + value);
                const Gfx::ParameterHandle parameter = effect.parameterByName(key);
                ASSERT_TRUE(parameter) << "not in " << m.effectName;
                const Gfx::ParameterDesc desc = effect.parameterDesc(parameter);
                const bool image = value.ends_with(".jpg") || value.ends_with(".dds");
                const bool colour = std::count(value.begin(), value.end(), ' ') == 2;
                if (image) {
                    EXPECT_TRUE(desc.type == Gfx::ParameterType::Texture || desc.type == Gfx::ParameterType::Texture2D);
                } else {
                    EXPECT_EQ(desc.type, Gfx::ParameterType::Float);
                    EXPECT_EQ(desc.parameterClass, colour ? Gfx::ParameterClass::Vector : Gfx::ParameterClass::Scalar);
                }
            }
        }
    }
    effects.clear();
}

} // namespace
