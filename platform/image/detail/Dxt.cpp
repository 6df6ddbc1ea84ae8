// S3TC (DXT1, DXT3, DXT5) block decoding, used when a DDS file's mipmap chain
// is incomplete and the missing levels must be filtered from decoded texels.

#include "platform/image/detail/ImageDecoders.h"

#include "core/ByteOrder.h"

#include <algorithm>
#include <cassert>

namespace ORV::Gfx::detail {

namespace {

struct Bgra {
    std::uint8_t b, g, r, a;
};

Bgra expand565(std::uint16_t c)
{
    const unsigned r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return {std::uint8_t((b << 3) | (b >> 2)), std::uint8_t((g << 2) | (g >> 4)), std::uint8_t((r << 3) | (r >> 2)),
            255};
}

Bgra mix(Bgra p, Bgra q, unsigned wp, unsigned wq)
{
    const unsigned w = wp + wq;
    return {std::uint8_t((p.b * wp + q.b * wq) / w), std::uint8_t((p.g * wp + q.g * wq) / w),
            std::uint8_t((p.r * wp + q.r * wq) / w), 255};
}

// The colour half of every block. DXT1 blocks whose first colour is not
// greater than the second use three colours and transparent black; DXT3 and
// DXT5 colour blocks always use four colours.
void decodeColours(const std::uint8_t* block, bool allowTransparent, Bgra out[16])
{
    const std::uint16_t c0 = Core::readLittle16(block), c1 = Core::readLittle16(block + 2);
    Bgra palette[4];
    palette[0] = expand565(c0);
    palette[1] = expand565(c1);
    if (c0 > c1 || !allowTransparent) {
        palette[2] = mix(palette[0], palette[1], 2, 1);
        palette[3] = mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1);
        palette[3] = {0, 0, 0, 0};
    }
    for (int i = 0; i < 16; ++i) out[i] = palette[(block[4 + i / 4] >> ((i % 4) * 2)) & 3];
}

void decodeExplicitAlpha(const std::uint8_t* block, Bgra out[16])
{
    for (int i = 0; i < 16; ++i) {
        const unsigned nibble = (block[i / 2] >> ((i % 2) * 4)) & 15;
        out[i].a = std::uint8_t(nibble * 17);
    }
}

void decodeInterpolatedAlpha(const std::uint8_t* block, Bgra out[16])
{
    const unsigned a0 = block[0], a1 = block[1];
    std::uint8_t palette[8] = {std::uint8_t(a0), std::uint8_t(a1)};
    if (a0 > a1) {
        for (unsigned i = 2; i < 8; ++i) palette[i] = std::uint8_t(((8 - i) * a0 + (i - 1) * a1) / 7);
    } else {
        for (unsigned i = 2; i < 6; ++i) palette[i] = std::uint8_t(((6 - i) * a0 + (i - 1) * a1) / 5);
        palette[6] = 0;
        palette[7] = 255;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= std::uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) out[i].a = palette[(bits >> (3 * i)) & 7];
}

} // namespace

void decompressDxt(Format format, const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                   std::uint8_t* bgra)
{
    const std::uint32_t blockSize = blockBytes(format);
    assert(blockSize != 0);
    const std::uint32_t blocksWide = blocksAcross(width);
    const std::uint32_t blocksHigh = blocksAcross(height);
    Bgra texels[16];
    for (std::uint32_t by = 0; by < blocksHigh; ++by) {
        for (std::uint32_t bx = 0; bx < blocksWide; ++bx) {
            const std::uint8_t* block = blocks + (std::size_t(by) * blocksWide + bx) * blockSize;
            if (format == Format::DXT1) {
                decodeColours(block, true, texels);
            } else {
                decodeColours(block + 8, false, texels);
                if (format == Format::DXT3)
                    decodeExplicitAlpha(block, texels);
                else
                    decodeInterpolatedAlpha(block, texels);
            }
            for (std::uint32_t ty = 0; ty < 4 && by * 4 + ty < height; ++ty) {
                for (std::uint32_t tx = 0; tx < 4 && bx * 4 + tx < width; ++tx) {
                    const Bgra& t = texels[ty * 4 + tx];
                    std::uint8_t* out = bgra + (std::size_t(by * 4 + ty) * width + bx * 4 + tx) * 4;
                    out[0] = t.b;
                    out[1] = t.g;
                    out[2] = t.r;
                    out[3] = t.a;
                }
            }
        }
    }
}

} // namespace ORV::Gfx::detail
