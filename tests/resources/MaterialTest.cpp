// Materials: the drawing protocol, pass selection by render pass, parameters,
// and models drawn through them.
#include "resources/Material.h"
#include "display/Display.h"
#include "resources/Model.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;
using ORV::Test::green;
using ORV::Test::red;

namespace {

// Passes "ambient" and "shade" only; parameters of each kind a scene sets.
const char* const kCartoon = R"(
float4x4 WorldViewProj : WorldViewProj;
float4 Color = {0, 0, 0, 1};
float Strength = 1.0;
int Steps = 3;
texture Ramp;
sampler2D RampSampler = sampler_state { Texture = <Ramp>; };

float4 vs(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WorldViewProj); }
float4 ps() : COLOR { return Color * Strength; }

struct QuadOut { float4 position : POSITION; float2 uv : TEXCOORD0; };
QuadOut vsQuad(float3 p : POSITION, float2 uv : TEXCOORD0)
{
    QuadOut o;
    o.position = float4(p, 1);
    o.uv = uv;
    return o;
}
float4 psRamp(float2 uv : TEXCOORD0) : COLOR { return tex2D(RampSampler, uv); }

technique Cartoon
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
    pass shade { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
    pass ramp { VertexShader = compile vs_2_0 vsQuad(); PixelShader = compile ps_2_0 psRamp(); }
}
)";

class MaterialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(16, 16, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
        std::istringstream in(kCartoon);
        shader.compile(in, "cartoon.fx");
        ASSERT_TRUE(shader.effect());
    }
    std::vector<float> value(const char* name)
    {
        const auto v = shader.effect()->parameterValue(shader.effect()->parameterByName(name));
        return {v.begin(), v.end()};
    }
    Display display;
    Shader shader;
};

} // namespace

TEST_F(MaterialTest, PassProtocolRunsTheLoopBodyOnce)
{
    Material material(&shader);
    ASSERT_TRUE(material.selectPass("shade"));
    EXPECT_FALSE(material.passOpen());
    EXPECT_TRUE(material.beginNextPass());
    EXPECT_TRUE(material.passOpen());
    EXPECT_TRUE(Display::device().effectPassActive());
    EXPECT_FALSE(material.beginNextPass()); // ends the pass begun by the first
    EXPECT_FALSE(Display::device().effectPassActive());
    material.endPasses();
    EXPECT_FALSE(material.passOpen());
}

TEST_F(MaterialTest, MissingPassSelectsNothingAndEndPassesClosesTheTechnique)
{
    Material material(&shader);
    EXPECT_FALSE(material.selectPass("emissive"));
    EXPECT_FALSE(material.beginNextPass());
    material.endPasses();
    // The technique was ended: it can be begun and a pass selected again.
    EXPECT_TRUE(material.selectPass("ambient"));
    EXPECT_TRUE(material.beginNextPass());
    EXPECT_FALSE(material.beginNextPass());
    material.endPasses();

    Material withoutShader(nullptr);
    EXPECT_FALSE(withoutShader.selectPass("ambient"));
    EXPECT_FALSE(withoutShader.beginNextPass());
    withoutShader.endPasses();
}

TEST_F(MaterialTest, CurrentRenderPassPicksTheNamedEffectPass)
{
    Material material(&shader);
    material.setPassName(ambientPass, "ambient");
    material.setPassName(emissivePass, "emissive");
    display.pushPass(ambientPass);
    EXPECT_TRUE(material.selectForCurrentPass());
    material.beginNextPass();
    material.beginNextPass();
    material.endPasses();
    display.popPass();
    display.pushPass(emissivePass); // named, but the effect has no such pass
    EXPECT_FALSE(material.selectForCurrentPass());
    material.endPasses();
    display.popPass();
    display.pushPass(shadePass); // not named at all
    EXPECT_FALSE(material.selectForCurrentPass());
    material.endPasses();
    display.popPass();
}

TEST_F(MaterialTest, ParametersAreAppliedBySelect)
{
    Material material(&shader);
    material.setFloat("Strength", 0.5f);
    material.setColor("Color", {1, 0, 0, 1});
    material.setFloat("NotInTheEffect", 3.0f); // harmless
    ASSERT_TRUE(material.selectPass("ambient"));
    material.endPasses();
    EXPECT_EQ(value("Strength"), std::vector<float>{0.5f});
    EXPECT_EQ(value("Color"), (std::vector<float>{1, 0, 0, 1}));
}

