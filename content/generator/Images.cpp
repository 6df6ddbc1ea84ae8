// The images kind: every texture of the demo's manifest, in manifest order.
// Conventions and sizes are in Images.h.
#include "content/generator/Images.h"

#include "content/generator/detail/CreditsCard.h"
#include "content/generator/detail/Hatching.h"
#include "content/generator/detail/Kinds.h"
#include "content/generator/detail/Pixmap.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

namespace ORV::Content::detail {

namespace {

float smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// A ramp from a function of u, the texel centre in 0..1, repeated down the rows.
template <typename ToneOf> Pixmap makeRamp(ToneOf&& toneOf)
{
    Pixmap ramp(Images::rampWidth, Images::rampHeight);
    for (int x = 0; x < Images::rampWidth; ++x) {
        const Rgb tone = toneOf(x, (static_cast<float>(x) + 0.5f) / Images::rampWidth);
        for (int y = 0; y < Images::rampHeight; ++y) ramp.at(x, y) = tone;
    }
    return ramp;
}

Pixmap diffuseRamp()
{
    return makeRamp([](int x, float) {
        int band = 0;
        while (band + 1 < static_cast<int>(std::size(Images::diffuseBandStart))
               && x >= Images::diffuseBandStart[band + 1])
            ++band;
        return grey(Images::diffuseBandTone[band]);
    });
}

Pixmap specularRamp()
{
    return makeRamp([](int x, float) { return grey(x >= Images::specularStart ? 1.0f : 0.0f); });
}

Pixmap glowRamp()
{
    return makeRamp([](int, float u) { return grey(smoothstep(Images::glowStart, Images::glowFull, u)); });
}

// Brushed metal-like gloss: streaks that run across (stretched noise, 2 cells
// across and 96 down), soft blotches and a fine grain, all periodic in the tile.
Pixmap glossMap()
{
    const int size = Images::materialSize;
    Pixmap map(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = static_cast<float>(x) / size, v = static_cast<float>(y) / size;
            const float streaks = tileableNoise(u * 3, v * 96, 3, 96, 0x5B7u) * 0.6f
                                  + tileableNoise(u * 8, v * 192, 8, 192, 0x5B8u) * 0.4f;
            const float blotches = tileableNoise(u * 4, v * 4, 4, 4, 0x5B9u);
            const float grain = tileableNoise(static_cast<float>(x), static_cast<float>(y), size, size, 0x5BAu);
            const float gloss = 0.55f + 0.22f * (streaks - 0.5f) + 0.14f * (blotches - 0.5f) + 0.06f * (grain - 0.5f);
            map.at(x, y) = grey(gloss);
        }
    return map;
}

// White-hot core, warm halo, eight faint rays; black from the inscribed
// circle outwards.
Pixmap lightSprite()
{
    const int size = Images::lightSize;
    Pixmap sprite(size, size);
    const float centre = static_cast<float>(size) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - centre) / centre;
            const float dy = (static_cast<float>(y) + 0.5f - centre) / centre;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float window = 1 - smoothstep(0.55f, 0.97f, r);
            const float core = std::exp(-(r / 0.09f) * (r / 0.09f));
            const float halo = std::exp(-r * 5.0f) * 0.7f + std::exp(-(r / 0.38f) * (r / 0.38f)) * 0.3f;
            const float angle = std::atan2(dy, dx);
            const float rays = std::pow(std::abs(std::cos(4 * angle + 0.3f)), 60.0f) * std::exp(-r * 4.0f) * 0.16f;
            const float warm = (halo + rays) * window;
            const float white = core * window;
            sprite.at(x, y) = {std::min(1.0f, white + warm * 1.0f), std::min(1.0f, white + warm * 0.82f),
                               std::min(1.0f, white + warm * 0.58f)};
        }
    return sprite;
}

Asset jpeg(const char* path, const Pixmap& image)
{
    return {path, encodeJpeg(image), Asset::Place::Archive, false};
}

} // namespace

void makeImages(const GeneratorInputs& inputs, AssetList& out)
{
    // The card first: a missing font is the likeliest failure, and it should
    // not wait for the hatching.
    const Pixmap card = makeCreditsCard(inputs.fontDir);
    out.push_back(jpeg("black.jpg", Pixmap(Images::flatSize, Images::flatSize, grey(0))));
    for (int set = Images::hatchSets - 1; set >= 0; --set)
        out.push_back({"Hatch" + std::to_string(set) + ".dds", encodeDds(makeHatchSet(set))});
    out.push_back(jpeg("light3.jpg", lightSprite()));
    out.push_back(jpeg("cartoon_d.jpg", diffuseRamp()));
    out.push_back(jpeg("cartoon_s.jpg", specularRamp()));
    out.push_back(jpeg("cartoon_g.jpg", glowRamp()));
    out.push_back(jpeg("grey33.jpg", Pixmap(Images::flatSize, Images::flatSize, grey(Images::grey33Level / 255.0f))));
    out.push_back(jpeg("specular2.jpg", glossMap()));
    out.push_back(jpeg("prods.jpg", card));
}

} // namespace ORV::Content::detail
