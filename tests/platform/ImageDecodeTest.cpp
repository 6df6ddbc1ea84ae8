#include "platform/image/Image.h"

#include "tests/platform/ImageSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace ORV::Gfx;
using namespace ORV::Test;

namespace {

DecodeResult decode(const std::vector<std::uint8_t>& bytes, const DecodeOptions& options = {})
{
    return decodeImage(std::span<const std::uint8_t>(bytes.data(), bytes.size()), options);
}

const std::uint8_t* texel(const Image& image, std::size_t level, std::uint32_t x, std::uint32_t y)
{
    const ImageLevel& l = image.levels.at(level);
    return l.bytes.data() + std::size_t(y) * l.rowPitch + std::size_t(x) * imageBytesPerPixel(image.format);
}

// Every decoded image, whatever its source, has a complete chain of tightly
// packed levels of the documented sizes.
void expectWellFormed(const Image& image)
{
    ASSERT_FALSE(image.empty());
    ASSERT_EQ(image.levels.size(), fullMipCount(image.width, image.height));
    for (std::size_t i = 0; i < image.levels.size(); ++i) {
        const ImageLevel& level = image.levels[i];
        EXPECT_EQ(level.width, std::max(1u, image.width >> i)) << "level " << i;
        EXPECT_EQ(level.height, std::max(1u, image.height >> i)) << "level " << i;
        EXPECT_EQ(level.bytes.size(), imageLevelBytes(image.format, level.width, level.height)) << "level " << i;
        const std::uint64_t rows = imageBlockBytes(image.format) ? std::max(1u, (level.height + 3) / 4) : level.height;
        EXPECT_EQ(std::uint64_t(level.rowPitch) * rows, level.bytes.size()) << "level " << i;
    }
}

void expectColour(const std::uint8_t* bgrx, Bgr expected, int tolerance, const char* where)
{
    EXPECT_LE(std::abs(bgrx[0] - expected.b), tolerance) << where << " blue " << int(bgrx[0]);
    EXPECT_LE(std::abs(bgrx[1] - expected.g), tolerance) << where << " green " << int(bgrx[1]);
    EXPECT_LE(std::abs(bgrx[2] - expected.r), tolerance) << where << " red " << int(bgrx[2]);
}

constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kWhite{255, 255, 255};

// ---------------------------------------------------------------- sniffing

TEST(ImageSniffing, EmptyInputFails)
{
    const DecodeResult result = decode({});
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.image.empty());
    EXPECT_NE(result.failure.find("empty"), std::string::npos);
}