TEST_F(MaterialTest, EveryKindOfParameterReachesTheEffectInItsOrder)
{
    // Values that differ in every component, so that a swapped or repeated
    // component or a transposed matrix shows.
    const char* const source = R"(
float2 Offset;
float3 Tint;
float3x3 Basis;
float4x4 Warp;
float4 vs(float3 p : POSITION) : POSITION { return mul(float4(p + Tint + mul(p, Basis), 1), Warp) + Offset.xyxy; }
float4 ps() : COLOR { return 1; }
technique t { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)";
    std::istringstream in(source);
    Shader kinds;
    kinds.compile(in, "kinds.fx");
    ASSERT_TRUE(kinds.effect());
    Material material(&kinds);
    material.setVector2("Offset", {1, 2});
    material.setVector3("Tint", {3, 4, 5});
    material.setMatrix3("Basis", {1, 2, 3, 4, 5, 6, 7, 8, 9});
    std::array<float, 16> warp;
    for (int i = 0; i < 16; ++i) warp[size_t(i)] = float(i + 1);
    material.setMatrix4("Warp", warp);
    ASSERT_TRUE(material.selectPass("ambient"));
    material.endPasses();
    const auto value = [&](const char* name) {
        const auto v = kinds.effect()->parameterValue(kinds.effect()->parameterByName(name));
        return std::vector<float>(v.begin(), v.end());
    };
    EXPECT_EQ(value("Offset"), (std::vector<float>{1, 2}));
    EXPECT_EQ(value("Tint"), (std::vector<float>{3, 4, 5}));
    EXPECT_EQ(value("Warp"), std::vector<float>(warp.begin(), warp.end()));
    const std::vector<float> basis = value("Basis");
    ASSERT_GE(basis.size(), 9u);
    EXPECT_EQ(basis[1], 2.0f) << "row 0, column 1";
    EXPECT_EQ(basis[3], 4.0f) << "row 1, column 0";
}

TEST_F(MaterialTest, ParametersAddedAfterASelectAreAppliedFromTheNext)
{
    Material material(&shader);
    material.setFloat("Strength", 0.5f);
    ASSERT_TRUE(material.selectPass("ambient"));
    material.endPasses();
    EXPECT_EQ(value("Strength"), std::vector<float>{0.5f});

    // A name that orders before "Strength", a new map, and a new value for a
    // name already set.
    material.setFloat("Another", 3.0f);
    material.setColor("Color", {0, 0, 1, 1});
    material.setFloat("Strength", 0.75f);
    ASSERT_TRUE(material.selectPass("ambient"));
    material.endPasses();
    EXPECT_EQ(value("Strength"), std::vector<float>{0.75f});
    EXPECT_EQ(value("Color"), (std::vector<float>{0, 0, 1, 1}));
}

TEST_F(MaterialTest, ModelWithoutAPassForTheRenderPassDrawsNothing)
{
    Model quad;
    quad.buildQuad();
    ASSERT_NE(quad.mesh(), nullptr);
    Material material(&shader);
    material.setPassName(ambientPass, "ambient");
    material.setPassName(emissivePass, "emissive");
    material.setColor("Color", {0, 1, 0, 1});
    quad.material = &material;
    display.setWorld(Core::Matrix::identity());
    Display::device().setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::CCW));

    ASSERT_TRUE(display.nextFrame());
    display.pushPass(emissivePass);
    quad.draw();
    display.popPass();
    EXPECT_FALSE(material.passOpen());
    EXPECT_FALSE(Display::device().effectPassActive());
    const auto untouched = Display::device().readPixels(*Display::device().backBuffer());
    EXPECT_EQ(untouched[8 * 16 + 8], frameClearColor);

    display.pushPass(ambientPass);
    quad.draw();
    display.popPass();
    const auto drawn = Display::device().readPixels(*Display::device().backBuffer());
    EXPECT_EQ(green(drawn[0]), 255); // the quad covers the whole target
    EXPECT_EQ(green(drawn[15 * 16 + 15]), 255);
    EXPECT_EQ(red(drawn[8 * 16 + 8]), 0);
}

