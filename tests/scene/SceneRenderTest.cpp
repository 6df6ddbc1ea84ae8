// A whole scene drawn for real: a sphere written by the scene writer, one
// camera, one light and a material on an effect file loaded from the asset
// folder, drawn through the demo's pass-aware scene in each render pass and
// read back.
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

namespace {

// Ambient: a constant grey. Shade: the light's colour by the cosine towards
// it. Depth distance: view distance / 10 in red. Emissive: the material's
// colour parameter.
const char* const kLit = R"(
float4x4 WorldViewProj : WorldViewProj;
float4x4 World : World;
float4x4 WorldView : WorldView;
float4 lightPosition : LIGHTPOSITION;
float4 lightColour : LIGHTCOLOR;
float3 glow = {0, 0, 0};

struct Out { float4 position : POSITION; float3 normal : TEXCOORD0; float3 world : TEXCOORD1; float depth : TEXCOORD2; };
Out vs(float4 p : POSITION, float3 n : NORMAL)
{
    Out o;
    o.position = mul(p, WorldViewProj);
    o.normal = mul(n, (float3x3)World);
    o.world = mul(p, World).xyz;
    o.depth = -mul(p, WorldView).z;
    return o;
}
float4 ambientPS(Out i) : COLOR { return float4(0.25, 0.25, 0.25, 1); }
float4 shadePS(Out i) : COLOR
{
    float lit = saturate(dot(normalize(i.normal), normalize(lightPosition.xyz - i.world)));
    return float4(lightColour.rgb * lit, 1);
}
float4 depthPS(Out i) : COLOR { return float4(i.depth / 10, 0, 0, 1); }
float4 emissivePS(Out i) : COLOR { return float4(glow, 1); }
technique Lit
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ambientPS(); }
    pass shade { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 shadePS(); }
    pass depthdist { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 depthPS(); }
    pass emissive { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 emissivePS(); }
}
)";

constexpr int kSize = 64;

class SceneRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(kSize, kSize, false, false, Platform::VideoMode::Offscreen))
            << Display::lastError();
        // The states the demo draws under: depth tested, counter-clockwise
        // faces culled. With the scene data's winding that keeps the faces
        // towards the camera.
        Gfx::Device& device = Display::device();
        device.setRenderState(Gfx::RenderState::ZEnable, Gfx::value(Gfx::ZBufferType::True));
        device.setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::CCW));
        folder.write("lit.fx", kLit);
        fileSystem().remount(folder.path().string());
        registerSceneGlobals();
        resourceRegistry().addResource("lit.fx", "lit", loadShader);
        resourceRegistry().loadNext();

        SceneDescription d;
        d.meshGroups = {{Content::sphereMeshPart(16, 24)}};
        MaterialRecord material;
        material.name = "lit";
        material.effectName = "lit.fx";
        material.parameters = {{"glow", "0 255 0"}};
        d.materials = {material};
        Core::Transform still;
        const float flat[Core::Transform::floatCount] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1};
        const std::int32_t pose = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, flat);
        d.nodes = {{"ball", 0, 0, pose, {}}};
        // The camera stands at (1.5, 0, 6) looking down -z: the ball shows left
        // of the middle.
        const float eye[Core::Transform::floatCount] = {1.5f, 0, 6, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1};
        const float fov[1] = {0.9f};
        d.cameras = {{"Camera01", Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, eye),
                      Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, fov)}};
        // The light is far off to the right (+x), white.
        const float position[3] = {100, 0, 0}, white[3] = {1, 1, 1}, radius[1] = {50};
        d.lights = {{Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, position),
                     Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, white),
                     Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, radius)}};
        std::ostringstream out;
        std::string error;
        ASSERT_TRUE(Content::writeScene(out, d, error)) << error;
        folder.write("ball.orv3d", out.str());
        fileSystem().remount(folder.path().string()); // the folder as start-up would find it
        resource = loadScene("ball.orv3d", "ball");
        scene = dynamic_cast<PassSceneEffect*>(resource.get());
        ASSERT_NE(scene, nullptr);
        scene->update(0, 0);
        ASSERT_EQ(scene->cameras().size(), 1u);
    }
    void TearDown() override
    {
        resource.reset();
        resourceRegistry().releaseAll();
        sceneGlobals() = {};
    }

    // Draws the scene in one render pass on black and reads the frame back.
    std::vector<std::uint32_t> drawIn(PassId pass)
    {
        Gfx::Device& device = Display::device();
        device.clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        device.beginScene();
        display.pushPass(pass);
        scene->render(nullptr);
        display.popPass();
        device.endScene();
        return device.readPixels(*device.backBuffer());
    }

    // Where the camera puts the ball's centre, in pixels.
    std::pair<int, int> ballCentre()
    {
        Camera camera = scene->cameras().at("Camera01");
        const Core::Vector4 clip = Core::transformPoint({0, 0, 0}, camera.viewMatrix() * camera.projectionMatrix());
        return {int((clip.x / clip.w * 0.5f + 0.5f) * kSize), int((0.5f - clip.y / clip.w * 0.5f) * kSize)};
    }

    static int channel(std::uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

    Display display;
    ORV::Test::TempDir folder;
    std::unique_ptr<Resource> resource;
    PassSceneEffect* scene = nullptr;
};

TEST_F(SceneRender, TheBallIsWhereTheCameraSaysInEveryPass)
{
    const auto [cx, cy] = ballCentre();
    ASSERT_LT(cx, kSize / 2 - 4) << "the camera stands to the right of the ball";
    ASSERT_NEAR(cy, kSize / 2, 1);
    const auto at = [](const std::vector<std::uint32_t>& p, int x, int y) { return p[std::size_t(y * kSize + x)]; };

    const auto ambient = drawIn(ambientPass);
    EXPECT_NEAR(channel(at(ambient, cx, cy), 16), 64, 2) << "ambient grey at the ball's centre";
    EXPECT_EQ(at(ambient, kSize - 2, cy) & 0xFFFFFF, 0u) << "nothing right of the ball";
    EXPECT_EQ(at(ambient, cx, 1) & 0xFFFFFF, 0u) << "nothing above the ball";

    const auto depth = drawIn(depthDistPass);
    // The nearest point of the ball is about 5.2 units away: red about 0.52.
    EXPECT_NEAR(channel(at(depth, cx, cy), 16), 133, 12);

    const auto emissive = drawIn(emissivePass);
    EXPECT_EQ(channel(at(emissive, cx, cy), 8), 255) << "the material's glow from the scene file";
    EXPECT_EQ(channel(at(emissive, cx, cy), 16), 0);
}

TEST_F(SceneRender, ShadeIsLitFromTheLightsSide)
{
    const auto [cx, cy] = ballCentre();
    const auto shade = drawIn(shadePass);
    const auto at = [&](int x) { return channel(shade[std::size_t(cy * kSize + x)], 16); };
    // Scan the ball's row: the brightest pixel is right of its centre (the
    // light is at +x), the left rim is dark.
    int brightest = cx;
    for (int x = 0; x < kSize; ++x)
        if (at(x) > at(brightest)) brightest = x;
    EXPECT_GT(brightest, cx);
    EXPECT_GT(at(brightest), 200);
    int left = cx;
    while (left > 0 && (shade[std::size_t(cy * kSize + left - 1)] & 0xFFFFFF) != 0) --left;
    EXPECT_LT(at(left + 1), 40) << "the side away from the light";
    EXPECT_EQ(sceneGlobals().lightColor.x, 1.0f) << "the light was published before drawing";
}

} // namespace