TEST(ImageSniffing, OtherFormatsAreNamedInTheReason)
{
    const DecodeResult png = decode({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    EXPECT_FALSE(png.ok());
    EXPECT_NE(png.failure.find("PNG"), std::string::npos);
    const DecodeResult bmp = decode({'B', 'M', 0, 0, 0, 0});
    EXPECT_NE(bmp.failure.find("BMP"), std::string::npos);
    const DecodeResult text = decode({'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(text.ok());
    EXPECT_TRUE(text.image.empty());
}

TEST(ImageSniffing, KindIsTakenFromContentNotFromTheFirstByteAlone)
{
    // "DD" without "S " and FF D8 without the next marker are neither kind.
    EXPECT_FALSE(decode({'D', 'D', 'X', ' ', 0, 0}).ok());
    EXPECT_FALSE(decode({0xFF, 0xD8}).ok());
}

// ---------------------------------------------------------------- JPEG

TEST(JpegDecode, BaselineKeepsQuadrantsInPlaceWithFullChain)
{
    const auto jpeg = encodeJpeg(quadrants(64, 48, kRed, kGreen, kBlue, kWhite), 64, 48);
    ASSERT_FALSE(jpeg.empty());
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    const Image& image = result.image;
    EXPECT_EQ(image.format, Format::X8R8G8B8);
    EXPECT_EQ(image.width, 64u);
    EXPECT_EQ(image.height, 48u);
    EXPECT_EQ(image.levels.size(), 7u);
    expectWellFormed(image);
    expectColour(texel(image, 0, 8, 8), kRed, 8, "top-left");
    expectColour(texel(image, 0, 56, 8), kGreen, 8, "top-right");
    expectColour(texel(image, 0, 8, 40), kBlue, 8, "bottom-left");
    expectColour(texel(image, 0, 56, 40), kWhite, 8, "bottom-right");
    // Level 2 is 16 x 12: each quadrant is still flat away from the edges.
    expectColour(texel(image, 2, 2, 2), kRed, 10, "level 2 top-left");
    expectColour(texel(image, 2, 13, 9), kWhite, 10, "level 2 bottom-right");
}

TEST(JpegDecode, OpaqueXBytesOnEveryLevel)
{
    const auto jpeg = encodeJpeg(quadrants(20, 12, kRed, kGreen, kBlue, kWhite), 20, 12);
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    for (const ImageLevel& level : result.image.levels)
        for (std::size_t i = 3; i < level.bytes.size(); i += 4) ASSERT_EQ(level.bytes[i], 0xFF);
}

TEST(JpegDecode, ProgressiveMatchesBaseline)
{
    const auto pixels = quadrants(40, 40, kBlue, kWhite, kRed, kGreen);
    JpegSettings progressive;
    progressive.progressive = true;
    const auto jpeg = encodeJpeg(pixels, 40, 40, progressive);
    ASSERT_FALSE(jpeg.empty());
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    expectWellFormed(result.image);
    expectColour(texel(result.image, 0, 4, 4), kBlue, 8, "top-left");
    expectColour(texel(result.image, 0, 35, 4), kWhite, 8, "top-right");
    expectColour(texel(result.image, 0, 4, 35), kRed, 8, "bottom-left");
    expectColour(texel(result.image, 0, 35, 35), kGreen, 8, "bottom-right");
    const DecodeResult baseline = decode(encodeJpeg(pixels, 40, 40));
    ASSERT_TRUE(baseline.ok());
    for (std::size_t i = 0; i < baseline.image.levels[0].bytes.size(); ++i)
        ASSERT_LE(std::abs(baseline.image.levels[0].bytes[i] - result.image.levels[0].bytes[i]), 12) << i;
}

TEST(JpegDecode, GreyscaleBecomesEqualChannels)
{
    std::vector<std::uint8_t> grey(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) grey[y * 32 + x] = y < 16 ? 40 : 200;
    JpegSettings settings;
    settings.grey = true;
    const auto jpeg = encodeJpeg(grey, 32, 32, settings);
    ASSERT_FALSE(jpeg.empty());
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.format, Format::X8R8G8B8);
    expectWellFormed(result.image);
    const std::uint8_t* top = texel(result.image, 0, 10, 4);
    const std::uint8_t* bottom = texel(result.image, 0, 10, 28);
    EXPECT_EQ(top[0], top[1]);
    EXPECT_EQ(top[1], top[2]);
    EXPECT_NEAR(top[0], 40, 4);
    EXPECT_NEAR(bottom[0], 200, 4);
    EXPECT_EQ(bottom[3], 0xFF);
}

TEST(JpegDecode, OddSizesGiveTheFullChain)
{
    const auto jpeg = encodeJpeg(quadrants(37, 23, kRed, kGreen, kBlue, kWhite), 37, 23);
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    expectWellFormed(result.image);
    ASSERT_EQ(result.image.levels.size(), 6u);
    EXPECT_EQ(result.image.levels[1].width, 18u);
    EXPECT_EQ(result.image.levels[1].height, 11u);
    EXPECT_EQ(result.image.levels[5].width, 1u);
    EXPECT_EQ(result.image.levels[5].height, 1u);
}

TEST(JpegDecode, WithoutMipsOnlyLevelZero)
{
    const auto jpeg = encodeJpeg(quadrants(16, 16, kRed, kGreen, kBlue, kWhite), 16, 16);
    DecodeOptions options;
    options.generateMips = false;
    const DecodeResult result = decode(jpeg, options);
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.levels.size(), 1u);
}

TEST(JpegDecode, BytesAfterTheEndMarkerAreIgnored)
{
    auto jpeg = encodeJpeg(quadrants(16, 16, kRed, kGreen, kBlue, kWhite), 16, 16);
    jpeg.insert(jpeg.end(), 64, 0xAB);
    const DecodeResult result = decode(jpeg);
    ASSERT_TRUE(result.ok()) << result.failure;
    expectColour(texel(result.image, 0, 2, 2), kRed, 8, "top-left");
}

// Past 1 Mi texels a JPEG is decoded at 1/8 scale first, as a check of its
// data: a whole file passes it and decodes as any other, baseline or
// progressive, and a file missing its last scan fails in it.
TEST(JpegDecode, ImagesLargeEnoughForTheTrialDecodeGiveTheirPixels)
{
    for (bool progressive : {false, true}) {
        JpegSettings settings;
        settings.progressive = progressive;
        const auto jpeg = encodeJpeg(quadrants(1040, 1024, kRed, kGreen, kBlue, kWhite), 1040, 1024, settings);
        const DecodeResult result = decode(jpeg);
        ASSERT_TRUE(result.ok()) << result.failure;
        expectWellFormed(result.image);
        EXPECT_EQ(result.image.width, 1040u);
        expectColour(texel(result.image, 0, 10, 10), kRed, 8, "top-left");
        expectColour(texel(result.image, 0, 1030, 10), kGreen, 8, "top-right");
        expectColour(texel(result.image, 0, 10, 1010), kBlue, 8, "bottom-left");
        expectColour(texel(result.image, 0, 1030, 1010), kWhite, 8, "bottom-right");
        const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.end() - 200);
        EXPECT_FALSE(decode(cut).ok()) << "progressive " << progressive;
    }
}

TEST(JpegDecode, CmykIsRefused)
{
    std::vector<std::uint8_t> cmyk(16 * 16 * 4, 100);
    JpegSettings settings;
    settings.cmyk = true;
    const auto jpeg = encodeJpeg(cmyk, 16, 16, settings);
    ASSERT_FALSE(jpeg.empty());
    const DecodeResult result = decode(jpeg);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.failure.find("CMYK"), std::string::npos) << result.failure;
}

// Finds the frame header (SOF0 or SOF2) and rewrites its size fields.
void patchJpegSize(std::vector<std::uint8_t>& jpeg, std::uint16_t width, std::uint16_t height)
{
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = std::uint8_t(height >> 8);
            jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8);
            jpeg[i + 8] = std::uint8_t(width);
            return;
        }
    FAIL() << "no frame header";
}

TEST(JpegBadInput, HugeDeclaredSizeIsRefusedBeforeDecoding)
{
    auto jpeg = encodeJpeg(quadrants(16, 16, kRed, kGreen, kBlue, kWhite), 16, 16);
    patchJpegSize(jpeg, 65000, 65000);
    const DecodeResult result = decode(jpeg);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.failure.find("limit"), std::string::npos) << result.failure;
}

