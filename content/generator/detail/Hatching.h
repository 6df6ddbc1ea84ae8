// Pencil hatching tiles as a tonal art map: tile t of hatchTiles, each a full
// mipmap chain drawn level by level. See Images.h for what they look like.
#pragma once

#include "content/generator/detail/Pixmap.h"

#include <vector>

namespace ORV::Content::detail {

// The tiles lightest first, each its levels largest first (hatchSize down to
// 1 x 1).
std::vector<std::vector<Pixmap>> makeHatchTiles();

} // namespace ORV::Content::detail
