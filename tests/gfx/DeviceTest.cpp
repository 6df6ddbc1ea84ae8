// The graphics device's D3D9 conventions on GL, checked by reading pixels back.
#include "platform/gfx/Device.h"
#include "platform/gfx/GlObjectCounts.h"
#include "platform/gfx/detail/GlObject.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

void drawTriangle(Device& device, ScreenVertex a, ScreenVertex b, ScreenVertex c)
{
    const ScreenVertex v[3] = {a, b, c};
    device.setFVF(FVF::XYZRHW | FVF::Diffuse);
    device.drawPrimitiveUP(PrimitiveType::TriangleList, 1, v, sizeof(ScreenVertex));
}

// A rectangle as the loading screen draws it: (x0,y0) (x1,y1) (x0,y1), then
// (x0,y0) (x1,y0) (x1,y1); clockwise on screen.
void drawRect(Device& device, float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    const ScreenVertex v[6] = {{x0, y0, z, 1, color}, {x1, y1, z, 1, color}, {x0, y1, z, 1, color},
                               {x0, y0, z, 1, color}, {x1, y0, z, 1, color}, {x1, y1, z, 1, color}};
    device.setFVF(FVF::XYZRHW | FVF::Diffuse);
    device.drawPrimitiveUP(PrimitiveType::TriangleList, 2, v, sizeof(ScreenVertex));
}

uint32_t at(const std::vector<uint32_t>& pixels, int width, int x, int y)
{
    return pixels[size_t(y * width + x)];
}

} // namespace

TEST(Device, ClearFillsTheWholeBackBufferWhateverTheWriteMasks)
{
    OffscreenDevice gpu(64, 48);
    Device& device = gpu.device();
    device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::Red);
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer | ClearFlag::Stencil, 0xFF00007F, 1.0f, 0);
    for (uint32_t p : gpu.backBufferPixels()) ASSERT_EQ(p, 0xFF00007Fu);
    // The mask still applies to drawing after the clear.
    EXPECT_EQ(device.renderState(RenderState::ColorWriteEnable), ColorWrite::Red);
}

TEST(Device, WriteMasksStillApplyToDrawingAfterAClear)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::Red);
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF00007F, 1.0f, 0);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFFFF007Fu);
    device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::All);

    // Depth writes off: the clear still writes depth 0.25, which hides z 0.5.
    device.setRenderState(RenderState::ZWriteEnable, 0);
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 0.25f, 0);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFF00FF00);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFF000000u);
    // And drawing after it writes no depth: a farther rectangle still passes.
    device.clear(ClearFlag::ZBuffer, 0, 1.0f, 0);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFF00FF00);
    drawRect(device, 0, 0, 16, 16, 0.75f, 0xFF0000FF);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFF0000FFu);
}