TEST(JpegBadInput, LimitsAreApplied)
{
    const auto jpeg = encodeJpeg(quadrants(64, 16, kRed, kGreen, kBlue, kWhite), 64, 16);
    DecodeOptions narrow;
    narrow.maxDimension = 63;
    EXPECT_FALSE(decode(jpeg, narrow).ok());
    narrow.maxDimension = 64;
    EXPECT_TRUE(decode(jpeg, narrow).ok());
    DecodeOptions small;
    small.maxPixels = 64 * 16 - 1;
    EXPECT_FALSE(decode(jpeg, small).ok());
}

TEST(JpegBadInput, DeclaredSizeLargerThanDataFails)
{
    auto jpeg = encodeJpeg(quadrants(16, 16, kRed, kGreen, kBlue, kWhite), 16, 16);
    patchJpegSize(jpeg, 512, 512);
    const DecodeResult result = decode(jpeg);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.image.empty());
}

TEST(JpegBadInput, EveryTruncationFails)
{
    for (bool progressive : {false, true}) {
        JpegSettings settings;
        settings.progressive = progressive;
        const auto jpeg = encodeJpeg(quadrants(24, 24, kRed, kGreen, kBlue, kWhite), 24, 24, settings);
        ASSERT_FALSE(jpeg.empty());
        for (std::size_t length = 0; length < jpeg.size(); ++length) {
            const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(length));
            const DecodeResult result = decode(cut);
            EXPECT_FALSE(result.ok()) << "progressive " << progressive << " length " << length;
            EXPECT_FALSE(result.failure.empty());
            EXPECT_TRUE(result.image.empty());
        }
    }
}

TEST(JpegBadInput, RandomCorruptionGivesAnImageOrAReason)
{
    const auto jpeg = encodeJpeg(quadrants(32, 32, kRed, kGreen, kBlue, kWhite), 32, 32);
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        auto bad = jpeg;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) bad[2 + random() % (bad.size() - 2)] = std::uint8_t(random());
        const DecodeResult result = decode(bad);
        if (result.ok())
            expectWellFormed(result.image);
        else
            EXPECT_TRUE(result.image.empty());
    }
}

// ---------------------------------------------------------------- DDS, uncompressed

std::vector<std::uint8_t> bgraQuadrants4x4()
{
    // Top-left red, top-right green, bottom-left blue, bottom-right white, with
    // alpha 0x10, 0x20, 0x30, 0x40.
    std::vector<std::uint8_t> data;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int q = (y >= 2) * 2 + (x >= 2);
            const Bgr c = q == 0 ? kRed : q == 1 ? kGreen : q == 2 ? kBlue : kWhite;
            data.insert(data.end(), {c.b, c.g, c.r, std::uint8_t(0x10 * (q + 1))});
        }
    return data;
}

TEST(DdsDecode, A8R8G8B8KeepsBytesAndBuildsChain)
{
    const auto data = bgraQuadrants4x4();
    const auto file = buildDds(ddsMasks(4, 4, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), data);
    const DecodeResult result = decode(file);
    ASSERT_TRUE(result.ok()) << result.failure;
    const Image& image = result.image;
    EXPECT_EQ(image.format, Format::A8R8G8B8);
    expectWellFormed(image);
    ASSERT_EQ(image.levels.size(), 3u);
    EXPECT_EQ(image.levels[0].bytes, data);
    EXPECT_EQ(image.levels[0].rowPitch, 16u);
    // Level 1 is exactly the four quadrants, in place.
    const std::uint8_t* l1 = image.levels[1].bytes.data();
    EXPECT_EQ(std::vector<std::uint8_t>(l1, l1 + 16),
              (std::vector<std::uint8_t>{0, 0, 255, 0x10, 0, 255, 0, 0x20, 255, 0, 0, 0x30, 255, 255, 255, 0x40}));
    // Level 2 is their rounded mean.
    EXPECT_EQ(image.levels[2].bytes, (std::vector<std::uint8_t>{128, 128, 128, 0x28}));
}

TEST(DdsDecode, X8R8G8B8GetsOpaqueX)
{
    auto data = bgraQuadrants4x4();
    const auto file = buildDds(ddsMasks(4, 4, kDdsRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0), data);
    const DecodeResult result = decode(file);
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.format, Format::X8R8G8B8);
    for (const ImageLevel& level : result.image.levels)
        for (std::size_t i = 3; i < level.bytes.size(); i += 4) ASSERT_EQ(level.bytes[i], 0xFF);
    expectColour(texel(result.image, 0, 0, 0), kRed, 0, "top-left");
    expectColour(texel(result.image, 0, 3, 3), kWhite, 0, "bottom-right");
}

TEST(DdsDecode, AlphaMaskWithoutAlphaFlagIsOpaque)
{
    const auto file = buildDds(ddsMasks(4, 4, kDdsRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), bgraQuadrants4x4());
    const DecodeResult result = decode(file);
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.format, Format::X8R8G8B8);
}

