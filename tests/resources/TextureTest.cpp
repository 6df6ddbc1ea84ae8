// Textures decoded from JPEG and DDS files and uploaded to the device: size,
// format, orientation, colours and a complete mipmap chain; empty textures for
// what does not decode.
#include "resources/Texture.h"
#include "console/Console.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "tests/platform/ImageSamples.h"
#include "tests/support/OffscreenDevice.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;
using namespace ORV::Test;

namespace {

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    }
    static std::unique_ptr<Texture> load(const std::vector<std::uint8_t>& file)
    {
        std::istringstream in(std::string(file.begin(), file.end()));
        auto texture = std::make_unique<Texture>();
        texture->loadFromStream(in);
        return texture;
    }
    static std::vector<uint32_t> level(const Texture& texture, int index)
    {
        return Display::device().readPixels(*texture.texture()->surfaceLevel(index));
    }
    Display display;
};

bool near(uint32_t argb, int r, int g, int b, int tolerance)
{
    return std::abs(red(argb) - r) <= tolerance && std::abs(green(argb) - g) <= tolerance
           && std::abs(blue(argb) - b) <= tolerance;
}

// One DXT1 block of a single RGB565 colour.
void solidDxt1Block(std::vector<std::uint8_t>& out, uint16_t rgb565)
{
    out.insert(out.end(), {uint8_t(rgb565), uint8_t(rgb565 >> 8), 0, 0, 0, 0, 0, 0});
}

} // namespace

TEST_F(TextureTest, JpegKeepsItsTopLeftQuadrantTopLeftWithAFullChain)
{
    const auto pixels = quadrants(64, 32, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255});
    for (bool progressive : {false, true}) {
        auto texture = load(encodeJpeg(pixels, 64, 32, {.progressive = progressive}));
        ASSERT_TRUE(texture->texture()) << progressive;
        EXPECT_EQ(texture->texture()->width(), 64);
        EXPECT_EQ(texture->texture()->height(), 32);
        EXPECT_EQ(texture->texture()->format(), Gfx::Format::X8R8G8B8);
        EXPECT_EQ(texture->texture()->levelCount(), 7); // 64x32 .. 1x1
        const auto top = level(*texture, 0);
        EXPECT_TRUE(near(top[4 * 64 + 4], 255, 0, 0, 24)); // top-left red
        EXPECT_TRUE(near(top[4 * 64 + 60], 0, 255, 0, 24)); // top-right green
        EXPECT_TRUE(near(top[28 * 64 + 4], 0, 0, 255, 24)); // bottom-left blue
        EXPECT_TRUE(near(top[28 * 64 + 60], 255, 255, 255, 24)); // bottom-right white
        EXPECT_EQ(alpha(top[0]), 255);
        // The smallest level is the average of all four.
        EXPECT_TRUE(near(level(*texture, 6)[0], 128, 128, 128, 24));
    }
}

TEST_F(TextureTest, Dxt1WithAFullChainStaysCompressedAndOriented)
{
    std::vector<std::uint8_t> blocks;
    solidDxt1Block(blocks, 0xF800); // 8x8 level: red top-left block
    solidDxt1Block(blocks, 0x001F); // blue elsewhere
    solidDxt1Block(blocks, 0x001F);
    solidDxt1Block(blocks, 0x001F);
    for (int i = 0; i < 3; ++i) solidDxt1Block(blocks, 0x07E0); // 4x4, 2x2, 1x1: green
    auto texture = load(buildDds(ddsFourCC(8, 8, Gfx::makeFourCC('D', 'X', 'T', '1'), 4), blocks));
    ASSERT_TRUE(texture->texture());
    EXPECT_EQ(texture->texture()->format(), Gfx::Format::DXT1);
    EXPECT_EQ(texture->texture()->levelCount(), 4);
    const auto top = level(*texture, 0);
    EXPECT_TRUE(near(top[0], 255, 0, 0, 8));
    EXPECT_TRUE(near(top[7], 0, 0, 255, 8));
    EXPECT_TRUE(near(top[7 * 8], 0, 0, 255, 8));
    EXPECT_TRUE(near(level(*texture, 3)[0], 0, 255, 0, 8));
}

