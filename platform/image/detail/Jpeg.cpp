// JPEG decoding through libjpeg-turbo's TurboJPEG API, into X8R8G8B8.
//
// Any libjpeg warning fails the decode: the usual one is "premature end of
// data", after which libjpeg would hand back an image whose lower part is grey
// filler, and a texture of filler is worse than an empty one.

#include "platform/image/detail/ImageDecoders.h"

#include <turbojpeg.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace ORV::Gfx::detail {

namespace {

struct TjDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroy>;

std::string tjMessage(tjhandle handle)
{
    const char* text = tjGetErrorStr2(handle);
    return text ? text : "unknown error";
}

// TJFLAG_STOPONWARNING fails the decode on the first warning.
// TJFLAG_LIMITSCANS refuses progressive files with absurd scan counts, which
// would otherwise cost minutes of CPU time for a few kilobytes.
constexpr int decodeFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

// Images of more texels than this get a trial decode first (below).
constexpr std::uint64_t trialDecodeTexels = std::uint64_t(1) << 20;

} // namespace

DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes, const DecodeOptions& options)
{
    TjHandle handle(tjInitDecompress());
    if (!handle) return {{}, "JPEG decoder could not be created"};
    // TurboJPEG takes a non-const buffer but does not write to it.
    auto* data = const_cast<unsigned char*>(bytes.data());
    const auto size = static_cast<unsigned long>(bytes.size());

    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colourSpace) != 0)
        return {{}, "JPEG header is invalid: " + tjMessage(handle.get())};
    if (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK) return {{}, "CMYK JPEG images are not supported"};
    if (width <= 0 || height <= 0) return {{}, "JPEG image has no pixels"};
    if (std::string failure = checkDimensions(std::uint32_t(width), std::uint32_t(height), options); !failure.empty())
        return {{}, "JPEG " + failure};

    // A header declares any size up to the limits whatever data follows it,
    // and a decode finds the data missing only after the whole image has been
    // allocated: a few hundred bytes declaring 16384 x 4096 texels would cost
    // 256 MiB before failing. So a large image is first decoded at 1/8 scale
    // (each 8 x 8 block to one texel: the same entropy decoding and the same
    // warnings, 1/64 of the memory), and only a file that decodes there is
    // decoded at full size. A damaged file then costs at most 4 MiB of texels
    // beyond that trial; the demo's own images are far below the threshold
    // and are decoded once.
    if (std::uint64_t(width) * std::uint64_t(height) > trialDecodeTexels) {
        const tjscalingfactor eighth{1, 8};
        const int trialWidth = TJSCALED(width, eighth), trialHeight = TJSCALED(height, eighth);
        std::vector<unsigned char> trial(std::size_t(trialWidth) * std::size_t(trialHeight) * 4);
        if (tjDecompress2(handle.get(), data, size, trial.data(), trialWidth, trialWidth * 4, trialHeight, TJPF_BGRA,
                          decodeFlags)
            != 0)
            return {{}, "JPEG data is corrupt or truncated: " + tjMessage(handle.get())};
    }

    DecodeResult result;
    Image& image = result.image;
    image.format = Format::X8R8G8B8;
    image.width = std::uint32_t(width);
    image.height = std::uint32_t(height);
    ImageLevel level = makeLevel(image.format, image.width, image.height);
    // TJPF_BGRA writes B, G, R, 0xFF: the X8R8G8B8 memory order with X opaque.
    if (tjDecompress2(handle.get(), data, size, level.bytes.data(), width, int(level.rowPitch), height, TJPF_BGRA,
                      decodeFlags)
        != 0)
        return {{}, "JPEG data is corrupt or truncated: " + tjMessage(handle.get())};
    image.levels.push_back(std::move(level));
    if (options.generateMips) generateMipChain(image);
    return result;
}

} // namespace ORV::Gfx::detail
