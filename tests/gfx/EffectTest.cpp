// The effect runtime's D3D9 conventions on GL, checked by drawing with compiled
// effects and reading pixels back: matrices from the engine reach mul(v, M),
// textures are sampled with (0, 0) at the top-left texel, pass states apply at
// beginPass and are restored at end.
#include "platform/gfx/CompiledEffect.h"
#include "platform/gfx/detail/DeviceAccess.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace ORV;
using namespace ORV::Gfx;
using namespace ORV::Test;

namespace {

const char* const kEffect = R"(
float4x4 WorldViewProj : WORLDVIEWPROJ;
float4 Tint = {1, 1, 1, 1};
float3x3 Basis;
texture DiffuseMap;
sampler2D DiffuseSampler = sampler_state {
    Texture = <DiffuseMap>;
    MinFilter = Point; MagFilter = Point; MipFilter = None;
    AddressU = Clamp; AddressV = Clamp;
};

struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs(float3 position : POSITION, float2 uv : TEXCOORD0)
{
    VsOut o;
    o.position = mul(float4(position, 1), WorldViewProj);
    o.uv = uv;
    return o;
}

float4 psTint(float2 uv : TEXCOORD0) : COLOR { return Tint; }
float4 psTexture(float2 uv : TEXCOORD0) : COLOR { return tex2D(DiffuseSampler, uv); }
float4 psLeftClipped(float2 uv : TEXCOORD0) : COLOR
{
    clip(uv.x - 0.5);
    return Tint;
}

technique Main
{
    pass tint
    {
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 psTint();
    }
    pass add
    {
        ZWriteEnable = false;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 psTint();
    }
    pass textured
    {
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 psTexture();
    }
    pass greenOnly
    {
        ColorWriteEnable = Green;
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 psTint();
    }
    pass leftClipped
    {
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 psLeftClipped();
    }
}
)";

struct QuadVertex {
    float x, y, z, u, v;
};

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NoEffectIncludes includes;
        std::string messages;
        effect = CompiledEffect::create(gpu.device(), kEffect, "test.fx", {}, includes, &messages);
        ASSERT_TRUE(effect) << messages;
        effect->setTechnique(effect->findNextValidTechnique());
        ASSERT_TRUE(effect->technique());
        // A quad over the whole clip space, (0, 0) texture coordinate top-left.
        const QuadVertex vertices[4] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
        const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
        quad = gpu.device().createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}},
                                       sizeof(QuadVertex), vertices, 4, indices, 6);
        ASSERT_TRUE(quad);
        gpu.device().clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    }

    // Draws the quad once with the named pass.
    void drawWith(const char* passName)
    {
        const uint32_t passes = effect->begin(0);
        const PassHandle wanted = effect->passByName(effect->technique(), passName);
        for (uint32_t i = 0; i < passes; ++i) {
            if (effect->pass(effect->technique(), i) != wanted) continue;
            ASSERT_TRUE(effect->beginPass(i));
            gpu.device().drawMesh(*quad);
            effect->endPass();
        }
        effect->end();
    }

    OffscreenDevice gpu{32, 32};
    std::unique_ptr<CompiledEffect> effect;
    std::unique_ptr<Mesh> quad;
};

} // namespace

TEST_F(EffectTest, EngineMatricesReachMulOfRowVectors)
{
    // Half size, then moved right by 0.5 and up by 0.5: a row-vector matrix
    // with the translation in its fourth row.
    Core::Matrix m;
    m.m[0][0] = 0.5f;
    m.m[1][1] = 0.5f;
    m.m[3][0] = 0.5f;
    m.m[3][1] = 0.5f;
    effect->setMatrix("WorldViewProj", m);
    effect->setVector("Tint", {1, 0, 0, 1});
    drawWith("tint");
    const auto pixels = gpu.backBufferPixels();
    // Clip x 0..1, y 0..1: the top-right quarter of the target.
    EXPECT_EQ(pixels[4 * 32 + 28], 0xFFFF0000u);
    EXPECT_EQ(pixels[12 * 32 + 20], 0xFFFF0000u);
    EXPECT_EQ(pixels[4 * 32 + 4], 0xFF000000u);
    EXPECT_EQ(pixels[28 * 32 + 28], 0xFF000000u);
}

