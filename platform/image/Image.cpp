#include "platform/image/Image.h"

#include "platform/image/detail/ImageDecoders.h"

#include <algorithm>
#include <cstring>

namespace ORV::Gfx {

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix)
{
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Names the kinds of file we recognise but do not decode, so that the reason
// says what was given rather than only what was expected.
std::string unsupportedKind(std::span<const std::uint8_t> bytes)
{
    if (startsWith(bytes, {0x89, 'P', 'N', 'G'})) return "PNG images are not supported (only JPEG and DDS)";
    if (startsWith(bytes, {'B', 'M'})) return "BMP images are not supported (only JPEG and DDS)";
    if (startsWith(bytes, {'G', 'I', 'F', '8'})) return "GIF images are not supported (only JPEG and DDS)";
    return "unrecognised image data (neither JPEG nor DDS)";
}

// One level of a 2 x 2 box filter on 8-bit channels. Odd sizes drop the last
// row or column of the source; a side of 1 averages the two texels of the
// other side only. The channel count is a template argument so that the inner
// loop unrolls.
template <std::uint32_t Channels> void boxFilter(const ImageLevel& src, ImageLevel& dst)
{
    for (std::uint32_t y = 0; y < dst.height; ++y) {
        const std::uint32_t y0 = std::min(2 * y, src.height - 1);
        const std::uint32_t y1 = std::min(2 * y + 1, src.height - 1);
        const std::uint8_t* row0 = src.bytes.data() + std::size_t(y0) * src.rowPitch;
        const std::uint8_t* row1 = src.bytes.data() + std::size_t(y1) * src.rowPitch;
        std::uint8_t* out = dst.bytes.data() + std::size_t(y) * dst.rowPitch;
        for (std::uint32_t x = 0; x < dst.width; ++x) {
            const std::size_t x0 = std::size_t(std::min(2 * x, src.width - 1)) * Channels;
            const std::size_t x1 = std::size_t(std::min(2 * x + 1, src.width - 1)) * Channels;
            for (std::uint32_t c = 0; c < Channels; ++c) {
                const unsigned sum = row0[x0 + c] + row0[x1 + c] + row1[x0 + c] + row1[x1 + c];
                *out++ = std::uint8_t((sum + 2) / 4);
            }
        }
    }
}

void boxFilter(const ImageLevel& src, ImageLevel& dst, std::uint32_t channels)
{
    switch (channels) {
    case 1: boxFilter<1>(src, dst); break;
    case 2: boxFilter<2>(src, dst); break;
    case 3: boxFilter<3>(src, dst); break;
    default: boxFilter<4>(src, dst); break;
    }
}

} // namespace

std::uint32_t imageBytesPerPixel(Format format)
{
    // The float formats are the uncompressed ones whose channels are wider.
    if (format == Format::R32F || format == Format::A16B16G16R16F) return 0;
    return bytesPerTexel(format);
}

bool generateMipChain(Image& image)
{
    const std::uint32_t channels = imageBytesPerPixel(image.format);
    if (channels == 0 || image.levels.empty()) return false;
    const std::uint32_t count = fullMipCount(image.width, image.height);
    image.levels.reserve(count);
    while (image.levels.size() < count) {
        const ImageLevel& src = image.levels.back();
        ImageLevel dst = detail::makeLevel(image.format, mipExtent(src.width, 1), mipExtent(src.height, 1));
        boxFilter(src, dst, channels);
        image.levels.push_back(std::move(dst));
    }
    return true;
}

DecodeResult decodeImage(std::span<const std::uint8_t> bytes, const DecodeOptions& options)
{
    if (bytes.empty()) return {{}, "empty image data"};
    if (startsWith(bytes, {'D', 'D', 'S', ' '})) return detail::decodeDds(bytes, options);
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) return detail::decodeJpeg(bytes, options);
    return {{}, unsupportedKind(bytes)};
}

namespace detail {

std::string checkDimensions(std::uint32_t width, std::uint32_t height, const DecodeOptions& options)
{
    if (width == 0 || height == 0)
        return "image has no texels (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    // Whatever the options say, row pitches must fit in 32 bits.
    const std::uint32_t maxDimension = std::min(options.maxDimension, 65536u);
    if (width > maxDimension || height > maxDimension)
        return "image size " + std::to_string(width) + " x " + std::to_string(height) + " exceeds the limit of "
               + std::to_string(maxDimension) + " texels a side";
    if (std::uint64_t(width) * height > options.maxPixels)
        return "image size " + std::to_string(width) + " x " + std::to_string(height) + " exceeds the limit of "
               + std::to_string(options.maxPixels) + " texels";
    return {};
}

ImageLevel makeLevel(Format format, std::uint32_t width, std::uint32_t height)
{
    ImageLevel level;
    level.width = width;
    level.height = height;
    level.rowPitch = std::uint32_t(rowPitch(format, width)); // checkDimensions keeps it within 32 bits
    level.bytes.resize(levelByteSize(format, width, height));
    return level;
}

} // namespace detail

} // namespace ORV::Gfx