TEST(DdsDecode, AbgrMasksGiveA8B8G8R8AndX8B8G8R8)
{
    const std::vector<std::uint8_t> rgba = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const DecodeResult alpha =
        decode(buildDds(ddsMasks(2, 2, kDdsRgb | kDdsAlphaPixels, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), rgba));
    ASSERT_TRUE(alpha.ok()) << alpha.failure;
    EXPECT_EQ(alpha.image.format, Format::A8B8G8R8);
    EXPECT_EQ(alpha.image.levels[0].bytes, rgba);
    EXPECT_EQ(alpha.image.levels[1].bytes, (std::vector<std::uint8_t>{7, 8, 9, 10}));

    const DecodeResult opaque = decode(buildDds(ddsMasks(2, 2, kDdsRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0), rgba));
    ASSERT_TRUE(opaque.ok()) << opaque.failure;
    EXPECT_EQ(opaque.image.format, Format::X8B8G8R8);
    EXPECT_EQ(opaque.image.levels[0].bytes,
              (std::vector<std::uint8_t>{1, 2, 3, 255, 5, 6, 7, 255, 9, 10, 11, 255, 13, 14, 15, 255}));
}

TEST(DdsDecode, R8G8B8KeepsBytesAndSwapsRedLowFiles)
{
    const std::vector<std::uint8_t> bgr = {10,  20,  30,  40,  50,  60,  70,  80,  90,
                                           100, 110, 120, 130, 140, 150, 160, 170, 180};
    const DecodeResult kept = decode(buildDds(ddsMasks(3, 2, kDdsRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0), bgr));
    ASSERT_TRUE(kept.ok()) << kept.failure;
    EXPECT_EQ(kept.image.format, Format::R8G8B8);
    EXPECT_EQ(kept.image.levels[0].rowPitch, 9u);
    EXPECT_EQ(kept.image.levels[0].bytes, bgr);
    expectWellFormed(kept.image);
    // 3 x 2 -> 1 x 1 from the top-left 2 x 2: (10+40+100+130+2)/4 = 70 etc.
    EXPECT_EQ(kept.image.levels[1].bytes, (std::vector<std::uint8_t>{70, 80, 90}));

    const DecodeResult swapped = decode(buildDds(ddsMasks(3, 2, kDdsRgb, 24, 0xFF, 0xFF00, 0xFF0000, 0), bgr));
    ASSERT_TRUE(swapped.ok()) << swapped.failure;
    EXPECT_EQ(swapped.image.format, Format::R8G8B8);
    EXPECT_EQ(swapped.image.levels[0].bytes[0], 30);
    EXPECT_EQ(swapped.image.levels[0].bytes[2], 10);
}

TEST(DdsDecode, LuminanceFormats)
{
    const std::vector<std::uint8_t> l8 = {0, 100, 200, 255};
    const DecodeResult lum = decode(buildDds(ddsMasks(2, 2, kDdsLuminance, 8, 0xFF, 0, 0, 0), l8));
    ASSERT_TRUE(lum.ok()) << lum.failure;
    EXPECT_EQ(lum.image.format, Format::L8);
    EXPECT_EQ(lum.image.levels[0].bytes, l8);
    EXPECT_EQ(lum.image.levels[1].bytes, (std::vector<std::uint8_t>{139})); // (555 + 2) / 4

    const std::vector<std::uint8_t> a8l8 = {10, 1, 20, 2, 30, 3, 40, 4};
    const DecodeResult la =
        decode(buildDds(ddsMasks(2, 2, kDdsLuminance | kDdsAlphaPixels, 16, 0xFF, 0, 0, 0xFF00), a8l8));
    ASSERT_TRUE(la.ok()) << la.failure;
    EXPECT_EQ(la.image.format, Format::A8L8);
    EXPECT_EQ(la.image.levels[0].bytes, a8l8);
    EXPECT_EQ(la.image.levels[1].bytes, (std::vector<std::uint8_t>{25, 3}));
}

