// Every value of the device's D3D9 state and format tables, drawn once on GL
// and read back. Expectations come from the D3D9 definitions (a blend factor's
// formula, a comparison's truth table, a format's memory layout), so a value
// mapped to the wrong GL enum shows as a wrong pixel. The tables grow by rows.
#include "platform/gfx/CompiledEffect.h"
#include "platform/gfx/Device.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace ORV;
using namespace ORV::Gfx;
using namespace ORV::Test;

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
};

void drawRect(Device& device, float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    const ScreenVertex v[6] = {{x0, y0, z, 1, color}, {x1, y1, z, 1, color}, {x0, y1, z, 1, color},
                               {x0, y0, z, 1, color}, {x1, y0, z, 1, color}, {x1, y1, z, 1, color}};
    device.setFVF(FVF::XYZRHW | FVF::Diffuse);
    device.drawPrimitiveUP(PrimitiveType::TriangleList, 2, v, sizeof(ScreenVertex));
}

// Channels of an ARGB word as 0..1, in the order r, g, b, a.
using Color = std::array<double, 4>;
Color channels(uint32_t argb)
{
    return {red(argb) / 255.0, green(argb) / 255.0, blue(argb) / 255.0, alpha(argb) / 255.0};
}

std::string hex(uint32_t argb)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", argb);
    return text;
}

// Whether each channel of the pixel is within `tolerance` (of 255) of the
// expected 0..1 value.
::testing::AssertionResult near(uint32_t pixel, const Color& expected, int tolerance)
{
    const int got[4] = {red(pixel), green(pixel), blue(pixel), alpha(pixel)};
    for (int i = 0; i < 4; ++i) {
        const int want = int(std::lround(std::clamp(expected[size_t(i)], 0.0, 1.0) * 255.0));
        if (std::abs(got[i] - want) > tolerance) {
            return ::testing::AssertionFailure() << "pixel " << hex(pixel) << ", channel "
                                                 << "rgba"[i] << " is " << got[i] << ", expected " << want;
        }
    }
    return ::testing::AssertionSuccess();
}

// A colour target with alpha (the back buffer has none to blend with), bound
// without a depth surface, with depth testing and culling off.
struct ColorTarget {
    explicit ColorTarget(Device& device, int width = 4, int height = 4)
        : device(device), texture(device.createTexture(width, height, 1, Usage::RenderTarget, Format::A8R8G8B8))
    {
        device.setRenderTarget(0, texture->surfaceLevel(0));
        device.setDepthStencilSurface(nullptr);
        device.setRenderState(RenderState::ZEnable, value(ZBufferType::False));
        device.setRenderState(RenderState::CullMode, value(Cull::None));
    }
    ~ColorTarget()
    {
        device.setRenderTarget(0, device.backBuffer());
        device.setDepthStencilSurface(device.defaultDepthStencil());
    }
    uint32_t pixel(int x = 0, int y = 0) const
    {
        return device.readPixels(*texture->surfaceLevel(0))[size_t(y * texture->width() + x)];
    }
    Device& device;
    std::unique_ptr<Texture> texture;
};

} // namespace

// ---------------------------------------------------------------- blending

