// Reader of DirectDraw Surface files: the 128-byte header ("DDS " and the
// 124-byte DDS_HEADER with its DDS_PIXELFORMAT), then each mipmap level's
// texels, largest first, rows top first, tightly packed.
//
// The header's pitch or linear size is not trusted: writers disagree about it
// (and hostile files lie), while the level sizes follow from the format and
// the dimensions alone. All sizes are checked against the bytes present before
// anything is allocated.

#include "platform/image/detail/ImageDecoders.h"

#include "core/ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ORV::Gfx::detail {

namespace {

constexpr std::size_t kHeaderBytes = 128; // "DDS " + DDS_HEADER

// DDS_HEADER.dwFlags
constexpr std::uint32_t kFlagDepth = 0x800000;
// DDS_PIXELFORMAT.dwFlags
constexpr std::uint32_t kPfAlphaPixels = 0x1;
constexpr std::uint32_t kPfFourCC = 0x4;
constexpr std::uint32_t kPfRgb = 0x40;
constexpr std::uint32_t kPfLuminance = 0x20000;
// DDS_HEADER.dwCaps2
constexpr std::uint32_t kCaps2Cubemap = 0x200;
constexpr std::uint32_t kCaps2Volume = 0x200000;

// How the bytes of a level become the stored format.
enum class Conversion {
    Copy,
    OpaqueX, // 32-bit without alpha: the fourth byte becomes 0xFF
    SwapRgb24 // 24-bit with red in the low byte: reorder to B, G, R
};

struct Header {
    std::uint32_t size, flags, height, width, pitch, depth, mipCount;
    std::uint32_t pfSize, pfFlags, fourCC, bitCount, rMask, gMask, bMask, aMask;
    std::uint32_t caps, caps2;
};

Header readHeader(const std::uint8_t* p)
{
    Header h;
    h.size = Core::readLittle32(p + 4);
    h.flags = Core::readLittle32(p + 8);
    h.height = Core::readLittle32(p + 12);
    h.width = Core::readLittle32(p + 16);
    h.pitch = Core::readLittle32(p + 20);
    h.depth = Core::readLittle32(p + 24);
    h.mipCount = Core::readLittle32(p + 28);
    h.pfSize = Core::readLittle32(p + 76);
    h.pfFlags = Core::readLittle32(p + 80);
    h.fourCC = Core::readLittle32(p + 84);
    h.bitCount = Core::readLittle32(p + 88);
    h.rMask = Core::readLittle32(p + 92);
    h.gMask = Core::readLittle32(p + 96);
    h.bMask = Core::readLittle32(p + 100);
    h.aMask = Core::readLittle32(p + 104);
    h.caps = Core::readLittle32(p + 108);
    h.caps2 = Core::readLittle32(p + 112);
    return h;
}

std::string fourCCText(std::uint32_t code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

const char* name(Format format)
{
    switch (format) {
    case Format::R8G8B8: return "R8G8B8";
    case Format::A8R8G8B8: return "A8R8G8B8";
    case Format::X8R8G8B8: return "X8R8G8B8";
    case Format::A8B8G8R8: return "A8B8G8R8";
    case Format::X8B8G8R8: return "X8B8G8R8";
    case Format::L8: return "L8";
    case Format::A8L8: return "A8L8";
    case Format::DXT1: return "DXT1";
    case Format::DXT3: return "DXT3";
    case Format::DXT5: return "DXT5";
    default: return "unknown";
    }
}

struct PixelLayout {
    Format format = Format::Unknown;
    Conversion conversion = Conversion::Copy;
    std::string failure;
};

PixelLayout fromFourCC(std::uint32_t code)
{
    switch (code) {
    case std::uint32_t(Format::DXT1):
    case std::uint32_t(Format::DXT3):
    case std::uint32_t(Format::DXT5): return {Format(code)};
    // Some writers (D3DX among them) store a D3DFORMAT number in place of a FourCC.
    case std::uint32_t(Format::A8R8G8B8):
    case std::uint32_t(Format::A8B8G8R8):
    case std::uint32_t(Format::R8G8B8):
    case std::uint32_t(Format::L8):
    case std::uint32_t(Format::A8L8): return {Format(code)};
    case std::uint32_t(Format::X8R8G8B8):
    case std::uint32_t(Format::X8B8G8R8): return {Format(code), Conversion::OpaqueX};
    }
    if (code == makeFourCC('D', 'X', 'T', '2') || code == makeFourCC('D', 'X', 'T', '4'))
        return {Format::Unknown, Conversion::Copy,
                "premultiplied-alpha DDS format " + fourCCText(code) + " is not supported"};
    if (code == makeFourCC('D', 'X', '1', '0'))
        return {Format::Unknown, Conversion::Copy, "DDS files with the DX10 extended header are not supported"};
    return {Format::Unknown, Conversion::Copy, "unsupported DDS FourCC '" + fourCCText(code) + "' (" + hex(code) + ")"};
}

PixelLayout pixelLayout(const Header& h)
{
    if (h.pfFlags & kPfFourCC) return fromFourCC(h.fourCC);
    const bool alpha = (h.pfFlags & kPfAlphaPixels) != 0;
    auto masks = [&](std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        return h.rMask == r && h.gMask == g && h.bMask == b;
    };
    if (h.pfFlags & kPfRgb) {
        if (h.bitCount == 32 && masks(0xFF0000, 0xFF00, 0xFF))
            return alpha && h.aMask == 0xFF000000 ? PixelLayout{Format::A8R8G8B8}
                                                  : PixelLayout{Format::X8R8G8B8, Conversion::OpaqueX};
        if (h.bitCount == 32 && masks(0xFF, 0xFF00, 0xFF0000))
            return alpha && h.aMask == 0xFF000000 ? PixelLayout{Format::A8B8G8R8}
                                                  : PixelLayout{Format::X8B8G8R8, Conversion::OpaqueX};
        if (h.bitCount == 24 && masks(0xFF0000, 0xFF00, 0xFF)) return {Format::R8G8B8};
        if (h.bitCount == 24 && masks(0xFF, 0xFF00, 0xFF0000)) return {Format::R8G8B8, Conversion::SwapRgb24};
    } else if (h.pfFlags & kPfLuminance) {
        if (h.bitCount == 8 && h.rMask == 0xFF && !alpha) return {Format::L8};
        if (h.bitCount == 16 && h.rMask == 0xFF && alpha && h.aMask == 0xFF00) return {Format::A8L8};
    }
    return {Format::Unknown, Conversion::Copy,
            "unsupported DDS pixel format (flags " + hex(h.pfFlags) + ", " + std::to_string(h.bitCount)
                + " bits, masks R " + hex(h.rMask) + " G " + hex(h.gMask) + " B " + hex(h.bMask) + " A " + hex(h.aMask)
                + ")"};
}

void convertLevel(const std::uint8_t* src, ImageLevel& level, Conversion conversion)
{
    std::memcpy(level.bytes.data(), src, level.bytes.size());
    std::uint8_t* p = level.bytes.data();
    const std::size_t n = level.bytes.size();
    switch (conversion) {
    case Conversion::Copy: break;
    case Conversion::OpaqueX:
        for (std::size_t i = 3; i < n; i += 4) p[i] = 0xFF;
        break;
    case Conversion::SwapRgb24:
        for (std::size_t i = 0; i + 2 < n; i += 3) std::swap(p[i], p[i + 2]);
        break;
    }
}

} // namespace

DecodeResult decodeDds(std::span<const std::uint8_t> bytes, const DecodeOptions& options)
{
    if (bytes.size() < kHeaderBytes)
        return {{}, "DDS header truncated (" + std::to_string(bytes.size()) + " of 128 bytes)"};
    const Header h = readHeader(bytes.data());
    if (h.size != 124) return {{}, "DDS header size is " + std::to_string(h.size) + ", not 124"};
    if (h.pfSize != 32) return {{}, "DDS pixel format size is " + std::to_string(h.pfSize) + ", not 32"};
    if (h.caps2 & kCaps2Cubemap) return {{}, "DDS cube maps are not supported as 2D textures"};
    if ((h.caps2 & kCaps2Volume) || ((h.flags & kFlagDepth) && h.depth > 1))
        return {{}, "DDS volume textures are not supported as 2D textures"};

    const PixelLayout layout = pixelLayout(h);
    if (!layout.failure.empty()) return {{}, layout.failure};
    if (std::string failure = checkDimensions(h.width, h.height, options); !failure.empty())
        return {{}, "DDS " + failure};

    // A count of 0 means a single level, whatever the flags say; more levels
    // than the size allows is a broken file, not something to guess around.
    const std::uint32_t fullCount = fullMipCount(h.width, h.height);
    const std::uint32_t fileCount = std::max(1u, h.mipCount);
    if (fileCount > fullCount)
        return {{},
                "DDS mipmap count " + std::to_string(fileCount) + " exceeds the " + std::to_string(fullCount)
                    + " levels of a " + std::to_string(h.width) + " x " + std::to_string(h.height) + " image"};

    std::uint64_t needed = 0;
    for (std::uint32_t i = 0; i < fileCount; ++i)
        needed += levelByteSize(layout.format, mipExtent(h.width, i), mipExtent(h.height, i));
    const std::uint64_t available = bytes.size() - kHeaderBytes;
    if (available < needed)
        return {{},
                "DDS pixel data truncated: " + std::to_string(fileCount) + " level(s) of " + std::to_string(h.width)
                    + " x " + std::to_string(h.height) + " " + name(layout.format) + " need " + std::to_string(needed)
                    + " bytes, the file has " + std::to_string(available)};

    DecodeResult result;
    Image& image = result.image;
    image.width = h.width;
    image.height = h.height;
    const std::uint8_t* src = bytes.data() + kHeaderBytes;
    const bool compressed = blockBytes(layout.format) != 0;

    if (compressed && fileCount == fullCount) {
        // The device uploads these blocks as they are.
        image.format = layout.format;
        for (std::uint32_t i = 0; i < fileCount; ++i) {
            ImageLevel level = makeLevel(layout.format, mipExtent(h.width, i), mipExtent(h.height, i));
            std::memcpy(level.bytes.data(), src, level.bytes.size());
            src += level.bytes.size();
            image.levels.push_back(std::move(level));
        }
        return result;
    }

    image.format = compressed ? Format::A8R8G8B8 : layout.format;
    for (std::uint32_t i = 0; i < fileCount; ++i) {
        const std::uint32_t w = mipExtent(h.width, i), ht = mipExtent(h.height, i);
        ImageLevel level = makeLevel(image.format, w, ht);
        if (compressed)
            decompressDxt(layout.format, src, w, ht, level.bytes.data());
        else
            convertLevel(src, level, layout.conversion);
        src += levelByteSize(layout.format, w, ht);
        image.levels.push_back(std::move(level));
    }
    if (options.generateMips) generateMipChain(image);
    return result;
}

} // namespace ORV::Gfx::detail