TEST(Device, PretransformedVerticesUseTopLeftPixelCoordinates)
{
    OffscreenDevice gpu(64, 48);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    drawRect(device, 0, 0, 16, 8, 0.5f, 0xFFFF0000); // the top-left corner, red
    const auto pixels = gpu.backBufferPixels();
    EXPECT_EQ(at(pixels, 64, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(at(pixels, 64, 15, 7), 0xFFFF0000u);
    EXPECT_EQ(at(pixels, 64, 17, 1), 0xFF000000u);
    EXPECT_EQ(at(pixels, 64, 1, 9), 0xFF000000u);
    EXPECT_EQ(at(pixels, 64, 1, 47), 0xFF000000u); // nothing at the bottom
}

TEST(Device, CullModeFollowsTheWindingSeenOnScreen)
{
    OffscreenDevice gpu(32, 32);
    Device& device = gpu.device();
    const ScreenVertex topLeft{0, 0, 0.5f, 1, 0xFFFFFFFF}, topRight{32, 0, 0.5f, 1, 0xFFFFFFFF},
        bottomLeft{0, 32, 0.5f, 1, 0xFFFFFFFF};
    struct Case {
        Cull mode;
        bool clockwiseDrawn, counterClockwiseDrawn;
    };
    for (Case c : {Case{Cull::None, true, true}, Case{Cull::CCW, true, false}, Case{Cull::CW, false, true}}) {
        device.setRenderState(RenderState::CullMode, value(c.mode));
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        drawTriangle(device, topLeft, topRight, bottomLeft); // clockwise on screen (y down)
        EXPECT_EQ(gpu.backBufferPixels()[2 * 32 + 2] == 0xFFFFFFFFu, c.clockwiseDrawn) << int(c.mode);
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        drawTriangle(device, topLeft, bottomLeft, topRight); // counter-clockwise on screen
        EXPECT_EQ(gpu.backBufferPixels()[2 * 32 + 2] == 0xFFFFFFFFu, c.counterClockwiseDrawn) << int(c.mode);
    }
}

TEST(Device, DepthTestUsesZeroToOneRangeAndWriteMask)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setRenderState(RenderState::ZEnable, value(ZBufferType::True));
    device.setRenderState(RenderState::ZFunc, value(Cmp::LessEqual));
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    drawRect(device, 0, 0, 16, 16, 0.25f, 0xFF00FF00);
    drawRect(device, 0, 0, 16, 16, 0.75f, 0xFFFF0000); // behind: rejected
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFF00FF00u);
    drawRect(device, 0, 0, 16, 16, 0.1f, 0xFF0000FF); // in front: drawn
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFF0000FFu);

    // Without depth writes a nearer surface leaves the depth as it was.
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    device.setRenderState(RenderState::ZWriteEnable, 0);
    drawRect(device, 0, 0, 16, 16, 0.1f, 0xFF00FF00);
    device.setRenderState(RenderState::ZWriteEnable, 1);
    drawRect(device, 0, 0, 16, 16, 0.9f, 0xFFFF0000);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFFFF0000u);

    // z outside 0..1 is clipped.
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    drawRect(device, 0, 0, 16, 16, -0.5f, 0xFF00FF00);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFF000000u);
}

TEST(Device, ANewDeviceDrawsOverEqualDepthAsD3D9Does)
{
    // A new device tests depth with LessEqual: a second surface at the same
    // depth (another pass over the same mesh) is drawn.
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFF00FF00);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFFFF0000);
    EXPECT_EQ(gpu.backBufferPixels()[0], 0xFFFF0000u);
}

TEST(Device, EveryTrianglePrimitiveTypeDrawsAllItsPrimitives)
{
    // Two triangles covering the target, as a list and as a strip.
    struct Row {
        PrimitiveType type;
        std::vector<ScreenVertex> vertices;
    };
    const uint32_t c = 0xFFFFFFFF;
    const Row rows[] = {
        {PrimitiveType::TriangleList,
         {{0, 0, 0.5f, 1, c},
          {16, 0, 0.5f, 1, c},
          {0, 16, 0.5f, 1, c},
          {16, 0, 0.5f, 1, c},
          {16, 16, 0.5f, 1, c},
          {0, 16, 0.5f, 1, c}}},
        {PrimitiveType::TriangleStrip,
         {{0, 0, 0.5f, 1, c}, {16, 0, 0.5f, 1, c}, {0, 16, 0.5f, 1, c}, {16, 16, 0.5f, 1, c}}},
    };
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.setFVF(FVF::XYZRHW | FVF::Diffuse);
    for (const Row& row : rows) {
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        device.drawPrimitiveUP(row.type, 2, row.vertices.data(), sizeof(ScreenVertex));
        const std::vector<uint32_t> pixels = gpu.backBufferPixels();
        for (const auto& [x, y] : {std::pair{1, 1}, std::pair{14, 1}, std::pair{1, 14}, std::pair{14, 14}})
            EXPECT_EQ(at(pixels, 16, x, y), c) << int(row.type) << " at " << x << ", " << y;
    }
}