TEST(StateTables, EveryBlendFactorAsSourceAndAsDestination)
{
    // The factor each D3DBLEND value stands for, per channel (r, g, b, a), as
    // D3D9 defines it for source colour S and destination colour D.
    struct Row {
        Blend blend;
        const char* name;
        std::function<Color(const Color& s, const Color& d)> factor;
    };
    const auto each = [](auto f) {
        return [f](const Color& s, const Color& d) {
            Color c;
            for (size_t i = 0; i < 4; ++i) c[i] = f(s, d, i);
            return c;
        };
    };
    const Row rows[] = {
        {Blend::Zero, "Zero", each([](const Color&, const Color&, size_t) { return 0.0; })},
        {Blend::One, "One", each([](const Color&, const Color&, size_t) { return 1.0; })},
        {Blend::SrcColor, "SrcColor", each([](const Color& s, const Color&, size_t i) { return s[i]; })},
        {Blend::InvSrcColor, "InvSrcColor", each([](const Color& s, const Color&, size_t i) { return 1 - s[i]; })},
        {Blend::SrcAlpha, "SrcAlpha", each([](const Color& s, const Color&, size_t) { return s[3]; })},
        {Blend::InvSrcAlpha, "InvSrcAlpha", each([](const Color& s, const Color&, size_t) { return 1 - s[3]; })},
        {Blend::DestAlpha, "DestAlpha", each([](const Color&, const Color& d, size_t) { return d[3]; })},
        {Blend::InvDestAlpha, "InvDestAlpha", each([](const Color&, const Color& d, size_t) { return 1 - d[3]; })},
        {Blend::DestColor, "DestColor", each([](const Color&, const Color& d, size_t i) { return d[i]; })},
        {Blend::InvDestColor, "InvDestColor", each([](const Color&, const Color& d, size_t i) { return 1 - d[i]; })},
        {Blend::SrcAlphaSat, "SrcAlphaSat",
         each([](const Color& s, const Color& d, size_t i) { return i == 3 ? 1.0 : std::min(s[3], 1 - d[3]); })},
    };
    // Every channel different, and the alphas chosen so that no two factors
    // agree on all four channels.
    const uint32_t source = 0xB3336699, destination = 0x66E6801A;
    const Color s = channels(source), d = channels(destination);

    OffscreenDevice gpu(8, 8);
    Device& device = gpu.device();
    ColorTarget target(device);
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::BlendOp, value(BlendOperation::Add));
    for (const Row& row : rows) {
        const Color f = row.factor(s, d);
        Color asSource, asDestination;
        for (size_t i = 0; i < 4; ++i) {
            asSource[i] = s[i] * f[i]; // DestBlend Zero
            asDestination[i] = d[i] * f[i]; // SrcBlend Zero
        }
        device.setRenderState(RenderState::SrcBlend, value(row.blend));
        device.setRenderState(RenderState::DestBlend, value(Blend::Zero));
        device.clear(ClearFlag::Target, destination, 1.0f, 0);
        drawRect(device, 0, 0, 4, 4, 0.5f, source);
        EXPECT_TRUE(near(target.pixel(), asSource, 2)) << "SrcBlend = " << row.name;

        device.setRenderState(RenderState::SrcBlend, value(Blend::Zero));
        device.setRenderState(RenderState::DestBlend, value(row.blend));
        device.clear(ClearFlag::Target, destination, 1.0f, 0);
        drawRect(device, 0, 0, 4, 4, 0.5f, source);
        EXPECT_TRUE(near(target.pixel(), asDestination, 2)) << "DestBlend = " << row.name;
    }
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
}

TEST(StateTables, EveryBlendOperationWithFactorsOtherThanOne)
{
    // Result = S * SrcAlpha op D * InvSrcAlpha, per D3DBLENDOP; Min and Max
    // ignore the factors, as D3D9 says.
    const uint32_t source = 0x40C08020, destination = 0xFF4080C0;
    const Color s = channels(source), d = channels(destination);
    const double a = s[3];
    struct Row {
        BlendOperation op;
        const char* name;
        std::function<double(double s, double d)> combine;
    };
    const Row rows[] = {
        {BlendOperation::Add, "Add", [a](double s, double d) { return s * a + d * (1 - a); }},
        {BlendOperation::Subtract, "Subtract", [a](double s, double d) { return s * a - d * (1 - a); }},
        {BlendOperation::RevSubtract, "RevSubtract", [a](double s, double d) { return d * (1 - a) - s * a; }},
        {BlendOperation::Min, "Min", [](double s, double d) { return std::min(s, d); }},
        {BlendOperation::Max, "Max", [](double s, double d) { return std::max(s, d); }},
    };
    OffscreenDevice gpu(8, 8);
    Device& device = gpu.device();
    ColorTarget target(device);
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::SrcBlend, value(Blend::SrcAlpha));
    device.setRenderState(RenderState::DestBlend, value(Blend::InvSrcAlpha));
    for (const Row& row : rows) {
        Color expected;
        for (size_t i = 0; i < 4; ++i) expected[i] = row.combine(s[i], d[i]);
        device.setRenderState(RenderState::BlendOp, value(row.op));
        device.clear(ClearFlag::Target, destination, 1.0f, 0);
        drawRect(device, 0, 0, 4, 4, 0.5f, source);
        EXPECT_TRUE(near(target.pixel(), expected, 2)) << "BlendOp = " << row.name;
    }
    device.setRenderState(RenderState::BlendOp, value(BlendOperation::Add));
    device.setRenderState(RenderState::AlphaBlendEnable, 0);
}

TEST(StateTables, EveryColorWriteMask)
{
    const uint32_t destination = 0x11223344, source = 0xAABBCCDD;
    OffscreenDevice gpu(8, 8);
    Device& device = gpu.device();
    ColorTarget target(device);
    // D3DCOLORWRITEENABLE_RED 1, GREEN 2, BLUE 4, ALPHA 8: every combination.
    for (uint32_t mask = 0; mask <= ColorWrite::All; ++mask) {
        device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::All);
        device.clear(ClearFlag::Target, destination, 1.0f, 0);
        device.setRenderState(RenderState::ColorWriteEnable, mask);
        drawRect(device, 0, 0, 4, 4, 0.5f, source);
        uint32_t expected = 0;
        const uint32_t shifts[4] = {16, 8, 0, 24}; // red, green, blue, alpha bytes of ARGB
        for (int bit = 0; bit < 4; ++bit)
            expected |= ((mask >> bit & 1) ? source : destination) & (0xFFu << shifts[bit]);
        EXPECT_EQ(hex(target.pixel()), hex(expected)) << "ColorWriteEnable = " << mask;
    }
    device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::All);
}

