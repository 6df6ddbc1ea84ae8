// Pencil hatching sets: each a tonal art map of hatchTiles tiles packed in
// the channels of one mipmap chain drawn level by level. See Images.h for
// what they look like.
#pragma once

#include "content/generator/detail/Pixmap.h"

#include <vector>

namespace ORV::Content::detail {

// Set `set` (0 .. hatchSets - 1): its levels largest first (hatchSize down
// to 1 x 1), the lightest tile in red, the densest in blue.
std::vector<Pixmap> makeHatchSet(int set);

} // namespace ORV::Content::detail