TEST(Device, BlendingAndColorWriteMask)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setRenderState(RenderState::ZEnable, value(ZBufferType::False));
    device.clear(ClearFlag::Target, 0xFF200000, 1.0f, 0);
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::SrcBlend, value(Blend::One));
    device.setRenderState(RenderState::DestBlend, value(Blend::One));
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFF400000);
    EXPECT_EQ(red(gpu.backBufferPixels()[0]), 0x60);
    device.setRenderState(RenderState::AlphaBlendEnable, 0);

    device.setRenderState(RenderState::ColorWriteEnable, ColorWrite::Green);
    drawRect(device, 0, 0, 16, 16, 0.5f, 0xFFFFFFFF);
    const uint32_t p = gpu.backBufferPixels()[0];
    EXPECT_EQ(red(p), 0x60);
    EXPECT_EQ(green(p), 0xFF);
    EXPECT_EQ(blue(p), 0);
}

TEST(Device, BlendOperationsChooseTheEquation)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setRenderState(RenderState::ZEnable, value(ZBufferType::False));
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::SrcBlend, value(Blend::One));
    device.setRenderState(RenderState::DestBlend, value(Blend::One));
    struct Case {
        BlendOperation op;
        int red;
    };
    // Destination red 0x60, source red 0x40.
    for (Case c :
         {Case{BlendOperation::Add, 0xA0}, Case{BlendOperation::Subtract, 0x00},
          Case{BlendOperation::RevSubtract, 0x20}, Case{BlendOperation::Min, 0x40}, Case{BlendOperation::Max, 0x60}}) {
        device.clear(ClearFlag::Target, 0xFF600000, 1.0f, 0);
        device.setRenderState(RenderState::BlendOp, value(c.op));
        drawRect(device, 0, 0, 16, 16, 0.5f, 0xFF400000);
        EXPECT_EQ(red(gpu.backBufferPixels()[0]), c.red) << "blend operation " << value(c.op);
    }
    device.setRenderState(RenderState::BlendOp, value(BlendOperation::Add));
}

TEST(Device, RenderTargetsStoreTheirTopRowFirstAndRebindTheBackBuffer)
{
    OffscreenDevice gpu(32, 32);
    Device& device = gpu.device();
    auto target = device.createTexture(16, 8, 1, Usage::RenderTarget, Format::A8R8G8B8);
    auto depth = device.createDepthStencilSurface(16, 8, Format::D16);
    ASSERT_TRUE(target && depth);
    EXPECT_EQ(target->levelCount(), 1);

    device.setRenderTarget(0, target->surfaceLevel(0));
    device.setDepthStencilSurface(depth.get());
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0x80000000, 1.0f, 0);
    drawRect(device, 0, 0, 16, 1, 0.5f, 0xFF00FF00); // top row only
    const auto pixels = device.readPixels(*target->surfaceLevel(0));
    ASSERT_EQ(pixels.size(), 16u * 8u);
    EXPECT_EQ(pixels[0], 0xFF00FF00u);
    EXPECT_EQ(pixels[16], 0x80000000u); // second row, and alpha kept

    device.setRenderTarget(0, device.backBuffer());
    device.setDepthStencilSurface(device.defaultDepthStencil());
    device.clear(ClearFlag::Target, 0xFF0000FF, 1.0f, 0);
    EXPECT_EQ(gpu.backBufferPixels()[32 * 32 - 1], 0xFF0000FFu);
    EXPECT_EQ(device.readPixels(*target->surfaceLevel(0))[0], 0xFF00FF00u);
}

TEST(Device, ANewTargetBoundAfterTheBoundOneWasDestroyedReceivesTheDrawing)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    device.setDepthStencilSurface(nullptr);
    // Destroying the bound target and binding a new one: the allocator often
    // gives the new surface the old one's address, and the same pointer must
    // still mean a new attachment. Repeated until that has happened a few times.
    const Surface* previous = nullptr;
    int reused = 0;
    for (int attempt = 0; attempt < 200 && reused < 3; ++attempt) {
        auto target = device.createTexture(8, 8, 1, Usage::RenderTarget, Format::A8R8G8B8);
        ASSERT_TRUE(target);
        if (target->surfaceLevel(0) == previous) ++reused;
        device.setRenderTarget(0, target->surfaceLevel(0));
        const uint32_t color = attempt % 2 ? 0xFF00FF00u : 0xFFFF0000u;
        device.clear(ClearFlag::Target, color, 1.0f, 0);
        for (uint32_t p : device.readPixels(*target->surfaceLevel(0))) ASSERT_EQ(p, color) << "attempt " << attempt;
        previous = target->surfaceLevel(0);
    }
    std::printf("surface address reused %d times\n", reused);
    device.setRenderTarget(0, device.backBuffer());
    device.setDepthStencilSurface(device.defaultDepthStencil());
}