// ---------------------------------------------------------------- depth

TEST(StateTables, EveryDepthComparisonBelowAtAndAboveTheStoredDepth)
{
    // D3DCMP_*: the new pixel passes when (its depth OP the stored depth).
    struct Row {
        Cmp func;
        const char* name;
        bool nearer, equal, farther;
    };
    const Row rows[] = {
        {Cmp::Never, "Never", false, false, false},
        {Cmp::Less, "Less", true, false, false},
        {Cmp::Equal, "Equal", false, true, false},
        {Cmp::LessEqual, "LessEqual", true, true, false},
        {Cmp::Greater, "Greater", false, false, true},
        {Cmp::NotEqual, "NotEqual", true, false, true},
        {Cmp::GreaterEqual, "GreaterEqual", false, true, true},
        {Cmp::Always, "Always", true, true, true},
    };
    OffscreenDevice gpu(12, 4);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.setRenderState(RenderState::ZEnable, value(ZBufferType::True));
    for (const Row& row : rows) {
        // A red surface at depth 0.5 everywhere, then three green ones without
        // depth writes: nearer in the left column, equal in the middle one,
        // farther in the right one.
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        device.setRenderState(RenderState::ZWriteEnable, 1);
        device.setRenderState(RenderState::ZFunc, value(Cmp::Always));
        drawRect(device, 0, 0, 12, 4, 0.5f, 0xFFFF0000);
        device.setRenderState(RenderState::ZWriteEnable, 0);
        device.setRenderState(RenderState::ZFunc, value(row.func));
        drawRect(device, 0, 0, 4, 4, 0.25f, 0xFF00FF00);
        drawRect(device, 4, 0, 8, 4, 0.5f, 0xFF00FF00);
        drawRect(device, 8, 0, 12, 4, 0.75f, 0xFF00FF00);
        const auto pixels = gpu.backBufferPixels();
        const auto drawn = [&](int x) { return pixels[size_t(2 * 12 + x)] == 0xFF00FF00u; };
        EXPECT_EQ(drawn(2), row.nearer) << "ZFunc = " << row.name << ", nearer";
        EXPECT_EQ(drawn(6), row.equal) << "ZFunc = " << row.name << ", equal";
        EXPECT_EQ(drawn(10), row.farther) << "ZFunc = " << row.name << ", farther";
    }
    device.setRenderState(RenderState::ZWriteEnable, 1);
    device.setRenderState(RenderState::ZFunc, value(Cmp::LessEqual));
}

TEST(StateTables, EveryDepthBufferType)
{
    // D3DZB_FALSE draws without the depth test; TRUE and USEW (w-buffering,
    // which still tests depth) reject a surface behind the stored depth.
    struct Row {
        ZBufferType type;
        const char* name;
        bool behindDrawn;
    };
    const Row rows[] = {
        {ZBufferType::False, "False", true}, {ZBufferType::True, "True", false}, {ZBufferType::UseW, "UseW", false}};
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    for (const Row& row : rows) {
        device.setRenderState(RenderState::ZEnable, value(row.type));
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 0.25f, 0);
        drawRect(device, 0, 0, 4, 4, 0.5f, 0xFF00FF00);
        EXPECT_EQ(gpu.backBufferPixels()[5] == 0xFF00FF00u, row.behindDrawn) << "ZEnable = " << row.name;
    }
    device.setRenderState(RenderState::ZEnable, value(ZBufferType::True));
}

TEST(DeviceClear, StencilAloneLeavesDepthAndColorAsTheyWere)
{
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.setRenderState(RenderState::ZFunc, value(Cmp::LessEqual));
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer | ClearFlag::Stencil, 0xFF000000, 0.25f, 0);
    // A stencil clear that names another depth and colour changes neither.
    device.clear(ClearFlag::Stencil, 0xFFFFFFFF, 1.0f, 7);
    EXPECT_EQ(gpu.backBufferPixels()[5], 0xFF000000u);
    drawRect(device, 0, 0, 4, 4, 0.5f, 0xFF00FF00); // behind the depth 0.25 that stays
    EXPECT_EQ(gpu.backBufferPixels()[5], 0xFF000000u);
    drawRect(device, 0, 0, 4, 4, 0.2f, 0xFF0000FF); // in front of it
    EXPECT_EQ(gpu.backBufferPixels()[5], 0xFF0000FFu);

    // A depth-only clear on a depth surface without stencil still clears.
    auto depth = device.createDepthStencilSurface(4, 4, Format::D16);
    ASSERT_TRUE(depth);
    device.setDepthStencilSurface(depth.get());
    device.clear(ClearFlag::ZBuffer, 0, 0.25f, 0);
    device.clear(ClearFlag::Stencil, 0, 1.0f, 0); // no stencil to clear: nothing happens
    drawRect(device, 0, 0, 4, 4, 0.5f, 0xFFFF0000);
    EXPECT_EQ(gpu.backBufferPixels()[5], 0xFF0000FFu);
    device.setDepthStencilSurface(device.defaultDepthStencil());
}

