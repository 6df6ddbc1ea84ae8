// Prints the time to decode 2048 x 2048 images held in memory, per megapixel
// of level 0: JPEG (baseline, progressive, greyscale) and DDS (DXT1 and DXT5
// with and without a mipmap chain in the file, 32-bit A8R8G8B8), with the
// box-filtered mipmap chain timed on its own. Build in Release for figures.

#include "platform/image/Image.h"

#include "tests/platform/ImageSamples.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

using namespace ORV::Gfx;
using namespace ORV::Test;

namespace {

constexpr int kSide = 2048;
constexpr double kMegapixels = double(kSide) * kSide / 1e6;

// Best of several runs, in milliseconds.
double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

void report(const char* what, double ms)
{
    std::printf("  %-44s %8.2f ms  %7.2f ms/MP\n", what, ms, ms / kMegapixels);
}

DecodeResult decode(const std::vector<std::uint8_t>& bytes, bool mips)
{
    DecodeOptions options;
    options.generateMips = mips;
    return decodeImage(std::span<const std::uint8_t>(bytes.data(), bytes.size()), options);
}

// Decodes once without and once with mipmaps, and times generateMipChain on
// the level-0 result alone.
void measure(const char* name, const std::vector<std::uint8_t>& file)
{
    const DecodeResult probe = decode(file, true);
    if (!probe.ok()) {
        std::printf("%s: decode failed: %s\n", name, probe.failure.c_str());
        return;
    }
    std::printf("%s (%zu bytes, %zu levels)\n", name, file.size(), probe.image.levels.size());
    report("decode, levels in the file only", bestOf(5, [&] { decode(file, false); }));
    const DecodeResult base = decode(file, false);
    if (base.image.levels.size() < probe.image.levels.size()) {
        double best = 1e30;
        for (int i = 0; i < 5; ++i) {
            Image copy = base.image; // copied outside the timed part
            copy.levels.resize(1);
            best = std::min(best, bestOf(1, [&] { generateMipChain(copy); }));
        }
        report("mipmap chain generation", best);
    }
    report("decode with complete chain", bestOf(5, [&] { decode(file, true); }));
}

// A picture with smooth gradients and some texture, so that the JPEG entropy
// coder has realistic work.
std::vector<std::uint8_t> picture()
{
    std::vector<std::uint8_t> pixels(std::size_t(kSide) * kSide * 4);
    std::mt19937 random(5);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            std::uint8_t* p = &pixels[(std::size_t(y) * kSide + x) * 4];
            const unsigned noise = random() % 24;
            p[0] = std::uint8_t(x / 8 + noise);
            p[1] = std::uint8_t(y / 8 + noise);
            p[2] = std::uint8_t(((x ^ y) & 64) ? 200 : 60);
            p[3] = 255;
        }
    return pixels;
}

std::vector<std::uint8_t> noiseBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::mt19937 random(9);
    for (auto& b : bytes) b = std::uint8_t(random());
    return bytes;
}

} // namespace

int main()
{
    std::printf("image decoding, %d x %d (%.2f megapixels at level 0)\n", kSide, kSide, kMegapixels);
    const auto pixels = picture();
    measure("JPEG baseline 4:2:0 q90", encodeJpeg(pixels, kSide, kSide));
    JpegSettings progressive;
    progressive.progressive = true;
    measure("JPEG progressive 4:2:0 q90", encodeJpeg(pixels, kSide, kSide, progressive));
    JpegSettings grey;
    grey.grey = true;
    std::vector<std::uint8_t> luminance(std::size_t(kSide) * kSide);
    for (std::size_t i = 0; i < luminance.size(); ++i) luminance[i] = pixels[i * 4 + 1];
    measure("JPEG greyscale q90", encodeJpeg(luminance, kSide, kSide, grey));

    const std::uint32_t levels = fullMipCount(kSide, kSide);
    for (Format format : {Format::DXT1, Format::DXT5}) {
        const char* name = format == Format::DXT1 ? "DXT1" : "DXT5";
        std::uint64_t chainBytes = 0;
        for (std::uint32_t i = 0; i < levels; ++i)
            chainBytes += imageLevelBytes(format, std::max(1, kSide >> i), std::max(1, kSide >> i));
        const std::string chain = std::string("DDS ") + name + ", complete chain (kept compressed)";
        measure(chain.c_str(),
                buildDds(ddsFourCC(kSide, kSide, std::uint32_t(format), levels), noiseBytes(chainBytes)));
        const std::string single = std::string("DDS ") + name + ", one level (decompressed)";
        measure(single.c_str(), buildDds(ddsFourCC(kSide, kSide, std::uint32_t(format)),
                                         noiseBytes(imageLevelBytes(format, kSide, kSide))));
    }
    measure("DDS A8R8G8B8, one level",
            buildDds(ddsMasks(kSide, kSide, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
                     noiseBytes(std::size_t(kSide) * kSide * 4)));
    return 0;
}