TEST_F(EffectTest, ParameterHandlesAndDescriptions)
{
    const ParameterHandle wvp = effect->parameterByName("WorldViewProj");
    ASSERT_TRUE(wvp);
    const ParameterDesc desc = effect->parameterDesc(wvp);
    EXPECT_EQ(desc.semantic, "WORLDVIEWPROJ");
    EXPECT_EQ(desc.type, ParameterType::Float);
    EXPECT_EQ(desc.rows, 4u);
    EXPECT_EQ(desc.columns, 4u);
    EXPECT_FALSE(effect->parameterByName("NoSuchParameter"));
    effect->setFloat("NoSuchParameter", 1.0f); // ignored
    // The initialiser is the default value.
    const auto tint = effect->parameterValue(effect->parameterByName("Tint"));
    ASSERT_EQ(tint.size(), 4u);
    EXPECT_EQ(tint[3], 1.0f);
    EXPECT_FALSE(effect->passByName(effect->technique(), "missing"));
    EXPECT_FALSE(effect->pass(effect->technique(), 5));
}

TEST_F(EffectTest, TexturesAreSampledWithTheOriginAtTheTopLeftTexel)
{
    auto texture = gpu.device().createTexture(2, 2, 1, 0, Format::A8R8G8B8);
    ASSERT_TRUE(texture);
    // B, G, R, A bytes; top row red, green; bottom row blue, white.
    const uint8_t texels[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    ASSERT_TRUE(texture->writeLevel(0, texels, sizeof texels));
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setTexture("DiffuseMap", texture.get());
    drawWith("textured");
    const auto pixels = gpu.backBufferPixels();
    EXPECT_EQ(pixels[2 * 32 + 2], 0xFFFF0000u);
    EXPECT_EQ(pixels[2 * 32 + 29], 0xFF00FF00u);
    EXPECT_EQ(pixels[29 * 32 + 2], 0xFF0000FFu);
    EXPECT_EQ(pixels[29 * 32 + 29], 0xFFFFFFFFu);
}

TEST_F(EffectTest, PassStatesApplyAndAreRestoredAtEnd)
{
    Device& device = gpu.device();
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setVector("Tint", {0.25f, 0, 0, 1});
    drawWith("tint");
    drawWith("add"); // additive: 0.25 + 0.25
    EXPECT_NEAR(red(gpu.backBufferPixels()[16 * 32 + 16]), 128, 1);
    EXPECT_EQ(device.renderState(RenderState::ZWriteEnable), 1u);
    EXPECT_EQ(device.renderState(RenderState::AlphaBlendEnable), 0u);

    // Depth writes really are back on after the additive pass: a quad drawn
    // later writes its depth, and a farther one is then hidden behind it.
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    drawWith("add"); // no depth write
    Core::Matrix far;
    far.m[3][2] = 0.5f; // z = 0.5
    effect->setMatrix("WorldViewProj", far);
    effect->setVector("Tint", {0, 1, 0, 1});
    drawWith("tint"); // passes the test, writes depth 0.5
    Core::Matrix farther;
    farther.m[3][2] = 0.75f;
    effect->setMatrix("WorldViewProj", farther);
    effect->setVector("Tint", {0, 0, 1, 1});
    drawWith("tint"); // behind what the last pass wrote: rejected
    EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 16], 0xFF00FF00u);
}

TEST_F(EffectTest, ColorWriteEnableMasksChannels)
{
    gpu.device().clear(ClearFlag::Target, 0xFF404040, 1.0f, 0);
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setVector("Tint", {1, 1, 1, 1});
    drawWith("greenOnly");
    const uint32_t p = gpu.backBufferPixels()[16 * 32 + 16];
    EXPECT_EQ(red(p), 0x40);
    EXPECT_EQ(green(p), 0xFF);
    EXPECT_EQ(blue(p), 0x40);
    EXPECT_EQ(gpu.device().renderState(RenderState::ColorWriteEnable), ColorWrite::All);
}