TEST(Device, ReadPixelsGivesWhatSamplingSees)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    auto luminance = device.createTexture(2, 1, 1, 0, Format::L8);
    const uint8_t l8[2] = {0x40, 0xC0};
    ASSERT_TRUE(luminance && luminance->writeLevel(0, l8, sizeof l8));
    EXPECT_EQ(device.readPixels(*luminance->surfaceLevel(0)), (std::vector<uint32_t>{0xFF404040u, 0xFFC0C0C0u}));

    auto withAlpha = device.createTexture(1, 1, 1, 0, Format::A8L8);
    const uint8_t a8l8[2] = {0x40, 0x80}; // L, A
    ASSERT_TRUE(withAlpha && withAlpha->writeLevel(0, a8l8, sizeof a8l8));
    EXPECT_EQ(device.readPixels(*withAlpha->surfaceLevel(0)), std::vector<uint32_t>{0x80404040u});

    auto opaque = device.createTexture(1, 1, 1, 0, Format::X8R8G8B8);
    const uint8_t x8[4] = {0x10, 0x20, 0x30, 0x00}; // B, G, R, X
    ASSERT_TRUE(opaque && opaque->writeLevel(0, x8, sizeof x8));
    EXPECT_EQ(device.readPixels(*opaque->surfaceLevel(0)), std::vector<uint32_t>{0xFF302010u});
}