TEST_F(MaterialTest, ModelsDropBrokenTrianglesAndDrawWithoutAMaterial)
{
    std::vector<ModelVertex> vertices(3);
    vertices[0].position = {-1, -1, 0};
    vertices[1].position = {-1, 3, 0};
    vertices[2].position = {3, -1, 0};
    std::vector<uint32_t> indices = {0, 1, 2, 0,
                                     1, 7, 2}; // one whole triangle, one naming a missing vertex, one stray index
    Model model;
    model.buildMesh(vertices, indices);
    ASSERT_NE(model.mesh(), nullptr);
    EXPECT_EQ(model.mesh()->faceCount(), 1u);

    Display::device().setRenderState(Gfx::RenderState::Lighting, 0);
    Display::device().setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::None));
    display.setWorld(Core::Matrix::identity());
    ASSERT_TRUE(display.nextFrame());
    model.draw(); // fixed-function stand-in: white with lighting off
    EXPECT_EQ(Display::device().readPixels(*Display::device().backBuffer())[8 * 16 + 8], 0xFFFFFFFFu);

    indices = {0, 1, 9};
    Model empty;
    empty.buildMesh(vertices, indices);
    EXPECT_EQ(empty.mesh(), nullptr);
    empty.draw(); // does nothing
}

TEST_F(MaterialTest, ModelsWithMoreThan65535VerticesAreKeptWhole)
{
    // 21846 triangles of their own three vertices each: every one lies off
    // the screen except the one made of the three highest vertices, which
    // covers it.
    const uint32_t vertexCount = 65538;
    std::vector<ModelVertex> vertices(vertexCount);
    std::vector<uint32_t> indices;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const float offset = float(i % 3);
        vertices[i].position = {5.0f + offset, 5.0f, 0.0f};
        indices.push_back(i);
    }
    vertices[vertexCount - 3].position = {-1, -1, 0};
    vertices[vertexCount - 2].position = {-1, 3, 0};
    vertices[vertexCount - 1].position = {3, -1, 0};
    Model model;
    model.buildMesh(vertices, indices);
    ASSERT_NE(model.mesh(), nullptr);
    EXPECT_EQ(model.mesh()->vertexCount(), vertexCount);
    EXPECT_EQ(model.mesh()->faceCount(), vertexCount / 3);

    Display::device().setRenderState(Gfx::RenderState::Lighting, 0);
    Display::device().setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::None));
    display.setWorld(Core::Matrix::identity());
    ASSERT_TRUE(display.nextFrame());
    model.draw();
    EXPECT_EQ(Display::device().readPixels(*Display::device().backBuffer())[8 * 16 + 8], 0xFFFFFFFFu);
}

TEST_F(MaterialTest, FullScreenQuadCoversTheTargetWithTheTextureOriginTopLeft)
{
    // A 2 x 2 render target as the texture: drawn red at the top-left texel
    // only (the triangle covers that pixel centre alone)
    // through the display, as the post-processing chain does.
    RenderTarget ramp;
    ASSERT_TRUE(ramp.createTargets(2, 2, Gfx::Format::A8R8G8B8, Gfx::Format::Unknown));
    display.pushRenderTarget(&ramp);
    Gfx::Device& device = Display::device();
    device.clear(Gfx::ClearFlag::Target, 0xFF0000FF, 1.0f, 0);
    struct ScreenVertex {
        float x, y, z, rhw;
        uint32_t color;
    } const corner[3] = {{0, 0, 0.5f, 1, 0xFFFF0000}, {1.9f, 0, 0.5f, 1, 0xFFFF0000}, {0, 1.9f, 0.5f, 1, 0xFFFF0000}};
    device.setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::None));
    device.setRenderState(Gfx::RenderState::ZEnable, Gfx::value(Gfx::ZBufferType::False));
    device.setFVF(Gfx::FVF::XYZRHW | Gfx::FVF::Diffuse);
    device.drawPrimitiveUP(Gfx::PrimitiveType::TriangleList, 1, corner, sizeof(ScreenVertex));
    display.popRenderTarget();

    Model quad;
    quad.buildQuad();
    Material material(&shader);
    material.setTexture("Ramp", &ramp);
    device.setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::CCW));
    device.clear(Gfx::ClearFlag::Target, 0xFF000000, 1.0f, 0);
    // Selected by name, drawn by a model without a material of its own.
    ASSERT_TRUE(material.selectPass("ramp"));
    while (material.beginNextPass()) quad.draw();
    material.endPasses();
    const auto pixels = device.readPixels(*device.backBuffer());
    EXPECT_EQ(pixels[0], 0xFFFF0000u); // top-left quarter: the red texel
    EXPECT_EQ(pixels[7 * 16 + 7], 0xFFFF0000u);
    EXPECT_EQ(pixels[0 * 16 + 15], 0xFF0000FFu); // the rest of the quad: blue
    EXPECT_EQ(pixels[15 * 16 + 0], 0xFF0000FFu);
    EXPECT_EQ(pixels[15 * 16 + 15], 0xFF0000FFu);
}