// ---------------------------------------------------------------- formats

namespace {

// One texture of every format: its D3DFMT value, a level's bytes laid out as
// D3D9 lays them out, and the ARGB every texel of it reads as.
struct FormatRow {
    Format format;
    const char* name;
    uint32_t d3dValue;
    int size; // width and height
    std::vector<uint8_t> bytes;
    uint32_t argb;
    int tolerance;
};

std::vector<FormatRow> formatRows()
{
    // A DXT colour block: colour 0 red and colour 1 green in RGB565, every
    // index 1: green throughout.
    const std::vector<uint8_t> greenBlock = {0x00, 0xF8, 0xE0, 0x07, 0x55, 0x55, 0x55, 0x55};
    std::vector<uint8_t> dxt3 = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88}; // alpha 8 of 15 everywhere
    dxt3.insert(dxt3.end(), greenBlock.begin(), greenBlock.end());
    std::vector<uint8_t> dxt5 = {0x80, 0x10, 0, 0, 0, 0, 0, 0}; // alpha index 0 everywhere: alpha 0 = 0x80
    dxt5.insert(dxt5.end(), greenBlock.begin(), greenBlock.end());
    // Half floats 0.25, 0.5, 0.75, 1.0 as R, G, B, A in memory.
    const std::vector<uint8_t> half = {0x00, 0x34, 0x00, 0x38, 0x00, 0x3A, 0x00, 0x3C};
    // The float 0.5 in the red channel.
    const std::vector<uint8_t> r32f = {0x00, 0x00, 0x00, 0x3F};
    return {
        {Format::R8G8B8, "R8G8B8", 20, 1, {0x10, 0x20, 0x30}, 0xFF302010, 0},
        {Format::A8R8G8B8, "A8R8G8B8", 21, 1, {0x10, 0x20, 0x30, 0x40}, 0x40302010, 0},
        {Format::X8R8G8B8, "X8R8G8B8", 22, 1, {0x10, 0x20, 0x30, 0x40}, 0xFF302010, 0},
        {Format::A8B8G8R8, "A8B8G8R8", 32, 1, {0x10, 0x20, 0x30, 0x40}, 0x40102030, 0},
        {Format::X8B8G8R8, "X8B8G8R8", 33, 1, {0x10, 0x20, 0x30, 0x40}, 0xFF102030, 0},
        {Format::L8, "L8", 50, 1, {0x60}, 0xFF606060, 0},
        {Format::A8L8, "A8L8", 51, 1, {0x60, 0x90}, 0x90606060, 0},
        {Format::R32F, "R32F", 114, 1, r32f, 0xFF80FFFF, 1},
        {Format::A16B16G16R16F, "A16B16G16R16F", 113, 1, half, 0xFF4080BF, 1},
        {Format::DXT1, "DXT1", makeFourCC('D', 'X', 'T', '1'), 4, greenBlock, 0xFF00FF00, 0},
        {Format::DXT3, "DXT3", makeFourCC('D', 'X', 'T', '3'), 4, dxt3, 0x8800FF00, 0},
        {Format::DXT5, "DXT5", makeFourCC('D', 'X', 'T', '5'), 4, dxt5, 0x8000FF00, 0},
    };
}

::testing::AssertionResult sameArgb(uint32_t got, uint32_t want, int tolerance)
{
    return near(got, channels(want), tolerance);
}

} // namespace

TEST(StateTables, EveryTextureFormatReadsBackAsD3D9LaysItOut)
{
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    for (const FormatRow& row : formatRows()) {
        EXPECT_EQ(value(row.format), row.d3dValue) << row.name;
        auto texture = device.createTexture(row.size, row.size, 1, 0, row.format);
        ASSERT_TRUE(texture) << row.name;
        ASSERT_TRUE(texture->writeLevel(0, row.bytes.data(), row.bytes.size())) << row.name;
        const auto pixels = device.readPixels(*texture->surfaceLevel(0));
        ASSERT_EQ(pixels.size(), size_t(row.size * row.size)) << row.name;
        for (uint32_t p : pixels) EXPECT_TRUE(sameArgb(p, row.argb, row.tolerance)) << row.name;
    }
    EXPECT_EQ(value(Format::D24S8), 75u);
    EXPECT_EQ(value(Format::D16), 80u);
}