TEST(Device, TexturesTakeCompleteChainsAndRejectBadSizes)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    auto texture = device.createTexture(64, 16, 0, 0, Format::A8R8G8B8);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->levelCount(), 7); // 64x16 down to 1x1
    EXPECT_EQ(texture->surfaceLevel(6)->width(), 1);
    EXPECT_EQ(texture->surfaceLevel(6)->height(), 1);
    EXPECT_EQ(texture->surfaceLevel(7), nullptr);

    std::vector<uint8_t> level(texture->levelByteSize(0), 0x7F);
    EXPECT_TRUE(texture->writeLevel(0, level.data(), level.size()));
    EXPECT_FALSE(texture->writeLevel(0, level.data(), level.size() - 1));
    EXPECT_FALSE(texture->writeLevel(9, level.data(), level.size()));

    EXPECT_EQ(device.createTexture(0, 16, 1, 0, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(device.createTexture(1 << 20, 16, 1, 0, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(device.createTexture(16, 16, 1, 0, Format::D24S8), nullptr);
    EXPECT_EQ(device.createTexture(16, 16, 1, Usage::RenderTarget, Format::DXT1), nullptr);
    EXPECT_NE(device.createTexture(16, 16, 1, 0, Format::DXT1), nullptr);
    EXPECT_EQ(device.createDepthStencilSurface(16, 16, Format::A8R8G8B8), nullptr);
    EXPECT_EQ(levelByteSize(Format::DXT1, 5, 5), 4u * 8u);
    EXPECT_EQ(levelByteSize(Format::DXT5, 4, 4), 16u);
}

// The live counts follow each name from creation to deletion, once, whatever
// the owner's moves; a failed creation counts nothing.
TEST(GlObjectCounts, EachLiveNameIsCountedOnceUnderItsKind)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    const auto kind = [](const char* name) {
        for (std::size_t k = 0; k < GlObjectCounts::kindCount; ++k)
            if (std::string(GlObjectCounts::kindNames[k]) == name) return k;
        ADD_FAILURE() << name;
        return std::size_t(0);
    };
    const GlObjectCounts before = liveGlObjects();
    {
        auto texture = device.createTexture(16, 16, 1, 0, Format::A8R8G8B8);
        auto depth = device.createDepthStencilSurface(16, 16, Format::D24S8);
        GlObjectCounts expected = before;
        expected.live[kind("textures")] += 1;
        expected.live[kind("renderbuffers")] += 1;
        EXPECT_EQ(liveGlObjects(), expected);
        EXPECT_EQ(liveGlObjects().total(), before.total() + 2);

        // Moves hand the name on without counting it again or losing it.
        detail::GlObject sampler = detail::createGlObject(detail::GlKind::Sampler);
        detail::GlObject movedTo(std::move(sampler));
        detail::GlObject assigned = detail::createGlObject(detail::GlKind::Sampler);
        expected.live[kind("samplers")] += 2;
        EXPECT_EQ(liveGlObjects(), expected);
        assigned = std::move(movedTo); // deletes the one assigned held
        expected.live[kind("samplers")] -= 1;
        EXPECT_EQ(liveGlObjects(), expected);
        assigned.reset();
        assigned.reset();
        expected.live[kind("samplers")] -= 1;
        EXPECT_EQ(liveGlObjects(), expected);

        EXPECT_EQ(device.createTexture(0, 16, 1, 0, Format::A8R8G8B8), nullptr);
        EXPECT_EQ(liveGlObjects(), expected) << "a texture that was refused holds no name";
    }
    EXPECT_EQ(liveGlObjects(), before);
}

TEST(Device, ATransformReadStaysValidWhenAHigherWorldIndexIsSet)
{
    OffscreenDevice gpu(4, 4);
    Device& device = gpu.device();
    Core::Matrix m;
    m.m[3][1] = 2;
    device.setTransform(worldMatrix(0), m);
    const Core::Matrix& read = device.transform(worldMatrix(0));
    device.setTransform(worldMatrix(255), Core::Matrix::identity()); // grows the world store
    EXPECT_EQ(read, m);
    EXPECT_EQ(device.transform(worldMatrix(255)), Core::Matrix::identity());
}

TEST(Device, CreationFailureSaysWhyAndOnWhichRenderer)
{
    OffscreenDevice gpu(4, 4);
    const std::string renderer = gpu.device().rendererName();
    EXPECT_FALSE(renderer.empty());
    auto failed = Device::create(0, 0, nullptr);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.messages(), "cannot create the graphics device on " + renderer + ": no back buffer of 0 x 0");
    auto made = Device::create(8, 8, nullptr);
    ASSERT_TRUE(made) << made.messages();
    EXPECT_EQ(made.value()->backBuffer()->width(), 8);
}

TEST(Formats, SizesInMemory)
{
    EXPECT_EQ(bytesPerTexel(Format::L8), 1u);
    EXPECT_EQ(bytesPerTexel(Format::A8L8), 2u);
    EXPECT_EQ(bytesPerTexel(Format::R8G8B8), 3u);
    EXPECT_EQ(bytesPerTexel(Format::X8B8G8R8), 4u);
    EXPECT_EQ(bytesPerTexel(Format::R32F), 4u);
    EXPECT_EQ(bytesPerTexel(Format::A16B16G16R16F), 8u);
    EXPECT_EQ(bytesPerTexel(Format::DXT1), 0u);
    EXPECT_EQ(bytesPerTexel(Format::D24S8), 0u);
    EXPECT_EQ(blockBytes(Format::DXT1), 8u);
    EXPECT_EQ(blockBytes(Format::DXT3), 16u);
    EXPECT_EQ(blockBytes(Format::A8R8G8B8), 0u);

    // Partial blocks count whole; a level smaller than a block takes one.
    EXPECT_EQ(levelByteSize(Format::DXT1, 1, 1), 8u);
    EXPECT_EQ(levelByteSize(Format::DXT1, 5, 4), 2u * 8u);
    EXPECT_EQ(levelByteSize(Format::DXT5, 8, 9), 2u * 3u * 16u);
    EXPECT_EQ(rowPitch(Format::DXT3, 13), 4u * 16u);
    EXPECT_EQ(levelByteSize(Format::R8G8B8, 5, 3), 45u); // rows packed, no padding
    EXPECT_EQ(levelByteSize(Format::A16B16G16R16F, 2, 2), 32u);
    EXPECT_EQ(levelByteSize(Format::A8R8G8B8, 0, 4), 0u);
    EXPECT_EQ(levelByteSize(Format::DXT1, 4, 0), 0u);
    EXPECT_EQ(levelByteSize(Format::D16, 4, 4), 0u);
    // No overflow past 32 bits.
    EXPECT_EQ(levelByteSize(Format::A16B16G16R16F, 65536, 65536), uint64_t(1) << 35);
}

TEST(Formats, MipChains)
{
    EXPECT_EQ(fullMipCount(1, 1), 1u);
    EXPECT_EQ(fullMipCount(0, 0), 1u);
    EXPECT_EQ(fullMipCount(64, 16), 7u);
    EXPECT_EQ(fullMipCount(3, 65), 7u);
    EXPECT_EQ(mipExtent(7, 1), 3u);
    EXPECT_EQ(mipExtent(64, 6), 1u);
    EXPECT_EQ(mipExtent(64, 9), 1u);
    EXPECT_EQ(mipExtent(0xFFFFFFFFu, 31), 1u);
    EXPECT_EQ(mipExtent(0xFFFFFFFFu, 40), 1u);
    // The last level of every complete chain is 1 x 1, and only the last.
    for (uint32_t w = 1; w < 300; w += 7)
        for (uint32_t h = 1; h < 300; h += 11) {
            const uint32_t last = fullMipCount(w, h) - 1;
            EXPECT_EQ(mipExtent(w, last), 1u);
            EXPECT_EQ(mipExtent(h, last), 1u);
            if (last > 0) {
                EXPECT_GT(std::max(mipExtent(w, last - 1), mipExtent(h, last - 1)), 1u) << w << "x" << h;
            }
        }
}

TEST(Device, TextureLevelsFollowTheFormatsSizes)
{
    OffscreenDevice gpu(4, 4);
    auto texture = gpu.device().createTexture(13, 6, 0, 0, Format::DXT5);
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->levelCount(), int(fullMipCount(13, 6)));
    for (int level = 0; level < texture->levelCount(); ++level) {
        const Surface* s = texture->surfaceLevel(level);
        EXPECT_EQ(s->width(), int(mipExtent(13, uint32_t(level))));
        EXPECT_EQ(s->height(), int(mipExtent(6, uint32_t(level))));
        EXPECT_EQ(texture->levelByteSize(level),
                  levelByteSize(Format::DXT5, uint32_t(s->width()), uint32_t(s->height())));
        std::vector<uint8_t> bytes(texture->levelByteSize(level), 0);
        EXPECT_TRUE(texture->writeLevel(level, bytes.data(), bytes.size())) << "level " << level;
    }
}

