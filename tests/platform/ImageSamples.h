// Image files made in memory for the image decoder's tests, benchmark and fuzz
// seeds: JPEGs from TurboJPEG's compressor and DDS files from their fields.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace ORV::Test {

struct JpegSettings {
    bool progressive = false;
    bool grey = false; // one-component file; input is then one byte a pixel
    bool cmyk = false; // four-component (YCCK) file; input is C, M, Y, K bytes
    int quality = 90;
    int subsampling = TJSAMP_420;
};

// Compresses pixels (B, G, R, X bytes; one byte when grey; C, M, Y, K when
// cmyk), top row first. Returns an empty vector when TurboJPEG refuses.
inline std::vector<std::uint8_t> encodeJpeg(const std::vector<std::uint8_t>& pixels, int width, int height,
                                            const JpegSettings& settings = {})
{
    tjhandle handle = tjInitCompress();
    if (!handle) return {};
    const int format = settings.grey ? TJPF_GRAY : settings.cmyk ? TJPF_CMYK : TJPF_BGRX;
    const int pixelBytes = settings.grey ? 1 : 4;
    const int subsampling = settings.grey ? TJSAMP_GRAY : settings.subsampling;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int flags = settings.progressive ? TJFLAG_PROGRESSIVE : 0;
    std::vector<std::uint8_t> result;
    if (tjCompress2(handle, pixels.data(), width, width * pixelBytes, height, format, &out, &size, subsampling,
                    settings.quality, flags)
        == 0)
        result.assign(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return result;
}

struct Bgr {
    std::uint8_t b, g, r;
};

// A width x height B, G, R, X picture of four flat quadrants: top-left,
// top-right, bottom-left, bottom-right.
inline std::vector<std::uint8_t> quadrants(int width, int height, Bgr tl, Bgr tr, Bgr bl, Bgr br)
{
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const Bgr c = bottom ? (right ? br : bl) : (right ? tr : tl);
            std::uint8_t* p = &pixels[(std::size_t(y) * width + x) * 4];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            p[3] = 0;
        }
    return pixels;
}

// The fields of a DDS header that the tests vary; the rest are zero.
struct DdsHeader {
    std::uint32_t size = 124;
    std::uint32_t flags = 0x1007; // CAPS | HEIGHT | WIDTH | PIXELFORMAT
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pitch = 0;
    std::uint32_t depth = 0;
    std::uint32_t mipCount = 0;
    std::uint32_t pfSize = 32;
    std::uint32_t pfFlags = 0;
    std::uint32_t fourCC = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
    std::uint32_t caps = 0x1000; // TEXTURE
    std::uint32_t caps2 = 0;
};

constexpr std::uint32_t kDdsAlphaPixels = 0x1;
constexpr std::uint32_t kDdsFourCC = 0x4;
constexpr std::uint32_t kDdsRgb = 0x40;
constexpr std::uint32_t kDdsLuminance = 0x20000;

inline DdsHeader ddsFourCC(std::uint32_t width, std::uint32_t height, std::uint32_t fourCC, std::uint32_t mips = 1)
{
    DdsHeader h;
    h.width = width;
    h.height = height;
    h.mipCount = mips;
    h.pfFlags = kDdsFourCC;
    h.fourCC = fourCC;
    return h;
}

inline DdsHeader ddsMasks(std::uint32_t width, std::uint32_t height, std::uint32_t pfFlags, std::uint32_t bits,
                          std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a, std::uint32_t mips = 1)
{
    DdsHeader h;
    h.width = width;
    h.height = height;
    h.mipCount = mips;
    h.pfFlags = pfFlags;
    h.bitCount = bits;
    h.rMask = r;
    h.gMask = g;
    h.bMask = b;
    h.aMask = a;
    return h;
}

// "DDS ", the 124-byte header, then data as given.
inline std::vector<std::uint8_t> buildDds(const DdsHeader& h, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> file(128 + data.size(), 0);
    auto put = [&](std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[offset + i] = std::uint8_t(v >> (8 * i));
    };
    std::memcpy(file.data(), "DDS ", 4);
    put(4, h.size);
    put(8, h.flags | (h.mipCount > 1 ? 0x20000u : 0u));
    put(12, h.height);
    put(16, h.width);
    put(20, h.pitch);
    put(24, h.depth);
    put(28, h.mipCount);
    put(76, h.pfSize);
    put(80, h.pfFlags);
    put(84, h.fourCC);
    put(88, h.bitCount);
    put(92, h.rMask);
    put(96, h.gMask);
    put(100, h.bMask);
    put(104, h.aMask);
    put(108, h.caps | (h.mipCount > 1 ? 0x400008u : 0u));
    put(112, h.caps2);
    if (!data.empty()) std::memcpy(file.data() + 128, data.data(), data.size());
    return file;
}

} // namespace ORV::Test