namespace {

const char* const kSampleEffect = R"(
float4 Coord;
texture Map;
sampler2D Sampled = sampler_state {
    Texture = <Map>;
    SAMPLER_STATES
};

struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};
VsOut vsMapped(float3 position : POSITION, float2 uv : TEXCOORD0)
{
    VsOut o;
    o.position = float4(position, 1);
    o.uv = uv;
    return o;
}
float4 psMapped(float2 uv : TEXCOORD0) : COLOR { return tex2D(Sampled, uv); }
float4 psFixed(float2 uv : TEXCOORD0) : COLOR { return tex2D(Sampled, Coord.xy); }

technique Main
{
    pass mapped { VertexShader = compile vs_2_0 vsMapped(); PixelShader = compile ps_2_0 psMapped(); }
    pass fixed { VertexShader = compile vs_2_0 vsMapped(); PixelShader = compile ps_2_0 psFixed(); }
}
)";

struct QuadVertex {
    float x, y, z, u, v;
};

// Draws with an effect made of kSampleEffect with the given sampler_state
// assignments into a target of its own.
class Sampling {
public:
    Sampling(Device& device, const std::string& states) : device_(device)
    {
        std::string source = kSampleEffect;
        source.replace(source.find("SAMPLER_STATES"), 14, states);
        NoEffectIncludes includes;
        effect_ = CompiledEffect::create(device, source, "sampling.fx", {}, includes, &messages_);
        if (!effect_) return;
        effect_->setTechnique(effect_->findNextValidTechnique());
        const QuadVertex vertices[4] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
        const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
        quad_ = device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}},
                                  sizeof(QuadVertex), vertices, 4, indices, 6);
    }
    bool ready() const { return effect_ && effect_->technique() && quad_; }
    const std::string& messages() const { return messages_; }

    // The texture sampled at (u, v) on a 1 x 1 target.
    uint32_t sampleAt(Texture& texture, float u, float v)
    {
        effect_->setVector("Coord", {u, v, 0, 0});
        return draw(texture, 1, 1)[0];
    }
    // The texture mapped onto a width x height target.
    std::vector<uint32_t> draw(Texture& texture, int width, int height)
    {
        const char* passName = width == 1 && height == 1 ? "fixed" : "mapped";
        ColorTarget target(device_, width, height);
        device_.clear(ClearFlag::Target, 0xFF123456, 1.0f, 0);
        effect_->setTexture("Map", &texture);
        const uint32_t passes = effect_->begin(0);
        for (uint32_t i = 0; i < passes; ++i) {
            if (effect_->pass(effect_->technique(), i) != effect_->passByName(effect_->technique(), passName)) continue;
            effect_->beginPass(i);
            device_.drawMesh(*quad_);
            effect_->endPass();
        }
        effect_->end();
        return device_.readPixels(*target.texture->surfaceLevel(0));
    }

private:
    Device& device_;
    std::string messages_;
    std::unique_ptr<CompiledEffect> effect_;
    std::unique_ptr<Mesh> quad_;
};

// A texture of width x height texels of one ARGB colour each, given row by row.
std::unique_ptr<Texture> texels(Device& device, int width, int height, std::vector<uint32_t> argb, int levels = 1)
{
    auto texture = device.createTexture(width, height, levels, 0, Format::A8R8G8B8);
    if (texture && !texture->writeLevel(0, argb.data(), argb.size() * 4)) texture.reset();
    return texture;
}

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;
constexpr uint32_t kBorder = 0x00000000; // D3DSAMP_BORDERCOLOR's default

} // namespace

TEST(StateTables, EveryTextureAddressModeOnBothAxes)
{
    // Texels red then green along the axis; sampled at 1.25, 1.75 and -0.75.
    // Wrap takes the fraction, Mirror reflects at every integer, Clamp holds
    // the edge texel, Border gives the border colour, MirrorOnce reflects
    // about 0 once and then clamps.
    struct Row {
        const char* mode;
        uint32_t at125, at175, atMinus075;
    };
    const Row rows[] = {
        {"Wrap", kRed, kGreen, kRed},          {"Mirror", kGreen, kRed, kGreen},       {"Clamp", kGreen, kGreen, kRed},
        {"Border", kBorder, kBorder, kBorder}, {"MirrorOnce", kGreen, kGreen, kGreen},
    };
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    auto across = texels(device, 2, 1, {kRed, kGreen});
    auto down = texels(device, 1, 2, {kRed, kGreen});
    ASSERT_TRUE(across && down);
    for (const Row& row : rows) {
        for (const char* axis : {"AddressU", "AddressV"}) {
            const bool u = axis[7] == 'U';
            // The other axis wraps (the default), which must not matter.
            Sampling sampling(device, std::string("MinFilter = Point; MagFilter = Point; MipFilter = None; ") + axis
                                          + " = " + row.mode + ";");
            ASSERT_TRUE(sampling.ready()) << sampling.messages();
            Texture& texture = u ? *across : *down;
            const auto at = [&](float t) { return sampling.sampleAt(texture, u ? t : 0.5f, u ? 0.5f : t); };
            EXPECT_EQ(hex(at(1.25f)), hex(row.at125)) << axis << " = " << row.mode << " at 1.25";
            EXPECT_EQ(hex(at(1.75f)), hex(row.at175)) << axis << " = " << row.mode << " at 1.75";
            EXPECT_EQ(hex(at(-0.75f)), hex(row.atMinus075)) << axis << " = " << row.mode << " at -0.75";
        }
    }
}

