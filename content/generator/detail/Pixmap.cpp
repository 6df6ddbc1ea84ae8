#include "content/generator/detail/Pixmap.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace ORV::Content::detail {

namespace {

std::uint8_t toByte(float v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

std::uint32_t wrapIndex(int v, int period)
{
    return static_cast<std::uint32_t>(((v % period) + period) % period);
}

float lattice(int x, int y, int periodX, int periodY, std::uint32_t seed)
{
    return static_cast<float>(hash(wrapIndex(x, periodX), wrapIndex(y, periodY), seed) >> 8) * (1.0f / 16777215.0f);
}

void put32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct TjCompressor {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBuffer {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

} // namespace

Pixmap::Pixmap(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill)
{
    assert(width > 0 && height > 0);
}

Rgb& Pixmap::wrapped(int x, int y)
{
    x %= width_;
    y %= height_;
    return at(x < 0 ? x + width_ : x, y < 0 ? y + height_ : y);
}

double Pixmap::meanTone() const
{
    double sum = 0;
    for (const Rgb& p : pixels_) sum += (double(p.r) + p.g + p.b) / 3.0;
    return sum / static_cast<double>(pixels_.size());
}

Pixmap Pixmap::halved() const
{
    const int w = std::max(1, width_ / 2), h = std::max(1, height_ / 2);
    Pixmap out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, width_ - 1), x1 = std::min(2 * x + 1, width_ - 1);
            const int y0 = std::min(2 * y, height_ - 1), y1 = std::min(2 * y + 1, height_ - 1);
            const Rgb &a = at(x0, y0), &b = at(x1, y0), &c = at(x0, y1), &d = at(x1, y1);
            out.at(x, y) = {(a.r + b.r + c.r + d.r) / 4, (a.g + b.g + c.g + d.g) / 4, (a.b + b.b + c.b + d.b) / 4};
        }
    return out;
}

std::uint64_t Random::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float tileableNoise(float x, float y, int periodX, int periodY, std::uint32_t seed)
{
    assert(periodX > 0 && periodY > 0);
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const auto smooth = [](float t) { return t * t * (3 - 2 * t); };
    const float tx = smooth(x - fx), ty = smooth(y - fy);
    const float top =
        lattice(ix, iy, periodX, periodY, seed) * (1 - tx) + lattice(ix + 1, iy, periodX, periodY, seed) * tx;
    const float bottom =
        lattice(ix, iy + 1, periodX, periodY, seed) * (1 - tx) + lattice(ix + 1, iy + 1, periodX, periodY, seed) * tx;
    return top * (1 - ty) + bottom * ty;
}

StrokePainter::StrokePainter(int width, int height)
    : width_(width), height_(height), coverage_(static_cast<std::size_t>(width) * height, 0.0f)
{}

double StrokePainter::draw(Pixmap& canvas, const std::vector<StrokePoint>& points, Rgb ink, bool wrap)
{
    assert(canvas.width() == width_ && canvas.height() == height_);
    for (const StrokePoint& p : points) {
        const float radius = p.width * 0.5f;
        const int x0 = static_cast<int>(std::floor(p.x - radius - 1)),
                  x1 = static_cast<int>(std::ceil(p.x + radius + 1));
        const int y0 = static_cast<int>(std::floor(p.y - radius - 1)),
                  y1 = static_cast<int>(std::ceil(p.y + radius + 1));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                int px = x, py = y;
                if (wrap) {
                    px = static_cast<int>(wrapIndex(x, width_));
                    py = static_cast<int>(wrapIndex(y, height_));
                } else if (x < 0 || y < 0 || x >= width_ || y >= height_) {
                    continue;
                }
                // Distance from the pixel's centre to the dot's centre; the
                // dot's edge is a one-pixel ramp.
                const float dx = static_cast<float>(x) + 0.5f - p.x, dy = static_cast<float>(y) + 0.5f - p.y;
                const float c = std::clamp(radius + 0.5f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f) * p.strength;
                if (c <= 0) continue;
                const int index = py * width_ + px;
                float& cell = coverage_[static_cast<std::size_t>(index)];
                if (cell == 0) touched_.push_back(index);
                cell = std::max(cell, c);
            }
    }
    double change = 0;
    for (const int index : touched_) {
        float& c = coverage_[static_cast<std::size_t>(index)];
        Rgb& pixel = canvas.at(index % width_, index / width_);
        const Rgb before = pixel;
        pixel = {pixel.r * (1 - c) + ink.r * c, pixel.g * (1 - c) + ink.g * c, pixel.b * (1 - c) + ink.b * c};
        change += ((double(pixel.r) + pixel.g + pixel.b) - (double(before.r) + before.g + before.b)) / 3.0;
        c = 0;
    }
    touched_.clear();
    return change;
}

std::string encodeJpeg(const Pixmap& image, int quality)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(image.width()) * image.height() * 3);
    std::size_t i = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgb& p = image.at(x, y);
            rgb[i++] = toByte(p.r);
            rgb[i++] = toByte(p.g);
            rgb[i++] = toByte(p.b);
        }
    const std::unique_ptr<void, TjCompressor> compressor(tjInitCompress());
    if (!compressor) throw std::runtime_error("libjpeg-turbo could not start a compressor");
    unsigned char* output = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(compressor.get(), rgb.data(), image.width(), 0, image.height(), TJPF_RGB, &output,
                                   &size, TJSAMP_444, quality, TJFLAG_ACCURATEDCT);
    const std::unique_ptr<unsigned char, TjBuffer> owned(output);
    if (status != 0)
        throw std::runtime_error(std::string("libjpeg-turbo could not compress: ") + tjGetErrorStr2(compressor.get()));
    return std::string(reinterpret_cast<const char*>(output), size);
}

std::string encodeDds(const std::vector<Pixmap>& levels)
{
    assert(!levels.empty());
    const auto width = static_cast<std::uint32_t>(levels[0].width());
    const auto height = static_cast<std::uint32_t>(levels[0].height());
    std::string out = "DDS ";
    put32(out, 124); // header size
    put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // caps, height, width, pitch, pixel format, mip count
    put32(out, height);
    put32(out, width);
    put32(out, width * 4); // pitch of the first level
    put32(out, 0); // depth
    put32(out, static_cast<std::uint32_t>(levels.size()));
    for (int i = 0; i < 11; ++i) put32(out, 0); // reserved
    put32(out, 32); // pixel format size
    put32(out, 0x40); // RGB, no alpha
    put32(out, 0); // FourCC
    put32(out, 32); // bits per pixel
    put32(out, 0x00FF0000);
    put32(out, 0x0000FF00);
    put32(out, 0x000000FF);
    put32(out, 0); // alpha mask
    put32(out, 0x1000 | 0x400000 | 0x8); // texture, mipmap, complex
    for (int i = 0; i < 4; ++i) put32(out, 0); // caps2..4, reserved
    for (std::size_t level = 0; level < levels.size(); ++level) {
        const Pixmap& image = levels[level];
        assert(level == 0
               || (image.width() == std::max(1, levels[level - 1].width() / 2)
                   && image.height() == std::max(1, levels[level - 1].height() / 2)));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const Rgb& p = image.at(x, y);
                out += static_cast<char>(toByte(p.b));
                out += static_cast<char>(toByte(p.g));
                out += static_cast<char>(toByte(p.r));
                out += static_cast<char>(0xFF);
            }
    }
    return out;
}

} // namespace ORV::Content::detail