TEST(DdsDecode, CompleteChainInFileIsUsedAsIs)
{
    // 4 x 2 L8 with three levels whose small levels are not the box filter's.
    const std::vector<std::uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, /*2x1*/ 77, 88, /*1x1*/ 99};
    const DecodeResult result = decode(buildDds(ddsMasks(4, 2, kDdsLuminance, 8, 0xFF, 0, 0, 0, 3), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    expectWellFormed(result.image);
    EXPECT_EQ(result.image.levels[1].bytes, (std::vector<std::uint8_t>{77, 88}));
    EXPECT_EQ(result.image.levels[2].bytes, (std::vector<std::uint8_t>{99}));
}

TEST(DdsDecode, PartialChainIsCompletedFromItsSmallestLevel)
{
    // 8 x 8 L8 with two levels: level 1 (4 x 4) is all 40, unlike level 0.
    std::vector<std::uint8_t> data(64, 200);
    data.insert(data.end(), 16, 40);
    const DecodeResult result = decode(buildDds(ddsMasks(8, 8, kDdsLuminance, 8, 0xFF, 0, 0, 0, 2), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    expectWellFormed(result.image);
    ASSERT_EQ(result.image.levels.size(), 4u);
    EXPECT_EQ(result.image.levels[1].bytes, std::vector<std::uint8_t>(16, 40));
    EXPECT_EQ(result.image.levels[2].bytes, std::vector<std::uint8_t>(4, 40));
    EXPECT_EQ(result.image.levels[3].bytes, std::vector<std::uint8_t>(1, 40));
}

TEST(DdsDecode, HeaderPitchIsIgnored)
{
    auto header = ddsMasks(4, 4, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    header.pitch = 0xFFFFFFF0;
    header.flags |= 0x8; // DDSD_PITCH
    const auto data = bgraQuadrants4x4();
    const DecodeResult result = decode(buildDds(header, data));
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.levels[0].bytes, data);
}

TEST(DdsDecode, D3dFormatNumbersInPlaceOfFourCC)
{
    const auto data = bgraQuadrants4x4();
    const DecodeResult result = decode(buildDds(ddsFourCC(4, 4, 21), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.format, Format::A8R8G8B8);
    EXPECT_EQ(result.image.levels[0].bytes, data);
}

TEST(DdsDecode, TrailingBytesAreIgnored)
{
    auto data = bgraQuadrants4x4();
    data.insert(data.end(), 100, 0xEE);
    const DecodeResult result =
        decode(buildDds(ddsMasks(4, 4, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.levels[0].bytes.size(), 64u);
}

// ---------------------------------------------------------------- DDS, compressed

// A DXT1 colour block: two RGB565 colours and sixteen 2-bit indices, texel 0
// in the low bits of the first index byte.
std::vector<std::uint8_t> colourBlock(std::uint16_t c0, std::uint16_t c1, const int (&indices)[16])
{
    std::vector<std::uint8_t> block = {
        std::uint8_t(c0), std::uint8_t(c0 >> 8), std::uint8_t(c1), std::uint8_t(c1 >> 8), 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) block[4 + i / 4] |= std::uint8_t(indices[i] << ((i % 4) * 2));
    return block;
}

constexpr std::uint16_t kRed565 = 0xF800, kBlue565 = 0x001F;
constexpr int kLeftRight[16] = {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3};

std::vector<std::uint8_t> repeat(const std::vector<std::uint8_t>& block, int count)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i) out.insert(out.end(), block.begin(), block.end());
    return out;
}

TEST(DdsCompressed, CompleteDxtChainsAreKeptAsBlocks)
{
    for (Format format : {Format::DXT1, Format::DXT3, Format::DXT5}) {
        const std::uint32_t block = imageBlockBytes(format);
        // 8 x 8: 4 blocks, then one block each for 4 x 4, 2 x 2 and 1 x 1.
        std::vector<std::uint8_t> data(block * 7);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 7 + 3);
        const DecodeResult result = decode(buildDds(ddsFourCC(8, 8, std::uint32_t(format), 4), data));
        ASSERT_TRUE(result.ok()) << result.failure;
        const Image& image = result.image;
        EXPECT_EQ(image.format, format);
        expectWellFormed(image);
        ASSERT_EQ(image.levels.size(), 4u);
        EXPECT_EQ(image.levels[0].rowPitch, 2 * block);
        EXPECT_EQ(image.levels[3].rowPitch, block);
        std::vector<std::uint8_t> joined;
        for (const ImageLevel& level : image.levels)
            joined.insert(joined.end(), level.bytes.begin(), level.bytes.end());
        EXPECT_EQ(joined, data);
    }
}

TEST(DdsCompressed, Dxt1WithoutChainIsDecodedInPlace)
{
    // 8 x 4: left block red/blue pattern, right block all blue.
    const int allOne[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    auto data = colourBlock(kRed565, kBlue565, kLeftRight);
    const auto right = colourBlock(kRed565, kBlue565, allOne);
    data.insert(data.end(), right.begin(), right.end());
    const DecodeResult result = decode(buildDds(ddsFourCC(8, 4, std::uint32_t(Format::DXT1)), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    const Image& image = result.image;
    EXPECT_EQ(image.format, Format::A8R8G8B8);
    expectWellFormed(image);
    const std::uint8_t* tl = texel(image, 0, 0, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(tl, tl + 4), (std::vector<std::uint8_t>{0, 0, 255, 255}));
    const std::uint8_t* t2 = texel(image, 0, 2, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(t2, t2 + 4), (std::vector<std::uint8_t>{255, 0, 0, 255}));
    // Index 2 in four-colour mode is 2/3 of colour 0 plus 1/3 of colour 1.
    const std::uint8_t* t3 = texel(image, 0, 0, 2);
    EXPECT_NEAR(t3[2], 170, 1);
    EXPECT_NEAR(t3[0], 85, 1);
    const std::uint8_t* t4 = texel(image, 0, 3, 3);
    EXPECT_NEAR(t4[2], 85, 1);
    EXPECT_NEAR(t4[0], 170, 1);
    const std::uint8_t* r = texel(image, 0, 6, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(r, r + 4), (std::vector<std::uint8_t>{255, 0, 0, 255}));
}

TEST(DdsCompressed, Dxt1ThreeColourModeHasTransparentBlack)
{
    // First colour not greater than the second: index 2 is the mean, 3 transparent.
    const auto data = colourBlock(kBlue565, kRed565, kLeftRight);
    const DecodeResult result = decode(buildDds(ddsFourCC(4, 4, std::uint32_t(Format::DXT1)), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    const std::uint8_t* mean = texel(result.image, 0, 0, 2);
    EXPECT_NEAR(mean[0], 127, 1);
    EXPECT_NEAR(mean[2], 127, 1);
    EXPECT_EQ(mean[3], 255);
    const std::uint8_t* clear = texel(result.image, 0, 3, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(clear, clear + 4), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(DdsCompressed, Dxt1EndpointsExpandEveryChannelAndEqualOnesMakeThreeColours)
{
    // Each endpoint colour in both DXT1 slots: equal endpoints are not
    // "first greater", so index 3 is transparent black.
    struct Row {
        std::uint16_t rgb565;
        std::vector<std::uint8_t> bgra;
    };
    const Row rows[] = {
        {0xF800, {0, 0, 255, 255}},
        {0x07E0, {0, 255, 0, 255}},
        {0x001F, {255, 0, 0, 255}},
        {0x8410, {132, 130, 132, 255}}, // the top bits of each field repeat below
    };
    for (const Row& row : rows) {
        const auto data = colourBlock(row.rgb565, row.rgb565, kLeftRight);
        const DecodeResult result = decode(buildDds(ddsFourCC(4, 4, std::uint32_t(Format::DXT1)), data));
        ASSERT_TRUE(result.ok()) << result.failure;
        const std::uint8_t* first = texel(result.image, 0, 0, 0);
        EXPECT_EQ(std::vector<std::uint8_t>(first, first + 4), row.bgra) << std::hex << row.rgb565;
        const std::uint8_t* clear = texel(result.image, 0, 3, 3);
        EXPECT_EQ(std::vector<std::uint8_t>(clear, clear + 4), (std::vector<std::uint8_t>{0, 0, 0, 0}))
            << std::hex << row.rgb565;
    }
}

TEST(DdsCompressed, Dxt3ExplicitAlpha)
{
    std::vector<std::uint8_t> block(8);
    for (int i = 0; i < 16; ++i) block[i / 2] |= std::uint8_t(i << ((i % 2) * 4)); // texel i has alpha nibble i
    // Three-colour ordering must not matter for DXT3: index 3 stays a colour.
    const auto colours = colourBlock(kBlue565, kRed565, kLeftRight);
    block.insert(block.end(), colours.begin(), colours.end());
    const DecodeResult result = decode(buildDds(ddsFourCC(4, 4, std::uint32_t(Format::DXT3)), block));
    ASSERT_TRUE(result.ok()) << result.failure;
    for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(texel(result.image, 0, i % 4, i / 4)[3], i * 17) << i;
    const std::uint8_t* t = texel(result.image, 0, 3, 3);
    EXPECT_NEAR(t[0], 85, 1); // 1/3 blue + 2/3 red, not transparent black
    EXPECT_NEAR(t[2], 170, 1);
}

std::vector<std::uint8_t> alphaBlock(std::uint8_t a0, std::uint8_t a1, const int (&indices)[16])
{
    std::vector<std::uint8_t> block = {a0, a1, 0, 0, 0, 0, 0, 0};
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= std::uint64_t(indices[i]) << (3 * i);
    for (int i = 0; i < 6; ++i) block[2 + i] = std::uint8_t(bits >> (8 * i));
    return block;
}

TEST(DdsCompressed, Dxt5InterpolatedAlphaBothModes)
{
    const int indices[16] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    const int zero[16] = {};
    auto eight = alphaBlock(210, 0, indices);
    const auto colours = colourBlock(kRed565, kRed565, zero);
    eight.insert(eight.end(), colours.begin(), colours.end());
    auto six = alphaBlock(0, 100, indices);
    six.insert(six.end(), colours.begin(), colours.end());
    auto data = eight;
    data.insert(data.end(), six.begin(), six.end());
    const DecodeResult result = decode(buildDds(ddsFourCC(8, 4, std::uint32_t(Format::DXT5)), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    const std::uint8_t expectEight[8] = {210, 0, 180, 150, 120, 90, 60, 30};
    const std::uint8_t expectSix[8] = {0, 100, 20, 40, 60, 80, 0, 255};
    for (std::uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(texel(result.image, 0, i % 4, i / 4)[3], expectEight[i]) << i;
        EXPECT_EQ(texel(result.image, 0, 4 + i % 4, i / 4)[3], expectSix[i]) << i;
    }
    EXPECT_EQ(texel(result.image, 0, 0, 0)[2], 255);
}

TEST(DdsCompressed, PartialChainOddSizeDecodesEdgeBlocks)
{
    // 5 x 3 DXT1: two blocks wide, one high; texel (4, 2) is the second block's (0, 2).
    const int zero[16] = {};
    auto data = colourBlock(kRed565, 0, zero);
    const int third[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    const auto second = colourBlock(kRed565, kBlue565, third);
    data.insert(data.end(), second.begin(), second.end());
    const DecodeResult result = decode(buildDds(ddsFourCC(5, 3, std::uint32_t(Format::DXT1)), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    expectWellFormed(result.image);
    EXPECT_EQ(result.image.levels.size(), 3u);
    EXPECT_EQ(texel(result.image, 0, 4, 2)[0], 255);
    EXPECT_EQ(texel(result.image, 0, 4, 1)[2], 255);
    EXPECT_EQ(texel(result.image, 0, 3, 2)[2], 255);
}

TEST(DdsCompressed, Dxt5PartialChainKeepsFileLevels)
{
    const int zero[16] = {};
    auto red = alphaBlock(255, 255, zero);
    const auto redColour = colourBlock(kRed565, kRed565, zero);
    red.insert(red.end(), redColour.begin(), redColour.end());
    auto blue = alphaBlock(64, 64, zero);
    const auto blueColour = colourBlock(kBlue565, kBlue565, zero);
    blue.insert(blue.end(), blueColour.begin(), blueColour.end());
    // 8 x 8 with levels 8 x 8 (red) and 4 x 4 (blue) of four.
    auto data = repeat(red, 4);
    data.insert(data.end(), blue.begin(), blue.end());
    const DecodeResult result = decode(buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT5), 2), data));
    ASSERT_TRUE(result.ok()) << result.failure;
    EXPECT_EQ(result.image.format, Format::A8R8G8B8);
    expectWellFormed(result.image);
    EXPECT_EQ(std::vector<std::uint8_t>(texel(result.image, 0, 7, 7), texel(result.image, 0, 7, 7) + 4),
              (std::vector<std::uint8_t>{0, 0, 255, 255}));
    for (std::size_t level = 1; level < 4; ++level)
        EXPECT_EQ(std::vector<std::uint8_t>(texel(result.image, level, 0, 0), texel(result.image, level, 0, 0) + 4),
                  (std::vector<std::uint8_t>{255, 0, 0, 64}))
            << level;
}

// ---------------------------------------------------------------- DDS, bad input

std::string failureOf(const std::vector<std::uint8_t>& file)
{
    const DecodeResult result = decode(file);
    EXPECT_TRUE(result.image.empty());
    return result.failure;
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

TEST(DdsBadInput, EveryHeaderTruncationFails)
{
    const auto file = buildDds(ddsFourCC(4, 4, std::uint32_t(Format::DXT1)), std::vector<std::uint8_t>(8));
    for (std::size_t length = 4; length < 128; ++length)
        EXPECT_TRUE(contains(failureOf({file.begin(), file.begin() + std::ptrdiff_t(length)}), "header truncated"))
            << length;
}

TEST(DdsBadInput, EveryDataTruncationFails)
{
    for (Format format : {Format::DXT1, Format::DXT5}) {
        const auto full = buildDds(ddsFourCC(16, 8, std::uint32_t(format), 5),
                                   std::vector<std::uint8_t>(imageBlockBytes(format) * (8 + 2 + 1 + 1 + 1), 0x5A));
        ASSERT_TRUE(decode(full).ok());
        for (std::size_t length = 128; length < full.size(); ++length)
            EXPECT_TRUE(contains(failureOf({full.begin(), full.begin() + std::ptrdiff_t(length)}), "truncated"))
                << length;
    }
    const auto rgb = buildDds(ddsMasks(5, 3, kDdsRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0, 3), std::vector<std::uint8_t>(54));
    ASSERT_TRUE(decode(rgb).ok());
    for (std::size_t length = 128; length < rgb.size(); ++length)
        EXPECT_TRUE(contains(failureOf({rgb.begin(), rgb.begin() + std::ptrdiff_t(length)}), "truncated")) << length;
}

TEST(DdsBadInput, HeaderSizesMustBeRight)
{
    auto h = ddsFourCC(4, 4, std::uint32_t(Format::DXT1));
    h.size = 123;
    EXPECT_TRUE(contains(failureOf(buildDds(h, std::vector<std::uint8_t>(8))), "header size"));
    h = ddsFourCC(4, 4, std::uint32_t(Format::DXT1));
    h.pfSize = 0;
    EXPECT_TRUE(contains(failureOf(buildDds(h, std::vector<std::uint8_t>(8))), "pixel format size"));
}

TEST(DdsBadInput, AbsurdDimensionsFailWithoutReadingData)
{
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(0, 4, std::uint32_t(Format::DXT1)), {})), "no texels"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(4, 0, std::uint32_t(Format::DXT1)), {})), "no texels"));
    EXPECT_TRUE(
        contains(failureOf(buildDds(ddsFourCC(0xFFFFFFFF, 0xFFFFFFFF, std::uint32_t(Format::DXT1)), {})), "limit"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(16385, 4, std::uint32_t(Format::DXT1)), {})), "limit"));
    // Within the side limit but over the texel limit.
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(16384, 16384, std::uint32_t(Format::DXT1)), {})), "limit"));
    // Allowed, but the data is not there: refused before any allocation.
    EXPECT_TRUE(contains(
        failureOf(buildDds(ddsFourCC(16384, 4096, std::uint32_t(Format::DXT1)), std::vector<std::uint8_t>(100))),
        "truncated"));
    auto hugeRgb = ddsMasks(16384, 4096, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    EXPECT_TRUE(contains(failureOf(buildDds(hugeRgb, std::vector<std::uint8_t>(64))), "truncated"));
}

TEST(DdsBadInput, SideCeilingHoldsWhateverTheOptions)
{
    DecodeOptions open;
    open.maxDimension = 0xFFFFFFFF;
    open.maxPixels = ~std::uint64_t(0);
    const auto file = buildDds(ddsMasks(70000, 1, kDdsLuminance, 8, 0xFF, 0, 0, 0), std::vector<std::uint8_t>(70000));
    const DecodeResult result = decode(file, open);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(contains(result.failure, "65536")) << result.failure;
}

TEST(DdsBadInput, MipCountBeyondTheFullChainFails)
{
    const std::vector<std::uint8_t> plenty(4096, 0);
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT1), 5), plenty)), "exceeds"));
    EXPECT_TRUE(
        contains(failureOf(buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT1), 0xFFFFFFFF), plenty)), "exceeds"));
    EXPECT_TRUE(decode(buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT1), 4), plenty)).ok());
    // A count of 0 is one level.
    const DecodeResult zero = decode(buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT1), 0), plenty));
    ASSERT_TRUE(zero.ok()) << zero.failure;
    EXPECT_EQ(zero.image.format, Format::A8R8G8B8);
}