TEST(StateTables, EveryMagnificationFilter)
{
    // Red then green, magnified and sampled at u = 0.375: texel coordinate
    // 0.75, a quarter of the way from the red texel's centre to the green's.
    struct Row {
        const char* filter;
        uint32_t argb;
    };
    const Row rows[] = {{"Point", kRed}, {"Linear", 0xFFBF4000}, {"Anisotropic", 0xFFBF4000}};
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    auto texture = texels(device, 2, 1, {kRed, kGreen});
    ASSERT_TRUE(texture);
    for (const Row& row : rows) {
        Sampling sampling(device, std::string("AddressU = Clamp; MinFilter = Point; MagFilter = ") + row.filter + ";");
        ASSERT_TRUE(sampling.ready()) << sampling.messages();
        EXPECT_TRUE(sameArgb(sampling.sampleAt(*texture, 0.375f, 0.5f), row.argb, 2)) << "MagFilter = " << row.filter;
    }
}

TEST(StateTables, EveryMinificationFilter)
{
    // Columns alternating red and green, 8 texels drawn onto 4 pixels: each
    // pixel centre falls on the edge between two texels, so point sampling
    // gives one of them and linear filtering an even mix.
    std::vector<uint32_t> stripes;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) stripes.push_back(x % 2 ? kGreen : kRed);
    struct Row {
        const char* filter;
        bool mixed;
    };
    const Row rows[] = {{"Point", false}, {"Linear", true}, {"Anisotropic", true}};
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    auto texture = texels(device, 8, 8, stripes);
    ASSERT_TRUE(texture);
    for (const Row& row : rows) {
        Sampling sampling(device, std::string("MagFilter = Point; MipFilter = None; MinFilter = ") + row.filter + ";");
        ASSERT_TRUE(sampling.ready()) << sampling.messages();
        const uint32_t p = sampling.draw(*texture, 4, 4)[5];
        if (row.mixed) {
            EXPECT_TRUE(sameArgb(p, 0xFF808000, 2)) << "MinFilter = " << row.filter << ": " << hex(p);
        } else {
            EXPECT_TRUE(p == kRed || p == kGreen) << "MinFilter = " << row.filter << ": " << hex(p);
        }
    }
}

TEST(StateTables, EveryMipFilter)
{
    // Levels of 8, 4, 2 and 1 texels coloured red, green, blue and white, drawn
    // onto 3 x 3 pixels: level of detail log2(8 / 3) = 1.4. None samples the
    // top level only, Point the nearest level (1), Linear blends levels 1 and 2.
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    auto texture = device.createTexture(8, 8, 4, 0, Format::A8R8G8B8);
    ASSERT_TRUE(texture && texture->levelCount() == 4);
    const uint32_t levelColors[4] = {kRed, kGreen, kBlue, kWhite};
    for (int level = 0; level < 4; ++level) {
        const std::vector<uint32_t> fill(texture->levelByteSize(level) / 4, levelColors[level]);
        ASSERT_TRUE(texture->writeLevel(level, fill.data(), fill.size() * 4));
    }
    struct Row {
        const char* filter;
        std::function<bool(uint32_t)> expected;
    };
    const auto blendOfGreenAndBlue = [](uint32_t p) {
        return red(p) < 8 && green(p) > 60 && green(p) < 195 && blue(p) > 60 && blue(p) < 195;
    };
    const Row rows[] = {
        {"None", [](uint32_t p) { return p == kRed; }},
        {"Point", [](uint32_t p) { return p == kGreen; }},
        {"Linear", blendOfGreenAndBlue},
        {"Anisotropic", blendOfGreenAndBlue},
    };
    // Each level is one colour, so the filter within a level changes nothing.
    for (const char* minFilter : {"Point", "Linear"}) {
        for (const Row& row : rows) {
            Sampling sampling(device, std::string("MagFilter = Point; MinFilter = ") + minFilter
                                          + "; MipFilter = " + row.filter + ";");
            ASSERT_TRUE(sampling.ready()) << sampling.messages();
            const uint32_t p = sampling.draw(*texture, 3, 3)[4];
            EXPECT_TRUE(row.expected(p)) << "MinFilter = " << minFilter << ", MipFilter = " << row.filter << ": "
                                         << hex(p);
        }
    }
}

