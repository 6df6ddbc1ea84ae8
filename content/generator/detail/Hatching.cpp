// How the tiles are made (after the tonal art maps of Praun et al.):
//
// Strokes are placed once, in tile units, in two ordered lists: A, the main
// hatching direction, and B, the crossing one, each stroke picked at the
// largest level where it leaves the tile most even (orderedStrokes). At every
// mipmap level a tile is drawn at that level's resolution, stroke after
// stroke from its list, until
// the level's mean tone reaches the tile's tone; strokes keep a width of about
// one texel at every level, so a smaller level needs fewer of them and stays
// lines instead of the grey a box filter would give. Tile t starts from tile
// t - 1's picture at the same level and goes on where that one stopped (tiles
// 0 and 1 in list A, tile 2 adds list B across them), so a denser tile holds
// the strokes of the lighter ones. Levels below minimumDrawnSize are too small
// to hold a stroke and are box-filtered from the level above, which keeps
// their mean tone. The three tiles of a set go to the red, green and blue of
// one image; the sets differ in their angles and seeds.
//
// Everything wraps around the tile edges, so the tiles repeat seamlessly.
#include "content/generator/detail/Hatching.h"

#include "content/generator/Images.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace ORV::Content::detail {

namespace {

constexpr int minimumDrawnSize = 8;
constexpr float strokeWidth = 1.15f; // texels, at every level
constexpr Rgb graphite = {0.16f, 0.16f, 0.18f}; // soft pencil: dark grey with a slight cool sheen

// One stroke in tile units (the tile is 1 x 1).
struct Stroke {
    float cx, cy; // centre
    float dx, dy; // unit direction
    float length;
    float bow; // sideways bend at the middle, tile units
    float wobble, wobblePhase, wobbleCycles; // a hand's tremor
    float pressure; // 0..1
    std::uint32_t grainSeed;
};

// A stroke somewhere in the tile, along angle (degrees, counter-clockwise
// from the right) give or take a few degrees.
Stroke randomStroke(Random& random, float angleDegrees)
{
    const float a = (angleDegrees + random.range(-4.0f, 4.0f)) * std::numbers::pi_v<float> / 180;
    Stroke s;
    s.cx = random.unit();
    s.cy = random.unit();
    s.dx = std::cos(a);
    s.dy = -std::sin(a); // rows go down
    s.length = random.range(0.16f, 0.36f);
    s.bow = random.range(-0.006f, 0.006f);
    s.wobble = random.range(0.0008f, 0.0022f);
    s.wobblePhase = random.range(0, 2 * std::numbers::pi_v<float>);
    s.wobbleCycles = random.range(0.7f, 2.2f);
    s.pressure = random.range(0.55f, 1.0f);
    s.grainSeed = static_cast<std::uint32_t>(random.next());
    return s;
}

// The stroke's dots at a level `size` texels across. Pressure rises quickly
// at the start and fades over the last third, as a pencil lifting off; the
// paper's grain breaks the line a little along its length.
std::vector<StrokePoint> strokePoints(const Stroke& s, int size)
{
    const float scale = static_cast<float>(size);
    const float lengthTexels = s.length * scale;
    const int count = std::max(2, static_cast<int>(std::ceil(lengthTexels / 0.35f)));
    std::vector<StrokePoint> points;
    points.reserve(static_cast<std::size_t>(count));
    const float px = -s.dy, py = s.dx;
    for (int i = 0; i < count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count - 1);
        const float middle = 1 - (2 * t - 1) * (2 * t - 1);
        const float side =
            s.bow * middle + s.wobble * std::sin(2 * std::numbers::pi_v<float> * s.wobbleCycles * t + s.wobblePhase);
        const float along = (t - 0.5f) * s.length;
        const float x = (s.cx + s.dx * along + px * side) * scale;
        const float y = (s.cy + s.dy * along + py * side) * scale;
        const float attack = std::min(1.0f, t / 0.08f);
        const float release = t > 0.65f ? 1 - 0.75f * (t - 0.65f) / 0.35f : 1.0f;
        const float grain = 0.8f + 0.2f * tileableNoise(t * lengthTexels * 0.5f, 0, 1 << 20, 1, s.grainSeed);
        points.push_back({x, y, strokeWidth, s.pressure * attack * release * grain});
    }
    return points;
}

// Mean tone of the canvas under the stroke's dots (nearest texel, wrapped).
float toneUnder(Pixmap& canvas, const std::vector<StrokePoint>& points)
{
    float sum = 0;
    for (const StrokePoint& p : points) {
        const Rgb& texel = canvas.wrapped(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)));
        sum += texel.r + texel.g + texel.b;
    }
    return sum / (3.0f * static_cast<float>(points.size()));
}