TEST(Device, TransformsKeepWorldIndicesApart)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    Core::Matrix m;
    m.m[3][0] = 5;
    device.setTransform(worldMatrix(1), m);
    EXPECT_EQ(device.transform(worldMatrix(1)), m);
    EXPECT_EQ(device.transform(worldMatrix(0)), Core::Matrix::identity());
    device.setTransform(TransformView, m);
    EXPECT_EQ(device.transform(TransformView), m);
}

namespace {

// A quad in clip space covering the left half of the target, as a mesh of
// position-only vertices.
std::unique_ptr<Mesh> leftHalfQuad(Device& device)
{
    const float vertices[] = {-1, -1, 0, -1, 1, 0, 0, 1, 0, 0, -1, 0};
    const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    return device.createMesh({{0, 3, VertexUsage::Position, 0}}, 12, vertices, 4, indices, 6);
}

} // namespace

TEST(DeviceMesh, FixedFunctionStandInDrawsBlackWhileLightingIsOn)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    auto quad = leftHalfQuad(device);
    ASSERT_TRUE(quad);
    EXPECT_FALSE(quad->wideIndices());
    EXPECT_EQ(quad->faceCount(), 2u);

    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF808080, 1.0f, 0);
    device.setRenderState(RenderState::Lighting, 1);
    device.drawMesh(*quad);
    auto pixels = gpu.backBufferPixels();
    EXPECT_EQ(pixels[8 * 16 + 2], 0xFF000000u); // left half
    EXPECT_EQ(pixels[8 * 16 + 13], 0xFF808080u); // right half untouched

    device.setRenderState(RenderState::Lighting, 0);
    Core::Matrix shiftRight; // world: move the quad onto the right half
    shiftRight.m[3][0] = 1.0f;
    device.setTransform(worldMatrix(0), shiftRight);
    device.drawMesh(*quad);
    pixels = gpu.backBufferPixels();
    EXPECT_EQ(pixels[8 * 16 + 13], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[8 * 16 + 2], 0xFF000000u);
}

