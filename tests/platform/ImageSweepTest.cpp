// The bad-input sweep of the image decoder: files as the content generator
// encodes them (content/generator/detail/Pixmap.h: a 256 x 256 X8R8G8B8 DDS
// with its full chain, like the hatching sets, and a 256 x 256 4:4:4 JPEG,
// like the light sprite and gloss map), and a DXT1 file without a chain from
// the tests' own writer, which the decoder expands. Each is cut at a few
// hundred lengths, has single bytes changed, and has its size and count
// fields set to huge values. Whatever the damage, the decoder gives a
// well-formed image or a reason and no image, and no allocation outgrows
// what the file's bytes can account for.
#include "platform/image/Image.h"

#include "content/generator/detail/Pixmap.h"
#include "tests/platform/ImageSamples.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace ORV::Gfx {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t MiB = std::size_t{1} << 20;

Bytes toBytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// A 256 x 256 picture with the generator's kind of detail: soft tileable
// noise under fine streaks, so that the JPEG's blocks are not flat.
Content::detail::Pixmap picture(int size)
{
    Content::detail::Pixmap image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(size);
            const float v = static_cast<float>(y) / static_cast<float>(size);
            const float soft = Content::detail::tileableNoise(u * 4, v * 4, 4, 4, 0x51u);
            const float fine = Content::detail::tileableNoise(u * 8, v * 96, 8, 96, 0x52u);
            image.at(x, y) = {0.3f + 0.5f * soft, 0.5f * fine + 0.4f * soft, fine};
        }
    return image;
}

const Bytes& generatedDds()
{
    static const Bytes bytes = [] {
        std::vector<Content::detail::Pixmap> levels{picture(256)};
        while (levels.back().width() > 1) levels.push_back(levels.back().halved());
        return toBytes(Content::detail::encodeDds(levels));
    }();
    return bytes;
}

const Bytes& generatedJpeg()
{
    static const Bytes bytes = toBytes(Content::detail::encodeJpeg(picture(256)));
    return bytes;
}

// 64 x 64 DXT1, one level: decoded by expanding every 8-byte block to 64.
const Bytes& dxt1Single()
{
    static const Bytes bytes = [] {
        Bytes blocks(16 * 16 * 8);
        for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>(i * 37 + 11);
        return ORV::Test::buildDds(ORV::Test::ddsFourCC(64, 64, std::uint32_t(Format::DXT1)), blocks);
    }();
    return bytes;
}

struct Outcome {
    DecodeResult result;
    std::size_t largestAllocation = 0;
};