TEST_F(EffectTest, DrawsWithEveryColourMaskedKeepTheDepthTheirPixelShaderWouldKeep)
{
    // With colour writes off the device may skip the pixel shader's work; what
    // lands in the depth buffer must not change. Each case lays depth at 0.5
    // with no colour, then draws green at 0.75, which only shows where nothing
    // was laid.
    Device& device = gpu.device();
    auto atDepth = [](float z) {
        Core::Matrix m;
        m.m[3][2] = z;
        return m;
    };
    struct Case {
        const char* pass;
        bool alphaTest;
        bool leftGreen, rightGreen;
    };
    const Case cases[] = {
        {"tint", false, false, false}, // depth everywhere
        {"leftClipped", false, true, false}, // the discarded half lays none
        {"tint", true, true, true}, // AlphaFunc Never keeps nothing
    };
    for (const Case& c : cases) {
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        device.setRenderState(RenderState::AlphaTestEnable, c.alphaTest ? 1 : 0);
        device.setRenderState(RenderState::AlphaFunc, uint32_t(Cmp::Never));
        device.setRenderState(RenderState::ColorWriteEnable, 0);
        effect->setMatrix("WorldViewProj", atDepth(0.5f));
        effect->setVector("Tint", {1, 0, 0, 1});
        drawWith(c.pass);
        device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::All);
        device.setRenderState(RenderState::AlphaTestEnable, 0);
        EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 24], 0xFF000000u) << c.pass << ": no colour";
        effect->setMatrix("WorldViewProj", atDepth(0.75f));
        effect->setVector("Tint", {0, 1, 0, 1});
        drawWith("tint");
        const auto pixels = gpu.backBufferPixels();
        EXPECT_EQ(green(pixels[16 * 32 + 8]), c.leftGreen ? 0xFF : 0x00) << c.pass << ", alpha test " << c.alphaTest;
        EXPECT_EQ(green(pixels[16 * 32 + 24]), c.rightGreen ? 0xFF : 0x00) << c.pass << ", alpha test " << c.alphaTest;
    }
    EXPECT_TRUE(effect->linkMessages().empty()) << effect->linkMessages();
}

TEST_F(EffectTest, AlphaTestKeepsThePixelsItsComparisonPasses)
{
    Device& device = gpu.device();
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setVector("Tint", {0, 1, 0, 0.5f}); // alpha 0.5: 128 of 255, rounded as D3D9 does
    struct Row {
        Cmp func;
        bool keepAt100, keepAt128, keepAt200; // the alpha 128 against each reference
    };
    const Row rows[] = {
        {Cmp::Never, false, false, false},      {Cmp::Less, false, false, true},    {Cmp::Equal, false, true, false},
        {Cmp::LessEqual, false, true, true},    {Cmp::Greater, true, false, false}, {Cmp::NotEqual, true, false, true},
        {Cmp::GreaterEqual, true, true, false}, {Cmp::Always, true, true, true},
    };
    device.setRenderState(RenderState::AlphaTestEnable, 1);
    for (const Row& row : rows) {
        device.setRenderState(RenderState::AlphaFunc, uint32_t(row.func));
        for (const auto& [ref, keep] : {std::pair{100u, row.keepAt100}, {128u, row.keepAt128}, {200u, row.keepAt200}}) {
            device.setRenderState(RenderState::AlphaRef, ref);
            device.clear(ClearFlag::Target, 0xFF000000, 1.0f, 0);
            drawWith("tint");
            EXPECT_EQ(green(gpu.backBufferPixels()[16 * 32 + 16]), keep ? 0xFF : 0x00)
                << "AlphaFunc " << uint32_t(row.func) << ", AlphaRef " << ref;
        }
    }
    // Switched off, the same comparison that failed no longer discards.
    device.setRenderState(RenderState::AlphaFunc, uint32_t(Cmp::Never));
    device.setRenderState(RenderState::AlphaTestEnable, 0);
    device.clear(ClearFlag::Target, 0xFF000000, 1.0f, 0);
    drawWith("tint");
    EXPECT_EQ(green(gpu.backBufferPixels()[16 * 32 + 16]), 0xFF);
    EXPECT_TRUE(effect->linkMessages().empty()) << effect->linkMessages();
}

