// Decodes image files held in memory (JPEG, DDS) into texture-ready images:
// format and size from the file, a complete mipmap chain, top row first. It
// reads no file and touches no GPU; the GL device uploads what it returns.
//
// The kind of file is found from its content, never from a name: "DDS " files
// go to our own DDS reader, JPEG files (FF D8 FF) to libjpeg-turbo.
//
// What each kind becomes:
// - JPEG (baseline, progressive, greyscale): X8R8G8B8, X bytes 0xFF, with a
//   box-filtered mipmap chain.
// - DDS DXT1, DXT3, DXT5 with a complete chain in the file: kept compressed,
//   the file's levels as they are.
// - DDS DXT1, DXT3, DXT5 with fewer levels: decompressed to A8R8G8B8 (a block
//   encoder of our own would lose quality for no gain at these sizes); the
//   file's levels are kept and the missing smaller ones are box-filtered from
//   the smallest level the file has.
// - DDS uncompressed 32-bit (A8R8G8B8, X8R8G8B8, A8B8G8R8, X8B8G8R8 by channel
//   masks), 24-bit (R8G8B8; files with the red mask in the low byte are
//   swapped into R8G8B8), L8 and A8L8: kept in that format; missing levels are
//   box-filtered as above. X bytes are set to 0xFF.
// - Anything else (PNG, BMP, DX10-header DDS, cube maps, volumes, premultiplied
//   DXT2/DXT4, other pixel formats, corrupt or truncated data) fails with a
//   reason and no image.
#pragma once

#include "platform/gfx/Format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ORV::Gfx {

// One mipmap level: its size in texels and its bytes, tightly packed, top row
// first (for block formats: top row of 4 x 4 blocks first). rowPitch is the
// bytes of one texel row (uncompressed) or one block row (DXTn);
// bytes.size() == rowPitch * rows (rows = height, or (height + 3) / 4 blocks).
struct ImageLevel {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rowPitch = 0;
    std::vector<std::uint8_t> bytes;
};

// A decoded image. levels[0] is the full size (width x height); each further
// level halves both sides (rounded down, at least 1) down to 1 x 1, so a
// decoded image always has fullMipCount(width, height) levels.
struct Image {
    Format format = Format::Unknown;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<ImageLevel> levels;

    bool empty() const { return levels.empty(); }
};

// Limits that bound the work and memory a hostile file can cause.
struct DecodeOptions {
    // Largest width or height accepted.
    std::uint32_t maxDimension = 16384; // at most 65536 is used, whatever is set
    // Largest width x height of level 0 accepted (64 Mi texels: 256 MiB at
    // four bytes per texel before mipmaps).
    std::uint64_t maxPixels = std::uint64_t(1) << 26;
    // When false, only the levels the file holds are returned (JPEG: one);
    // used to time mipmap generation on its own.
    bool generateMips = true;
};

// The outcome of decodeImage: an image, or an empty image and a reason.
struct DecodeResult {
    Image image;
    std::string failure; // empty on success

    bool ok() const { return failure.empty(); }
};

// Decodes a whole file held in memory. Never throws for bad data and never
// reads outside bytes; memory use is bounded by options and the input size.
DecodeResult decodeImage(std::span<const std::uint8_t> bytes, const DecodeOptions& options = {});

// Bytes of one texel of the uncompressed formats this module produces, whose
// channels are all 8 bits (1 to 4); 0 for every other format. Sizes in memory
// are platform/gfx/Format.h's (bytesPerTexel, blockBytes, levelByteSize,
// fullMipCount); this module adds only what its 8-bit filters need.
std::uint32_t imageBytesPerPixel(Format format);

// The names this module's users know for the sizes of Format.h.
inline std::uint32_t imageBlockBytes(Format format)
{
    return blockBytes(format);
}
inline std::uint64_t imageLevelBytes(Format format, std::uint32_t width, std::uint32_t height)
{
    return levelByteSize(format, width, height);
}

// Appends box-filtered levels to an uncompressed image (8 bits per channel)
// until its chain is complete. Returns false, changing nothing, for block
// formats or an image without levels.
bool generateMipChain(Image& image);

} // namespace ORV::Gfx