// Decodes bytes and checks what the decoder promises whatever the bytes.
Outcome decodeAndCheck(const Bytes& bytes)
{
    Outcome outcome;
    {
        ORV::Test::AllocationWatch watch;
        outcome.result = decodeImage(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
        outcome.largestAllocation = watch.largest();
    }
    const DecodeResult& result = outcome.result;
    if (!result.ok()) {
        EXPECT_TRUE(result.image.empty()) << result.failure;
    } else {
        const Image& image = result.image;
        EXPECT_EQ(image.levels.size(), fullMipCount(image.width, image.height));
        for (std::size_t i = 0; i < image.levels.size(); ++i) {
            const ImageLevel& level = image.levels[i];
            EXPECT_EQ(level.width, std::max(1u, image.width >> i));
            EXPECT_EQ(level.height, std::max(1u, image.height >> i));
            EXPECT_EQ(level.bytes.size(), imageLevelBytes(image.format, level.width, level.height));
        }
    }
    // DXT1 expands 8 to 64 bytes: a DDS needs at most 16 times its bytes. A
    // JPEG may declare any size up to the limits; past 1 Mi texels (4 MiB) its
    // data must decode at 1/8 scale before the full image is allocated. So
    // a damaged file never costs 64 MiB, nor more than a few MiB beyond 16
    // times its size.
    EXPECT_LE(outcome.largestAllocation, std::min(64 * MiB, 16 * bytes.size() + 5 * MiB));
    return outcome;
}

struct Sample {
    const char* name;
    const Bytes& (*bytes)();
};
const Sample samples[] = {{"generated DDS", generatedDds}, {"generated JPEG", generatedJpeg}, {"DXT1", dxt1Single}};

TEST(ImageSweep, TheUndamagedFilesDecode)
{
    for (const Sample& sample : samples) {
        const Outcome outcome = decodeAndCheck(sample.bytes());
        EXPECT_TRUE(outcome.result.ok()) << sample.name << ": " << outcome.result.failure;
    }
    EXPECT_EQ(generatedDds().size(), 128u + 4u * 87381u) << "a full chain of 9 levels, 256 x 256 to 1 x 1";
}

TEST(ImageSweep, EveryCutFails)
{
    for (const Sample& sample : samples) {
        const Bytes& file = sample.bytes();
        for (std::size_t length : ORV::Test::cutLengths(file.size(), 250)) {
            SCOPED_TRACE(std::string(sample.name) + " cut at " + std::to_string(length));
            const Outcome outcome = decodeAndCheck(Bytes(file.begin(), file.begin() + std::ptrdiff_t(length)));
            EXPECT_FALSE(outcome.result.ok());
        }
    }
}

TEST(ImageSweep, SingleByteChangesGiveAnImageOrAReason)
{
    std::mt19937 random(20261209);
    for (const Sample& sample : samples)
        for (int round = 0; round < 250; ++round) {
            Bytes damaged = sample.bytes();
            SCOPED_TRACE(std::string(sample.name) + " " + ORV::Test::damageOneByte(damaged, random, round));
            decodeAndCheck(damaged);
        }
}

TEST(ImageSweep, HugeDdsSizesAndCountsAreRefusedBeforeAllocating)
{
    // Width, height, pitch, depth, mip count, then the pixel format's size,
    // bit count and masks.
    const std::size_t fields[] = {12, 16, 20, 24, 28, 76, 88, 92, 96, 100, 104};
    for (const Bytes* file : {&generatedDds(), &dxt1Single()})
        for (std::size_t at : fields)
            for (std::uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x10000u, 257u}) {
                Bytes damaged = *file;
                ORV::Test::putLittle32(damaged, at, value);
                SCOPED_TRACE("DDS field at " + std::to_string(at) + " = " + std::to_string(value));
                decodeAndCheck(damaged);
            }
    // A single level of more rows than the data of the whole chain holds:
    // the size check fails it before anything is allocated.
    Bytes taller = generatedDds();
    ORV::Test::putLittle32(taller, 12, 342); // 342 rows of 1 KiB > 349,524 bytes
    ORV::Test::putLittle32(taller, 28, 1);
    const Outcome outcome = decodeAndCheck(taller);
    EXPECT_NE(outcome.result.failure.find("truncated"), std::string::npos) << outcome.result.failure;
    EXPECT_LE(outcome.largestAllocation, 64u << 10);
}

// The frame header (SOF0 or SOF2) of a JPEG: the offset of its height field.
std::size_t jpegSizeField(const Bytes& jpeg)
{
    for (std::size_t i = 2; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return i + 5;
    ADD_FAILURE() << "no frame header";
    return 0;
}

TEST(ImageSweep, JpegSizesPastTheDataFailWithoutAHugeAllocation)
{
    const Bytes& jpeg = generatedJpeg();
    const std::size_t at = jpegSizeField(jpeg);
    // Height then width, big-endian 16-bit fields.
    const std::pair<std::uint16_t, std::uint16_t> sizes[] = {{0xFFFF, 0xFFFF}, {0x7FFF, 256}, {256, 0x7FFF},
                                                             {264, 256},       {256, 264},    {4096, 16384},
                                                             {16384, 4096},    {8192, 8192}};
    for (const auto& [height, width] : sizes) {
        Bytes damaged = jpeg;
        damaged[at] = std::uint8_t(height >> 8);
        damaged[at + 1] = std::uint8_t(height);
        damaged[at + 2] = std::uint8_t(width >> 8);
        damaged[at + 3] = std::uint8_t(width);
        SCOPED_TRACE("JPEG declaring " + std::to_string(width) + " x " + std::to_string(height));
        const Outcome outcome = decodeAndCheck(damaged);
        EXPECT_FALSE(outcome.result.ok());
    }
}

TEST(ImageSweep, MegabytesAfterTheDataAreIgnored)
{
    const std::string filler = ORV::Test::fillerBytes(4 * MiB, 3, '\xFF');
    for (const Sample& sample : samples) {
        Bytes padded = sample.bytes();
        padded.insert(padded.end(), filler.begin(), filler.end());
        const Outcome outcome = decodeAndCheck(padded);
        EXPECT_TRUE(outcome.result.ok()) << sample.name << ": " << outcome.result.failure;
    }
}

} // namespace
} // namespace ORV::Gfx
