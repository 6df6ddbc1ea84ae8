// PNG encoding of frames read back from the device, for tools that render to
// files. Decoding is not needed: the demo's images are JPEG and DDS.
#pragma once

#include "core/Result.h"

#include <cstdint>
#include <span>
#include <string>

namespace ORV::Gfx {

// Writes an 8-bit RGBA PNG of width x height pixels given as 0xAARRGGBB
// values, rows top to bottom. The result is true, or says why the file could
// not be written.
Core::Result<bool> writePng(const std::string& path, int width, int height, std::span<const std::uint32_t> argb);

} // namespace ORV::Gfx
