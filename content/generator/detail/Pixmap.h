// What the image makers draw on and how it becomes a file: a float RGB canvas
// (0 black .. 1 white, top row first), a seeded random source and tileable
// noise that give the same numbers on every machine, and the JPEG and DDS
// encoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ORV::Content::detail {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb grey(float v)
{
    return {v, v, v};
}

class Pixmap {
public:
    Pixmap(int width, int height, Rgb fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const Rgb& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    // Wraps x and y around the edges: drawing on a tile.
    Rgb& wrapped(int x, int y);

    // Mean of (r + g + b) / 3 over every pixel.
    double meanTone() const;

    // Half the size, each pixel the mean of a 2 x 2 block (odd sizes lose
    // their last row or column; 1 stays 1).
    Pixmap halved() const;

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// A small counter-based generator (SplitMix64). The standard library's
// distributions differ between implementations; these do not.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [0, 1).
    float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
    float range(float low, float high) { return low + (high - low) * unit(); }

private:
    std::uint64_t state_;
};

// Smooth value noise in [0, 1] with x and y in lattice cells, repeating every
// periodX cells across and periodY cells down: seamless on a tile that spans
// whole periods.
float tileableNoise(float x, float y, int periodX, int periodY, std::uint32_t seed);

// One point of a pen or pencil line: where (in pixels, fractions allowed), how
// wide and how much of the ink colour it lays down (0..1).
struct StrokePoint {
    float x, y;
    float width;
    float strength;
};

// Draws lines as chains of overlapping antialiased dots. Within one line the
// strongest dot wins at each pixel (so the spacing of the points does not
// darken it); separate lines layer over each other like graphite or ink:
// pixel = pixel * (1 - c) + ink * c. Keeps a coverage buffer between lines,
// so one painter serves one canvas size.
class StrokePainter {
public:
    StrokePainter(int width, int height);

    // Draws one line and returns the change of the canvas' summed tone
    // ((r + g + b) / 3 over all pixels; negative when it darkens). With wrap,
    // dots past an edge come in at the opposite one (tiles).
    double draw(Pixmap& canvas, const std::vector<StrokePoint>& points, Rgb ink, bool wrap);

private:
    int width_, height_;
    std::vector<float> coverage_;
    std::vector<int> touched_;
};

// Baseline JPEG through libjpeg-turbo, 4:4:4 (no colour subsampling, so
// flat bands and thin strokes keep their edges) with the accurate integer DCT,
// which gives the same bytes whatever SIMD the machine has. Throws
// std::runtime_error when the compressor fails.
std::string encodeJpeg(const Pixmap& image, int quality = 90);

// An uncompressed 32-bit DDS (X8R8G8B8: bytes B, G, R, 0xFF) holding the given
// levels as its mipmap chain, largest first; each level must halve the one
// before it (asserted).
std::string encodeDds(const std::vector<Pixmap>& levels);

} // namespace ORV::Content::detail
