// Surface and texture formats with their Direct3D 9 names and values. Plain
// enum, no GL. Memory layouts are D3D's: A8R8G8B8 is the bytes B, G, R, A in
// memory; R8G8B8 is B, G, R; L8 one byte; A8L8 the bytes L, A; DXTn are 4 x 4
// blocks of 8 (DXT1) or 16 bytes (DXT3, DXT5).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace ORV::Gfx {

constexpr uint32_t makeFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

enum class Format : uint32_t {
    Unknown = 0,
    R8G8B8 = 20,
    A8R8G8B8 = 21,
    X8R8G8B8 = 22,
    A8B8G8R8 = 32,
    X8B8G8R8 = 33,
    L8 = 50,
    A8L8 = 51,
    D24S8 = 75,
    D16 = 80,
    R32F = 114,
    A16B16G16R16F = 113,
    DXT1 = makeFourCC('D', 'X', 'T', '1'),
    DXT3 = makeFourCC('D', 'X', 'T', '3'),
    DXT5 = makeFourCC('D', 'X', 'T', '5'),
};

constexpr bool isCompressed(Format f)
{
    return f == Format::DXT1 || f == Format::DXT3 || f == Format::DXT5;
}
constexpr bool isDepthFormat(Format f)
{
    return f == Format::D24S8 || f == Format::D16;
}

// Sizes in memory, the one place that knows them: the device checks uploads
// against them and the image decoders lay out their levels by them.

// Bytes of one texel of an uncompressed colour format; 0 for block, depth and
// unknown formats (depth surfaces have no memory layout the engine sees).
constexpr uint32_t bytesPerTexel(Format f)
{
    switch (f) {
    case Format::L8: return 1;
    case Format::A8L8: return 2;
    case Format::R8G8B8: return 3;
    case Format::A8R8G8B8:
    case Format::X8R8G8B8:
    case Format::A8B8G8R8:
    case Format::X8B8G8R8:
    case Format::R32F: return 4;
    case Format::A16B16G16R16F: return 8;
    default: return 0;
    }
}

// Bytes of one 4 x 4 block of a block format (DXT1 8, DXT3 and DXT5 16); 0
// for every other format.
constexpr uint32_t blockBytes(Format f)
{
    switch (f) {
    case Format::DXT1: return 8;
    case Format::DXT3:
    case Format::DXT5: return 16;
    default: return 0;
    }
}

// Blocks needed to cover `texels` texels of one side; a partial block counts
// whole, and even an empty side takes one.
constexpr uint32_t blocksAcross(uint32_t texels)
{
    return std::max(1u, (texels + 3) / 4);
}

// Bytes of one row as stored, rows packed: a texel row, or for block formats a
// row of blocks.
constexpr uint64_t rowPitch(Format f, uint32_t width)
{
    if (const uint32_t block = blockBytes(f)) return uint64_t(blocksAcross(width)) * block;
    return uint64_t(width) * bytesPerTexel(f);
}

// Bytes of a whole level of width x height texels, rows packed; 0 for depth
// and unknown formats and for an empty size.
constexpr uint64_t levelByteSize(Format f, uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0) return 0;
    if (blockBytes(f)) return rowPitch(f, width) * blocksAcross(height);
    return rowPitch(f, width) * height;
}

// The side of mip level `level` of a side of `size` texels: halved per level,
// rounded down, never below 1.
constexpr uint32_t mipExtent(uint32_t size, uint32_t level)
{
    return level >= 32 ? 1u : std::max(1u, size >> level);
}

// Levels of a complete chain down to 1 x 1: floor(log2(max(width, height))) + 1.
constexpr uint32_t fullMipCount(uint32_t width, uint32_t height)
{
    return uint32_t(std::bit_width(std::max({width, height, 1u})));
}

} // namespace ORV::Gfx