TEST_F(TextureTest, UncompressedDdsFormatsUploadTheirChannels)
{
    // 2x2 A8R8G8B8 (B, G, R, A bytes), top row red then green.
    const std::vector<std::uint8_t> argb = {0, 0, 255, 128, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    auto texture =
        load(buildDds(ddsMasks(2, 2, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), argb));
    ASSERT_TRUE(texture->texture());
    EXPECT_EQ(texture->texture()->format(), Gfx::Format::A8R8G8B8);
    EXPECT_EQ(texture->texture()->levelCount(), 2);
    auto texels = level(*texture, 0);
    EXPECT_EQ(texels[0], 0x80FF0000u);
    EXPECT_EQ(texels[1], 0xFF00FF00u);
    EXPECT_EQ(texels[2], 0xFF0000FFu);

    // 24-bit: B, G, R bytes.
    const std::vector<std::uint8_t> rgb = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    texture = load(buildDds(ddsMasks(2, 2, kDdsRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0), rgb));
    ASSERT_TRUE(texture->texture());
    EXPECT_EQ(texture->texture()->format(), Gfx::Format::R8G8B8);
    texels = level(*texture, 0);
    EXPECT_EQ(texels[0], 0xFFFF0000u);
    EXPECT_EQ(texels[3], 0xFFFFFFFFu);

    // Luminance: stored in the red channel, sampled as grey.
    texture = load(buildDds(ddsMasks(2, 2, kDdsLuminance, 8, 0xFF, 0, 0, 0), {10, 20, 30, 40}));
    ASSERT_TRUE(texture->texture());
    EXPECT_EQ(texture->texture()->format(), Gfx::Format::L8);
    EXPECT_EQ(red(level(*texture, 0)[3]), 40);
}

TEST_F(TextureTest, WhatDoesNotDecodeLeavesTheTextureEmpty)
{
    EXPECT_EQ(load({})->texture(), nullptr);
    EXPECT_EQ(load({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'})->texture(), nullptr);
    auto jpeg = encodeJpeg(quadrants(16, 16, {}, {}, {}, {}), 16, 16);
    jpeg.resize(jpeg.size() / 2);
    EXPECT_EQ(load(jpeg)->texture(), nullptr);
}

TEST_F(TextureTest, LoaderReturnsAnEmptyTextureForAMissingOrBrokenAssetAndNamesItOnce)
{
    TempDir folder;
    folder.write("broken.jpg", "\xFF\xD8\xFF not the rest of a JPEG");
    fileSystem().remount(folder.path().string());
    std::size_t logBefore = Core::logText().size();
    auto resource = loadTexture("missing.jpg", "missing");
    auto* texture = dynamic_cast<Texture*>(resource.get());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->texture(), nullptr);
    EXPECT_EQ(Core::logText().substr(logBefore), "Texture missing.jpg: no such asset; it stays empty\r\n");

    logBefore = Core::logText().size();
    resource = loadTexture("broken.jpg", "broken");
    EXPECT_EQ(static_cast<Texture&>(*resource).texture(), nullptr);
    const std::string logged = Core::logText().substr(logBefore);
    EXPECT_EQ(logged.rfind("Texture broken.jpg: ", 0), 0u) << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;

    const auto jpeg = encodeJpeg(quadrants(8, 8, {}, {}, {}, {}), 8, 8);
    folder.write("pics/a.jpg", std::string(jpeg.begin(), jpeg.end()));
    fileSystem().remount(folder.path().string());
    resource = loadTexture("pics/a.jpg", "a");
    texture = dynamic_cast<Texture*>(resource.get());
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->texture(), nullptr);
}

TEST_F(TextureTest, RenderTargetBindsItsOwnSurfacesAndKeepsWhatItLacks)
{
    Gfx::Device& device = Display::device();
    RenderTarget full, colourOnly;
    ASSERT_TRUE(full.createTargets(16, 16, Gfx::Format::A8R8G8B8, Gfx::Format::D24S8));
    ASSERT_TRUE(colourOnly.createTargets(16, 16, Gfx::Format::A8R8G8B8, Gfx::Format::Unknown));
    // The colour surface is the texture's level 0, so materials sample what
    // was drawn into it.
    ASSERT_NE(full.colorSurface(), nullptr);
    EXPECT_EQ(full.colorSurface(), full.texture()->surfaceLevel(0));
    EXPECT_NE(full.depthSurface(), nullptr);
    EXPECT_EQ(colourOnly.depthSurface(), nullptr);

    display.pushRenderTarget(&full);
    display.pushRenderTarget(&colourOnly);
    EXPECT_EQ(device.renderTarget(), colourOnly.colorSurface());
    EXPECT_EQ(device.depthStencilSurface(), full.depthSurface());
    EXPECT_EQ(display.popRenderTarget(), &colourOnly);
    EXPECT_EQ(display.popRenderTarget(), &full);
    EXPECT_EQ(device.renderTarget(), device.backBuffer());
}

TEST_F(TextureTest, RenderTargetWithNothingAskedForHasNoSurfaces)
{
    RenderTarget none;
    EXPECT_TRUE(none.createTargets(16, 16, Gfx::Format::Unknown, Gfx::Format::Unknown));
    EXPECT_EQ(none.colorSurface(), nullptr);
    EXPECT_EQ(none.depthSurface(), nullptr);
    EXPECT_EQ(none.texture(), nullptr);
}