TEST(StateTables, EveryFormatIsSampledAsItReadsBack)
{
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    Sampling sampling(device, "MinFilter = Point; MagFilter = Point; MipFilter = None;");
    ASSERT_TRUE(sampling.ready()) << sampling.messages();
    for (const FormatRow& row : formatRows()) {
        auto texture = device.createTexture(row.size, row.size, 1, 0, row.format);
        ASSERT_TRUE(texture && texture->writeLevel(0, row.bytes.data(), row.bytes.size())) << row.name;
        EXPECT_TRUE(sameArgb(sampling.sampleAt(*texture, 0.5f, 0.5f), row.argb, row.tolerance + 1)) << row.name;
    }
}

// ---------------------------------------------------------------- samplers

TEST(EffectSamplers, EachOfSeveralSamplersReadsItsOwnTexture)
{
    // Four sampler parameters, one the pass never reads, declared in another
    // order than their textures and than the pixel shader reads them, and
    // with register numbers in yet another order. Each texture holds one
    // channel only, and the output takes each channel from the sampler that
    // should hold it: white only when every sampler reads its own texture.
    const char* const source = R"(
texture BlueMap;
texture GreenMap;
texture RedMap;
texture UnusedMap;
sampler2D Unused : register(s3) = sampler_state { Texture = <UnusedMap>; MinFilter = Point; MagFilter = Point; };
sampler2D GreenSampler : register(s0) = sampler_state { Texture = <GreenMap>; MinFilter = Point; MagFilter = Point; };
sampler2D BlueSampler : register(s2) = sampler_state { Texture = <BlueMap>; MinFilter = Point; MagFilter = Point; };
sampler2D RedSampler : register(s1) = sampler_state { Texture = <RedMap>; MinFilter = Point; MagFilter = Point; };

struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};
VsOut vs(float3 position : POSITION, float2 uv : TEXCOORD0)
{
    VsOut o;
    o.position = float4(position, 1);
    o.uv = uv;
    return o;
}
float4 ps(float2 uv : TEXCOORD0) : COLOR
{
    float b = tex2D(BlueSampler, uv).b;
    float r = tex2D(RedSampler, uv).r;
    float g = tex2D(GreenSampler, uv).g;
    return float4(r, g, b, 1);
}
float4 psUnused(float2 uv : TEXCOORD0) : COLOR { return tex2D(Unused, uv); }

technique Main
{
    pass unused { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 psUnused(); }
    pass three { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
}
)";
    OffscreenDevice gpu(8, 8);
    Device& device = gpu.device();
    NoEffectIncludes includes;
    std::string messages;
    auto effect = CompiledEffect::create(device, source, "samplers.fx", {}, includes, &messages);
    ASSERT_TRUE(effect) << messages;
    effect->setTechnique(effect->findNextValidTechnique());
    ASSERT_TRUE(effect->technique());
    const QuadVertex vertices[4] = {{-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    auto quad = device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}},
                                  sizeof(QuadVertex), vertices, 4, indices, 6);
    ASSERT_TRUE(quad);
    auto redTexture = texels(device, 1, 1, {kRed});
    auto greenTexture = texels(device, 1, 1, {kGreen});
    auto blueTexture = texels(device, 1, 1, {kBlue});
    auto black = texels(device, 1, 1, {0xFF000000});
    ASSERT_TRUE(redTexture && greenTexture && blueTexture && black);
    effect->setTexture("RedMap", redTexture.get());
    effect->setTexture("GreenMap", greenTexture.get());
    effect->setTexture("BlueMap", blueTexture.get());
    effect->setTexture("UnusedMap", black.get());
    const auto drawPass = [&](const char* name) {
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF808080, 1.0f, 0);
        const uint32_t passes = effect->begin(0);
        for (uint32_t i = 0; i < passes; ++i) {
            if (effect->pass(effect->technique(), i) != effect->passByName(effect->technique(), name)) continue;
            ASSERT_TRUE(effect->beginPass(i));
            device.drawMesh(*quad);
            effect->endPass();
        }
        effect->end();
    };
    drawPass("three");
    EXPECT_EQ(hex(gpu.backBufferPixels()[4 * 8 + 4]), hex(kWhite));
    // After a pass that binds another sampler's unit, the three still read
    // their own textures.
    drawPass("unused");
    EXPECT_EQ(hex(gpu.backBufferPixels()[4 * 8 + 4]), hex(0xFF000000));
    drawPass("three");
    EXPECT_EQ(hex(gpu.backBufferPixels()[4 * 8 + 4]), hex(kWhite));
    // Each texture swapped for black takes away its own channel only.
    for (const auto& [map, own] : {std::pair{"RedMap", redTexture.get()}, std::pair{"GreenMap", greenTexture.get()},
                                   std::pair{"BlueMap", blueTexture.get()}}) {
        effect->setTexture(map, black.get());
        drawPass("three");
        const uint32_t p = gpu.backBufferPixels()[4 * 8 + 4];
        EXPECT_EQ(red(p) == 0, map[0] == 'R') << map << ": " << hex(p);
        EXPECT_EQ(green(p) == 0, map[0] == 'G') << map << ": " << hex(p);
        EXPECT_EQ(blue(p) == 0, map[0] == 'B') << map << ": " << hex(p);
        effect->setTexture(map, own);
    }
}

