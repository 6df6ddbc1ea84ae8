// Every material the scenes use is made here, on one of the four effects. The
// effects' parameter names live in this one place: matching them to the
// effect files is an edit of the constants below. Colours are written as the
// effects read them: "r g b", each 0-255.
#pragma once

#include "scene/SceneFile.h"

#include <cassert>
#include <string>

namespace ORV::Content {

namespace MaterialNames {
inline constexpr const char* celEffect = "cartoon.fx";
inline constexpr const char* hatchEffect = "HatchCartoon.fx";
inline constexpr const char* glowEffect = "Additive.fx";

// cartoon.fx and HatchCartoon.fx.
inline constexpr const char* diffuseColor = "diffuseColor";
inline constexpr const char* glowColor = "glowColor";
// HatchCartoon.fx (the only effect with a diffuse texture).
inline constexpr const char* ambientLevel = "ambientLevel";
inline constexpr const char* diffuseTexture = "diffuseTex";
inline constexpr const char* textureAmount = "textureAmount"; // also Additive.fx's
// cartoon.fx only.
inline constexpr const char* rampTexture = "rampTex";
inline constexpr const char* specularTexture = "specularTex";
// HatchCartoon.fx only.
inline constexpr const char* hatchTexture = "hatchTex";
// Additive.fx.
inline constexpr const char* color = "color";
inline constexpr const char* texture = "tex";
inline constexpr const char* intensity = "intensity";

inline constexpr const char* diffuseRampImage = "cartoon_d.jpg";
inline constexpr const char* specularRampImage = "cartoon_s.jpg";
inline constexpr const char* glowImage = "light3.jpg";
// Hatching sets, by stroke direction: rising right, rising left, level.
inline constexpr const char* hatchImages[3] = {"Hatch0.dds", "Hatch1.dds", "Hatch2.dds"};
inline constexpr const char* creditsImage = "prods.jpg";
// For a texture an effect reads but a material does not show: the smallest
// image. A software rasteriser reads it for every pixel all the same, and a
// large one would cost cache misses for nothing.
inline constexpr const char* unshownImage = "black.jpg";
} // namespace MaterialNames

// An 8-bit colour as the effects' colour parameters take it.
struct Colour {
    int r = 0, g = 0, b = 0;
};

inline std::string colourText(Colour c)
{
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b);
}

// Every material of an effect sets the same parameters: an effect keeps the
// values the last material gave it, so a parameter one material sets and
// another leaves alone would carry over (a glow would spread to every object
// drawn after the glowing one).

// Flat cel tones with the ink outline; glow, when given, is drawn in the
// emissive pass and blooms.
inline Demo::MaterialRecord celMaterial(const std::string& name, Colour colour, const Colour* glow = nullptr)
{
    using namespace MaterialNames;
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = celEffect;
    m.parameters = {{diffuseColor, colourText(colour)},
                    {rampTexture, diffuseRampImage},
                    {specularTexture, specularRampImage},
                    {glowColor, colourText(glow ? *glow : Colour{})}};
    return m;
}

// Cel tones with pencil hatching in the shadows, from hatching set `set`
// (0 .. 2, see hatchImages).
inline Demo::MaterialRecord hatchMaterial(const std::string& name, Colour colour, int set = 0)
{
    using namespace MaterialNames;
    assert(set >= 0 && set < 3);
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = hatchEffect;
    m.parameters = {{diffuseColor, colourText(colour)},
                    {hatchTexture, hatchImages[set]},
                    {glowColor, colourText(Colour{})},
                    {diffuseTexture, unshownImage}, // read but not shown while textureAmount is 0
                    {textureAmount, "0"},
                    {ambientLevel, "0.15"}};
    return m;
}

// Light itself: drawn only in the emissive pass, added to what is there. A
// sprite (a quad facing the camera) takes the soft light image across it; a
// beam, ring or window glows flat.
inline Demo::MaterialRecord glowMaterial(const std::string& name, Colour colour, float strength = 1.0f,
                                         bool sprite = false)
{
    using namespace MaterialNames;
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = glowEffect;
    m.parameters = {{color, colourText(colour)},
                    {intensity, std::to_string(strength)},
                    {texture, glowImage},
                    {textureAmount, sprite ? "1" : "0"}};
    return m;
}

// A card showing an image (the credits) on the hatching effect, which alone
// carries a texture: white base so the image keeps its own colours, and lit
// well without a lamp, so that only a few pencil strokes cross the text.
inline Demo::MaterialRecord cardMaterial(const std::string& name, const std::string& image)
{
    Demo::MaterialRecord m = hatchMaterial(name, {255, 255, 255});
    m.parameters.insert_or_assign(MaterialNames::diffuseTexture, image);
    m.parameters.insert_or_assign(MaterialNames::textureAmount, std::string(1, '1'));
    m.parameters.insert_or_assign(MaterialNames::ambientLevel, std::string("0.8"));
    return m;
}

} // namespace ORV::Content
