// Every material the scenes use is made here, on one of the four effects. The
// effects' parameter names live in this one place: matching them to the
// effect files is an edit of the constants below. Colours are written as the
// effects read them: "r g b", each 0-255.
#pragma once

#include "scene/SceneFile.h"

#include <string>

namespace ORV::Content {

namespace MaterialNames {
inline constexpr const char* celEffect = "cartoon.fx";
inline constexpr const char* hatchEffect = "HatchCartoon.fx";
inline constexpr const char* glowEffect = "Additive.fx";

inline constexpr const char* baseColor = "baseColor";
inline constexpr const char* baseTexture = "baseTexture";
inline constexpr const char* diffuseRamp = "diffuseRamp";
inline constexpr const char* specularRamp = "specularRamp";
inline constexpr const char* glowColor = "glowColor";
inline constexpr const char* glowTexture = "glowTexture";
inline constexpr const char* intensity = "intensity";
inline constexpr const char* hatch[3] = {"hatch0", "hatch1", "hatch2"};

inline constexpr const char* diffuseRampImage = "cartoon_d.jpg";
inline constexpr const char* specularRampImage = "cartoon_s.jpg";
inline constexpr const char* glowImage = "light3.jpg";
inline constexpr const char* hatchImages[3] = {"Hatch0.dds", "Hatch1.dds", "Hatch2.dds"};
inline constexpr const char* creditsImage = "prods.jpg";
} // namespace MaterialNames

// An 8-bit colour as the effects' colour parameters take it.
struct Colour {
    int r = 0, g = 0, b = 0;
};

inline std::string colourText(Colour c)
{
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b);
}

// Flat cel tones with the ink outline; glow, when given, is drawn in the
// emissive pass and blooms.
inline Demo::MaterialRecord celMaterial(const std::string& name, Colour colour, const Colour* glow = nullptr)
{
    using namespace MaterialNames;
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = celEffect;
    m.parameters = {
        {baseColor, colourText(colour)}, {diffuseRamp, diffuseRampImage}, {specularRamp, specularRampImage}};
    if (glow) m.parameters[glowColor] = colourText(*glow);
    return m;
}

// Cel tones with pencil hatching in the shadows.
inline Demo::MaterialRecord hatchMaterial(const std::string& name, Colour colour)
{
    using namespace MaterialNames;
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = hatchEffect;
    m.parameters = {{baseColor, colourText(colour)},
                    {hatch[0], hatchImages[0]},
                    {hatch[1], hatchImages[1]},
                    {hatch[2], hatchImages[2]}};
    return m;
}

// Light itself: drawn only in the emissive pass, added to what is there.
inline Demo::MaterialRecord glowMaterial(const std::string& name, Colour colour, float strength = 1.0f)
{
    using namespace MaterialNames;
    Demo::MaterialRecord m;
    m.name = name;
    m.effectName = glowEffect;
    m.parameters = {{glowColor, colourText(colour)}, {glowTexture, glowImage}, {intensity, std::to_string(strength)}};
    return m;
}

// A cel-shaded card showing an image (the credits): white base so the image
// keeps its own colours.
inline Demo::MaterialRecord cardMaterial(const std::string& name, const std::string& texture)
{
    Demo::MaterialRecord m = celMaterial(name, {255, 255, 255});
    m.parameters[MaterialNames::baseTexture] = texture;
    return m;
}

} // namespace ORV::Content