// ---------------------------------------------------------------- vertex inputs

TEST(StateTables, EveryVertexElementUsageReachesTheShaderInputOfItsSemantic)
{
    // One mesh carries an element of every usage the layer binds, each with a
    // colour of its own; an effect reads one semantic and draws what arrives.
    // An element bound where another semantic's input reads it shows as the
    // wrong colour.
    struct Row {
        VertexUsage usage;
        uint8_t usageIndex;
        const char* semantic;
    };
    const Row rows[] = {
        {VertexUsage::Normal, 0, "NORMAL"},      {VertexUsage::Tangent, 0, "TANGENT"},
        {VertexUsage::Binormal, 0, "BINORMAL"},  {VertexUsage::Color, 0, "COLOR0"},
        {VertexUsage::Color, 1, "COLOR1"},       {VertexUsage::TexCoord, 0, "TEXCOORD0"},
        {VertexUsage::TexCoord, 1, "TEXCOORD1"}, {VertexUsage::TexCoord, 2, "TEXCOORD2"},
        {VertexUsage::TexCoord, 3, "TEXCOORD3"}, {VertexUsage::TexCoord, 4, "TEXCOORD4"},
        {VertexUsage::TexCoord, 5, "TEXCOORD5"}, {VertexUsage::TexCoord, 6, "TEXCOORD6"},
        {VertexUsage::TexCoord, 7, "TEXCOORD7"},
    };
    constexpr size_t count = std::size(rows);
    const auto colorOf = [](size_t row) {
        const float r = float(20 * row + 10) / 255.0f;
        return std::array<float, 4>{r, 1.0f - r, float(row % 2), 1.0f};
    };
    // Position, then one float4 per row.
    constexpr uint32_t stride = 12 + 16 * count;
    std::vector<VertexElement> declaration = {{0, 3, VertexUsage::Position, 0}};
    for (size_t i = 0; i < count; ++i)
        declaration.push_back({uint16_t(12 + 16 * i), 4, rows[i].usage, rows[i].usageIndex});
    const float corners[4][3] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    std::vector<float> vertices;
    for (const auto& corner : corners) {
        vertices.insert(vertices.end(), corner, corner + 3);
        for (size_t i = 0; i < count; ++i) {
            const auto c = colorOf(i);
            vertices.insert(vertices.end(), c.begin(), c.end());
        }
    }
    ASSERT_EQ(vertices.size() * sizeof(float), size_t(stride) * 4); // four vertices

    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    auto quad = device.createMesh(declaration, stride, vertices.data(), 4, indices, 6);
    ASSERT_TRUE(quad);
    for (size_t i = 0; i < count; ++i) {
        std::string source = "struct VsOut { float4 position : POSITION; float4 color : TEXCOORD0; };\n";
        source.append("VsOut vs(float3 position : POSITION, float4 value : ").append(rows[i].semantic).append(")\n");
        source.append("{ VsOut o; o.position = float4(position, 1); o.color = value; return o; }\n");
        source.append("float4 ps(float4 color : TEXCOORD0) : COLOR { return color; }\n");
        source.append("technique T { pass p { VertexShader = compile vs_3_0 vs(); "
                      "PixelShader = compile ps_3_0 ps(); } }\n");
        NoEffectIncludes includes;
        std::string messages;
        auto effect = CompiledEffect::create(device, source, "inputs.fx", {}, includes, &messages);
        ASSERT_TRUE(effect) << rows[i].semantic << ": " << messages;
        effect->setTechnique(effect->findNextValidTechnique());
        ASSERT_TRUE(effect->technique()) << rows[i].semantic << ": " << effect->linkMessages();
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        effect->begin(0);
        ASSERT_TRUE(effect->beginPass(0));
        device.drawMesh(*quad);
        effect->endPass();
        effect->end();
        const auto c = colorOf(i);
        EXPECT_TRUE(near(gpu.backBufferPixels()[5], {c[0], c[1], c[2], 1.0}, 1)) << rows[i].semantic;
    }
}