TEST(DdsBadInput, UnsupportedKindsAreNamed)
{
    const std::vector<std::uint8_t> data(1024, 0);
    auto cube = ddsFourCC(4, 4, std::uint32_t(Format::DXT1));
    cube.caps2 = 0xFE00;
    EXPECT_TRUE(contains(failureOf(buildDds(cube, data)), "cube"));
    auto volume = ddsFourCC(4, 4, std::uint32_t(Format::DXT1));
    volume.caps2 = 0x200000;
    volume.depth = 4;
    EXPECT_TRUE(contains(failureOf(buildDds(volume, data)), "volume"));
    auto deep = ddsFourCC(4, 4, std::uint32_t(Format::DXT1));
    deep.flags |= 0x800000;
    deep.depth = 2;
    EXPECT_TRUE(contains(failureOf(buildDds(deep, data)), "volume"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(4, 4, makeFourCC('D', 'X', '1', '0')), data)), "DX10"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(4, 4, makeFourCC('D', 'X', 'T', '2')), data)), "premultiplied"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsFourCC(4, 4, makeFourCC('A', 'T', 'I', '2')), data)), "ATI2"));
    EXPECT_TRUE(
        contains(failureOf(buildDds(ddsMasks(4, 4, kDdsRgb, 16, 0xF800, 0x7E0, 0x1F, 0), data)), "pixel format"));
    EXPECT_TRUE(contains(failureOf(buildDds(ddsMasks(4, 4, 0, 32, 0, 0, 0, 0), data)), "pixel format"));
}