// The stroke lists, ordered at the largest level: each next stroke is the
// best of a few random candidates, the one over the lightest paper, so every
// prefix of a list covers the tile evenly (no clumps, no bare patches) and
// the smaller levels, which draw prefixes, are as even. A list runs on past
// the tone of its last tile by half again, for the smaller levels' rounding.
std::vector<Stroke> orderedStrokes(Pixmap& canvas, StrokePainter& painter, double& toneSum, float angleDegrees,
                                   float untilTone, std::uint64_t seed)
{
    constexpr int candidates = 8;
    Random random(seed);
    std::vector<Stroke> list;
    const int size = canvas.width();
    const double pixels = static_cast<double>(size) * size;
    const double start = toneSum / pixels;
    const auto pick = [&] {
        Stroke best{};
        float bestTone = -1;
        for (int i = 0; i < candidates; ++i) {
            const Stroke s = randomStroke(random, angleDegrees);
            const float tone = toneUnder(canvas, strokePoints(s, size));
            if (tone > bestTone) bestTone = tone, best = s;
        }
        return best;
    };
    while (toneSum / pixels > untilTone) {
        list.push_back(pick());
        toneSum += painter.draw(canvas, strokePoints(list.back(), size), graphite, true);
    }
    // The spare strokes are drawn on a copy, so the caller's canvas stops at
    // the tone asked for.
    Pixmap spare = canvas;
    double spareSum = toneSum;
    const double spareTone = untilTone - 0.5 * (start - untilTone);
    while (spareSum / pixels > spareTone) {
        list.push_back(pick());
        spareSum += painter.draw(spare, strokePoints(list.back(), size), graphite, true);
    }
    return list;
}

} // namespace

std::vector<Pixmap> makeHatchSet(int set)
{
    using Images::hatchSize;
    using Images::hatchTiles;
    // Each set's main direction (tiles 0 and 1) and the one crossing it
    // (tile 2), degrees counter-clockwise from the right, with the seeds of
    // their stroke lists.
    struct Style {
        float mainAngle, crossAngle;
        std::uint64_t mainSeed, crossSeed;
    };
    static constexpr Style styles[Images::hatchSets] = {
        {38.0f, -52.0f, 0x4A7C1E55u, 0x0B5E7713u},
        {142.0f, 52.0f, 0x61D2A3C9u, 0x3F08B54Du},
        {8.0f, 98.0f, 0x2C95E071u, 0x7A13D6B9u},
    };
    if (set < 0 || set >= Images::hatchSets) throw std::logic_error("no such hatching set");
    const Style& style = styles[set];
    std::vector<Stroke> listA, listB;
    {
        StrokePainter painter(hatchSize, hatchSize);
        Pixmap canvas(hatchSize, hatchSize, grey(1.0f));
        double toneSum = static_cast<double>(hatchSize) * hatchSize;
        listA = orderedStrokes(canvas, painter, toneSum, style.mainAngle, Images::hatchTone[1], style.mainSeed);
        listB = orderedStrokes(canvas, painter, toneSum, style.crossAngle, Images::hatchTone[2], style.crossSeed);
    }
    const std::vector<Stroke>* tileList[hatchTiles] = {&listA, &listA, &listB};

    std::vector<Pixmap> levels;
    for (int size = hatchSize; size >= 1; size /= 2) {
        if (size < minimumDrawnSize) {
            levels.push_back(levels.back().halved());
            continue;
        }
        StrokePainter painter(size, size);
        const double pixels = static_cast<double>(size) * size;
        Pixmap canvas(size, size, grey(1.0f));
        Pixmap packed(size, size);
        double toneSum = pixels;
        std::size_t next[2] = {0, 0}; // next stroke of list A, list B
        for (int t = 0; t < hatchTiles; ++t) {
            const std::vector<Stroke>& list = *tileList[t];
            std::size_t& index = next[&list == &listA ? 0 : 1];
            while (toneSum / pixels > Images::hatchTone[t]) {
                if (index == list.size()) throw std::logic_error("the hatching ran out of strokes");
                toneSum += painter.draw(canvas, strokePoints(list[index++], size), graphite, true);
            }
            // The tile's tone into its channel (the strokes' grey, from red).
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    Rgb& texel = packed.at(x, y);
                    (t == 0 ? texel.r : t == 1 ? texel.g : texel.b) = canvas.at(x, y).r;
                }
        }
        levels.push_back(std::move(packed));
    }
    return levels;
}

} // namespace ORV::Content::detail
