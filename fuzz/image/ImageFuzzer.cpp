// Feeds arbitrary bytes to decodeImage. Besides the sanitizers' checks, a
// decoded image must have the complete chain of tightly packed levels that
// the GL upload relies on, and a failure must leave no image and say why.

#include "platform/image/Image.h"

#include <algorithm>
#include <cstdlib>

using namespace ORV::Gfx;

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Smaller limits than the defaults keep each run fast; the checks before
    // allocation are the same code either way.
    DecodeOptions options;
    options.maxDimension = 4096;
    options.maxPixels = std::uint64_t(1) << 22;
    const DecodeResult result = decodeImage(std::span<const std::uint8_t>(data, size), options);
    if (!result.ok()) {
        require(result.image.empty());
        return 0;
    }
    const Image& image = result.image;
    require(image.width >= 1 && image.height >= 1);
    require(image.width <= options.maxDimension && image.height <= options.maxDimension);
    require(image.levels.size() == fullMipCount(image.width, image.height));
    for (std::size_t i = 0; i < image.levels.size(); ++i) {
        const ImageLevel& level = image.levels[i];
        require(level.width == std::max(1u, image.width >> i));
        require(level.height == std::max(1u, image.height >> i));
        require(level.bytes.size() == imageLevelBytes(image.format, level.width, level.height));
        require(level.bytes.size() != 0);
    }
    return 0;
}