TEST(DeviceMesh, LargeMeshesKeepThirtyTwoBitIndicesAndDraw)
{
    OffscreenDevice gpu(16, 16);
    Device& device = gpu.device();
    // 70000 vertices; the triangle that covers the target uses the last ones.
    const uint32_t count = 70000;
    std::vector<float> vertices(size_t(count) * 3, 0.0f);
    const float big[] = {-1, -1, 0, -1, 3, 0, 3, -1, 0};
    std::copy(big, big + 9, vertices.end() - 9);
    const uint32_t indices[] = {count - 3, count - 2, count - 1};
    auto mesh = device.createMesh({{0, 3, VertexUsage::Position, 0}}, 12, vertices.data(), count, indices, 3);
    ASSERT_TRUE(mesh);
    EXPECT_TRUE(mesh->wideIndices());
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::CullMode, value(Cull::None));
    device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    device.drawMesh(*mesh);
    EXPECT_EQ(gpu.backBufferPixels()[5 * 16 + 5], 0xFFFFFFFFu);
}

TEST(DeviceMesh, InconsistentInputMakesNoMesh)
{
    OffscreenDevice gpu(8, 8);
    Device& device = gpu.device();
    const float vertices[9] = {};
    const uint32_t pastTheEnd[] = {0, 1, 3};
    const uint32_t whole[] = {0, 1, 2, 0, 1}; // a trailing partial triangle is dropped
    const std::vector<VertexElement> position{{0, 3, VertexUsage::Position, 0}};
    EXPECT_EQ(device.createMesh(position, 12, vertices, 3, pastTheEnd, 3), nullptr);
    EXPECT_EQ(device.createMesh(position, 8, vertices, 3, whole, 3), nullptr); // element outside the stride
    EXPECT_EQ(device.createMesh(position, 12, vertices, 3, whole, 2), nullptr); // no whole triangle
    auto mesh = device.createMesh(position, 12, vertices, 3, whole, 5);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->indexCount(), 3u);
}

TEST(GlPrograms, FailuresComeBackWithTheStageAndTheDriversLog)
{
    OffscreenDevice gpu(4, 4);
    const char* const vs = "#version 450 core\nvoid main() { gl_Position = vec4(0.0); }\n";
    const char* const fs = "#version 450 core\nlayout(location = 0) out vec4 c;\nvoid main() { c = vec4(1.0); }\n";
    std::string log;
    EXPECT_TRUE(detail::linkProgram(vs, fs, &log));
    EXPECT_EQ(log, "");

    EXPECT_FALSE(detail::linkProgram("#version 450 core\nvoid main() { undeclared = 1; }\n", fs, &log));
    EXPECT_EQ(log.rfind("vertex shader: ", 0), 0u) << log;
    EXPECT_GT(log.size(), std::string("vertex shader: ").size());
    EXPECT_EQ(log.find('\0'), std::string::npos);

    // Each stage compiles; the fragment input nothing writes fails the link.
    log.clear();
    const char* const fsReading =
        "#version 450 core\nin vec4 missing;\nlayout(location = 0) out vec4 c;\nvoid main() { c = missing; }\n";
    EXPECT_FALSE(detail::linkProgram(vs, fsReading, &log));
    EXPECT_EQ(log.rfind("link: ", 0), 0u) << log;
    EXPECT_GT(log.size(), std::string("link: ").size());
}
