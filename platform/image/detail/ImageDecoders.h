// Private parts of the image decoder shared by its readers.
#pragma once

#include "platform/image/Image.h"

#include <string>

namespace ORV::Gfx::detail {

// Each reader takes the whole file (already sniffed as its kind).
DecodeResult decodeDds(std::span<const std::uint8_t> bytes, const DecodeOptions& options);
DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes, const DecodeOptions& options);

// The reason a level-0 size is refused, or an empty string when it is accepted.
std::string checkDimensions(std::uint32_t width, std::uint32_t height, const DecodeOptions& options);

// A level of the given size with zeroed, tightly packed bytes.
ImageLevel makeLevel(Format format, std::uint32_t width, std::uint32_t height);

// Decodes one DXT1, DXT3 or DXT5 level of width x height texels into B, G, R, A
// bytes (A8R8G8B8), width * 4 bytes a row. blocks holds levelByteSize bytes.
void decompressDxt(Format format, const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                   std::uint8_t* bgra);

} // namespace ORV::Gfx::detail
