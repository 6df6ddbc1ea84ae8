// The credits card shown in the outro, set with FreeType at build time. See
// Images.h for its layout.
#pragma once

#include "content/generator/detail/Pixmap.h"

#include <filesystem>

namespace ORV::Content::detail {

// Throws std::runtime_error naming the font file and the Debian package when
// a font of fontDir is missing or FreeType cannot read it.
Pixmap makeCreditsCard(const std::filesystem::path& fontDir);

} // namespace ORV::Content::detail