TEST(DdsBadInput, RandomHeaderCorruptionGivesAnImageOrAReason)
{
    const std::vector<std::uint8_t> data(bgraQuadrants4x4().size() * 2, 0x33);
    const std::vector<std::vector<std::uint8_t>> files = {
        buildDds(ddsMasks(4, 4, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 3), data),
        buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT5), 4), std::vector<std::uint8_t>(112, 0x77)),
        buildDds(ddsFourCC(8, 8, std::uint32_t(Format::DXT1), 2), std::vector<std::uint8_t>(40, 0x99)),
    };
    std::mt19937 random(99);
    for (const auto& file : files)
        for (int round = 0; round < 2000; ++round) {
            auto bad = file;
            const int flips = 1 + int(random() % 3);
            for (int i = 0; i < flips; ++i) {
                // Mostly the fields that steer decoding.
                const std::size_t offset = 4 + random() % 112;
                bad[offset] = std::uint8_t(random() % 4 == 0 ? random() : bad[offset] ^ (1u << (random() % 8)));
            }
            const DecodeResult result = decode(bad);
            if (result.ok())
                expectWellFormed(result.image);
            else
                EXPECT_TRUE(result.image.empty());
        }
}

// ---------------------------------------------------------------- mipmap chains

TEST(MipChain, LevelCountsAndSizes)
{
    EXPECT_EQ(fullMipCount(1, 1), 1u);
    EXPECT_EQ(fullMipCount(2, 1), 2u);
    EXPECT_EQ(fullMipCount(3, 3), 2u);
    EXPECT_EQ(fullMipCount(4, 1), 3u);
    EXPECT_EQ(fullMipCount(1, 1024), 11u);
    EXPECT_EQ(fullMipCount(1023, 1), 10u);
    EXPECT_EQ(fullMipCount(16384, 16384), 15u);
}