TEST_F(EffectTest, BeginPassOutsideBeginOrPastTheLastPassDoesNothing)
{
    EXPECT_FALSE(effect->beginPass(0));
    EXPECT_EQ(effect->begin(0), 5u);
    EXPECT_FALSE(effect->beginPass(5));
    EXPECT_TRUE(effect->beginPass(0));
    EXPECT_TRUE(gpu.device().effectPassActive());
    effect->endPass();
    EXPECT_FALSE(gpu.device().effectPassActive());
    effect->end();
}

TEST_F(EffectTest, MeshesDrawWithThePassProgramAfterPretransformedDrawsInThePass)
{
    struct ScreenVertex {
        float x, y, z, rhw;
        uint32_t color;
    } const corner[3] = {{0, 0, 0.5f, 1, 0xFF00FF00}, {4, 0, 0.5f, 1, 0xFF00FF00}, {0, 4, 0.5f, 1, 0xFF00FF00}};
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setVector("Tint", {1, 0, 0, 1});
    ASSERT_EQ(effect->begin(0), 5u);
    ASSERT_TRUE(effect->beginPass(0));
    device.setFVF(FVF::XYZRHW | FVF::Diffuse);
    device.drawPrimitiveUP(PrimitiveType::TriangleList, 1, corner, sizeof(ScreenVertex));
    device.drawMesh(*quad); // still the pass's program: red over everything
    effect->endPass();
    effect->end();
    const auto pixels = gpu.backBufferPixels();
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[16 * 32 + 16], 0xFFFF0000u);
    EXPECT_EQ(pixels[31 * 32 + 31], 0xFFFF0000u);
}

TEST_F(EffectTest, MatricesFillTheUpperLeftBlockOfSmallerParameters)
{
    Core::Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = float(10 * r + c);
    effect->setMatrix("Basis", m);
    const auto basis = effect->parameterValue(effect->parameterByName("Basis"));
    ASSERT_EQ(basis.size(), 9u);
    EXPECT_EQ(std::vector<float>(basis.begin(), basis.end()), (std::vector<float>{0, 1, 2, 10, 11, 12, 20, 21, 22}));
}

TEST_F(EffectTest, ValuesSetBetweenPassesReachTheNextPass)
{
    // The same value set again must not hide a change made in between.
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setVector("Tint", {1, 0, 0, 1});
    drawWith("tint");
    effect->setVector("Tint", {0, 0, 1, 1});
    effect->setVector("Tint", {0, 0, 1, 1});
    drawWith("tint");
    EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 16], 0xFF0000FFu);
    effect->setVector("Tint", {1, 0, 0, 1});
    drawWith("tint");
    EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 16], 0xFFFF0000u);
}

namespace {

// A 1 x 1 texture of one ARGB colour.
std::unique_ptr<Texture> solidTexture(Device& device, uint32_t argb)
{
    auto texture = device.createTexture(1, 1, 1, 0, Format::A8R8G8B8);
    if (texture && !texture->writeLevel(0, &argb, sizeof argb)) texture.reset();
    return texture;
}

} // namespace

