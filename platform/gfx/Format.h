// Surface and texture formats with their Direct3D 9 names and values. Plain
// enum, no GL. Memory layouts are D3D's: A8R8G8B8 is the bytes B, G, R, A in
// memory; R8G8B8 is B, G, R; L8 one byte; A8L8 the bytes L, A; DXTn are 4 x 4
// blocks of 8 (DXT1) or 16 bytes (DXT3, DXT5).
#pragma once

#include <cstdint>

namespace ORV::Gfx {

constexpr uint32_t makeFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
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

constexpr bool isCompressed(Format f) { return f == Format::DXT1 || f == Format::DXT3 || f == Format::DXT5; }
constexpr bool isDepthFormat(Format f) { return f == Format::D24S8 || f == Format::D16; }

} // namespace ORV::Gfx