TEST(MipChain, RandomSizesMatchAReferenceBoxFilter)
{
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        Image image;
        image.format = Format::A8L8;
        image.width = 1 + random() % 40;
        image.height = 1 + random() % 40;
        ImageLevel level;
        level.width = image.width;
        level.height = image.height;
        level.rowPitch = image.width * 2;
        for (std::uint32_t i = 0; i < image.width * image.height * 2; ++i)
            level.bytes.push_back(std::uint8_t(random()));
        image.levels.push_back(level);
        ASSERT_TRUE(generateMipChain(image));
        expectWellFormed(image);
        for (std::size_t l = 1; l < image.levels.size(); ++l) {
            const ImageLevel& src = image.levels[l - 1];
            const ImageLevel& dst = image.levels[l];
            for (std::uint32_t y = 0; y < dst.height; ++y)
                for (std::uint32_t x = 0; x < dst.width; ++x)
                    for (std::uint32_t c = 0; c < 2; ++c) {
                        double sum = 0;
                        for (std::uint32_t dy = 0; dy < 2; ++dy)
                            for (std::uint32_t dx = 0; dx < 2; ++dx) {
                                const std::uint32_t sx = std::min(2 * x + dx, src.width - 1);
                                const std::uint32_t sy = std::min(2 * y + dy, src.height - 1);
                                sum += src.bytes[(sy * src.width + sx) * 2 + c];
                            }
                        ASSERT_NEAR(dst.bytes[(y * dst.width + x) * 2 + c], sum / 4, 0.5)
                            << image.width << "x" << image.height << " level " << l;
                    }
        }
    }
}

TEST(MipChain, BlockFormatsAndEmptyImagesAreLeftAlone)
{
    Image empty;
    empty.format = Format::A8R8G8B8;
    EXPECT_FALSE(generateMipChain(empty));
    Image blocks;
    blocks.format = Format::DXT1;
    blocks.width = 4;
    blocks.height = 4;
    blocks.levels.push_back({4, 4, 8, std::vector<std::uint8_t>(8)});
    EXPECT_FALSE(generateMipChain(blocks));
    EXPECT_EQ(blocks.levels.size(), 1u);
}

} // namespace