TEST(EffectBindings, ATextureMadeAfterTheBoundOneWasDestroyedIsSampled)
{
    // GL unbinds a deleted texture and may hand its name to the next one made
    // (Mesa does when asked to, as some drivers always do): a binding
    // remembered by name alone would then skip binding the new texture and
    // sample an empty unit. The option is read when the context is made.
    setenv("force_gl_names_reuse", "true", 1);
    OffscreenDevice gpu(8, 8);
    unsetenv("force_gl_names_reuse");
    Device& device = gpu.device();
    NoEffectIncludes includes;
    std::string messages;
    auto effect = CompiledEffect::create(device, kEffect, "test.fx", {}, includes, &messages);
    ASSERT_TRUE(effect) << messages;
    effect->setTechnique(effect->findNextValidTechnique());
    const PassHandle textured = effect->passByName(effect->technique(), "textured");
    ASSERT_TRUE(textured);
    const QuadVertex vertices[4] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    auto quad = device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}},
                                  sizeof(QuadVertex), vertices, 4, indices, 6);
    ASSERT_TRUE(quad);
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    const auto drawTextured = [&] {
        effect->begin(0);
        ASSERT_TRUE(effect->beginPass(uint32_t(textured.pass)));
        device.drawMesh(*quad);
        effect->endPass();
        effect->end();
    };

    auto first = solidTexture(device, 0xFFFF0000);
    ASSERT_TRUE(first);
    effect->setTexture("DiffuseMap", first.get());
    drawTextured();
    EXPECT_EQ(gpu.backBufferPixels()[4 * 8 + 4], 0xFFFF0000u);

    const uint32_t firstName = detail::DeviceAccess::textureName(*first);
    first.reset();
    auto second = solidTexture(device, 0xFF00FF00);
    ASSERT_TRUE(second);
    ASSERT_EQ(detail::DeviceAccess::textureName(*second), firstName) << "the case needs the texture name reused";
    effect->setTexture("DiffuseMap", second.get());
    drawTextured();
    EXPECT_EQ(gpu.backBufferPixels()[4 * 8 + 4], 0xFF00FF00u);
}

TEST_F(EffectTest, EffectsSharingUnitsAndBlockBindingEachDrawWithTheirOwn)
{
    // Both effects bind unit 0 and uniform block binding 0; the binding left
    // by the other must not pass for this effect's own.
    NoEffectIncludes includes;
    std::string messages;
    auto other = CompiledEffect::create(gpu.device(), kEffect, "other.fx", {}, includes, &messages);
    ASSERT_TRUE(other) << messages;
    other->setTechnique(other->findNextValidTechnique());
    auto redTexture = solidTexture(gpu.device(), 0xFFFF0000);
    auto blueTexture = solidTexture(gpu.device(), 0xFF0000FF);
    ASSERT_TRUE(redTexture && blueTexture);
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    other->setMatrix("WorldViewProj", Core::Matrix::identity());
    effect->setTexture("DiffuseMap", redTexture.get());
    other->setTexture("DiffuseMap", blueTexture.get());
    effect->setVector("Tint", {0, 1, 0, 1});
    other->setVector("Tint", {0, 0, 1, 1});

    auto drawOther = [&](const char* passName) {
        const uint32_t passes = other->begin(0);
        for (uint32_t i = 0; i < passes; ++i) {
            if (other->pass(other->technique(), i) != other->passByName(other->technique(), passName)) continue;
            ASSERT_TRUE(other->beginPass(i));
            gpu.device().drawMesh(*quad);
            other->endPass();
        }
        other->end();
    };
    const auto centre = [&] { return gpu.backBufferPixels()[16 * 32 + 16]; };
    drawWith("textured");
    EXPECT_EQ(centre(), 0xFFFF0000u);
    drawOther("textured");
    EXPECT_EQ(centre(), 0xFF0000FFu);
    drawWith("textured");
    EXPECT_EQ(centre(), 0xFFFF0000u);

    drawWith("tint");
    EXPECT_EQ(centre(), 0xFF00FF00u);
    drawOther("tint");
    EXPECT_EQ(centre(), 0xFF0000FFu);
    drawWith("tint");
    EXPECT_EQ(centre(), 0xFF00FF00u);
}

TEST_F(EffectTest, AnEmptyTextureParameterLeavesNoEarlierTextureBound)
{
    effect->setMatrix("WorldViewProj", Core::Matrix::identity());
    auto white = solidTexture(gpu.device(), 0xFFFFFFFF);
    ASSERT_TRUE(white);
    effect->setTexture("DiffuseMap", white.get());
    drawWith("textured");
    EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 16], 0xFFFFFFFFu);
    // An empty unit samples as (0, 0, 0, 1).
    effect->setTexture("DiffuseMap", nullptr);
    drawWith("textured");
    EXPECT_EQ(gpu.backBufferPixels()[16 * 32 + 16], 0xFF000000u);
}
