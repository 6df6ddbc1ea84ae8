// Writes small JPEG and DDS files of every kind the decoder reads into the
// folder given as the argument, as a starting corpus for image_fuzzer.

#include "tests/platform/ImageSamples.h"

#include "platform/gfx/Format.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace ORV::Test;
using ORV::Gfx::Format;

namespace {

bool write(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::vector<std::uint8_t> pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(i * 37 + 11);
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: image_fuzz_seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const auto picture = quadrants(24, 16, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255});
    JpegSettings progressive;
    progressive.progressive = true;
    JpegSettings grey;
    grey.grey = true;
    bool ok = write(folder, "baseline.jpg", encodeJpeg(picture, 24, 16))
              && write(folder, "progressive.jpg", encodeJpeg(picture, 24, 16, progressive))
              && write(folder, "grey.jpg", encodeJpeg(pattern(16 * 16), 16, 16, grey));
    // 8 x 4 DXTn files with a complete chain (4 levels: 2, 1, 1, 1 blocks) and without.
    for (Format format : {Format::DXT1, Format::DXT3, Format::DXT5}) {
        const std::size_t block = format == Format::DXT1 ? 8 : 16;
        const std::string name = format == Format::DXT1 ? "dxt1" : format == Format::DXT3 ? "dxt3" : "dxt5";
        ok = ok
             && write(folder, name + "_chain.dds",
                      buildDds(ddsFourCC(8, 4, std::uint32_t(format), 4), pattern(5 * block)));
        ok = ok
             && write(folder, name + "_single.dds",
                      buildDds(ddsFourCC(8, 4, std::uint32_t(format)), pattern(2 * block)));
    }
    ok = ok
         && write(folder, "argb.dds",
                  buildDds(ddsMasks(4, 4, kDdsRgb | kDdsAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 3),
                           pattern(84)));
    ok = ok && write(folder, "xbgr.dds", buildDds(ddsMasks(4, 2, kDdsRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0), pattern(32)));
    ok =
        ok
        && write(folder, "rgb24.dds", buildDds(ddsMasks(3, 3, kDdsRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0, 2), pattern(30)));
    ok = ok && write(folder, "l8.dds", buildDds(ddsMasks(4, 4, kDdsLuminance, 8, 0xFF, 0, 0, 0), pattern(16)));
    ok = ok
         && write(folder, "a8l8.dds",
                  buildDds(ddsMasks(2, 2, kDdsLuminance | kDdsAlphaPixels, 16, 0xFF, 0, 0, 0xFF00), pattern(8)));
    if (!ok) {
        std::fprintf(stderr, "image_fuzz_seeds: could not write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
