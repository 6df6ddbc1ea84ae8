// The demo's four effect files from content/effects: each compiles through the
// engine's loader with every pass the chain or the scenes draw, and the
// parameters the scene files set are there with a kind materials can set; and
// on the effect stage (a lit sphere through the whole chain, off-screen at
// 640 x 480) the pictures show what the files are for: flat cel bands,
// pencil strokes on the dark side, ink along the silhouette, paper behind,
// glow beyond an additive object's pixels, and the script's fades.
#include "content/look/Look.h"
#include "platform/gfx/CompiledEffect.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;

namespace {

constexpr int kWidth = 640, kHeight = 480;

// What a scene file can set: a texture by path, a float by its text, a colour
// by a 0-255 triple (any float vector).
enum class Kind { Texture, Float, Colour };

struct EffectFile {
    const char* path;
    std::vector<std::string> passes;
    std::vector<std::string> absentPasses; // render passes it must not draw in
    std::vector<std::pair<std::string, Kind>> materialParameters;
    std::vector<std::string> semantics;
};

const std::vector<EffectFile>& effectFiles()
{
    static const std::vector<EffectFile> files = {
        {"cartoon.fx",
         {"ambient", "shade", "depthdist", "emissive"},
         {},
         {{"diffuseColor", Kind::Colour},
          {"rampTex", Kind::Texture},
          {"specularTex", Kind::Texture},
          {"specularColor", Kind::Colour},
          {"shininess", Kind::Float},
          {"ambientLevel", Kind::Float},
          {"glowColor", Kind::Colour}},
         {"WorldViewProj", "AMBIENT", "LIGHTPOSITION", "LIGHTCOLOR", "LIGHTRADIUS"}},
        {"HatchCartoon.fx",
         {"ambient", "shade", "depthdist", "emissive"},
         {},
         {{"hatchTex", Kind::Texture},
          {"paperColor", Kind::Colour},
          {"diffuseColor", Kind::Colour},
          {"diffuseTex", Kind::Texture},
          {"textureAmount", Kind::Float},
          {"hatchScale", Kind::Float},
          {"ambientLevel", Kind::Float},
          {"glowColor", Kind::Colour}},
         {"WorldViewProj", "Projection", "AMBIENT", "LIGHTPOSITION", "LIGHTCOLOR", "LIGHTRADIUS"}},
        {"Additive.fx",
         {"emissive"},
         {"ambient", "shade", "depthdist"},
         {{"color", Kind::Colour}, {"intensity", Kind::Float}, {"tex", Kind::Texture}, {"textureAmount", Kind::Float}},
         {"WorldViewProj"}},
        {"ink.fx",
         {"outline", "reduce", "blurh", "blurv", "final"},
         {},
         {{"shadeTex", Kind::Texture}, {"depthDistTex", Kind::Texture}, {"finalTex", Kind::Texture}},
         {"FXCUT", "FXDARK", "FXLIGHT"}},
    };
    return files;
}

bool hasKind(const Gfx::ParameterDesc& desc, Kind kind)
{
    switch (kind) {
    case Kind::Texture: return desc.type == Gfx::ParameterType::Texture || desc.type == Gfx::ParameterType::Texture2D;
    case Kind::Float:
        return desc.type == Gfx::ParameterType::Float && desc.parameterClass == Gfx::ParameterClass::Scalar;
    case Kind::Colour:
        return desc.type == Gfx::ParameterType::Float && desc.parameterClass == Gfx::ParameterClass::Vector;
    }
    return false;
}

TEST(EffectFiles, EachCompilesThroughTheLoaderWithThePassesAndParametersItsUsersName)
{
    Display display;
    ASSERT_TRUE(display.createWindow(64, 64, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    fileSystem().remount(ORV_EFFECTS_DIR);
    // The demo runs from its asset folder; loose files with capitals in their
    // names ("Additive.fx") are reached through the working directory, not
    // the mount (which matches lower-cased names only).
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(ORV_EFFECTS_DIR);
    for (const EffectFile& file : effectFiles()) resourceRegistry().addResource(file.path, file.path, loadShader);
    while (resourceRegistry().pendingCount() != 0) resourceRegistry().loadNext();
    std::filesystem::current_path(before);

    for (const EffectFile& file : effectFiles()) {
        SCOPED_TRACE(file.path);
        const auto* shader = dynamic_cast<Shader*>(resourceRegistry().findByPath(file.path));
        ASSERT_NE(shader, nullptr);
        Gfx::CompiledEffect* effect = shader->effect();
        ASSERT_NE(effect, nullptr) << "does not compile";
        // The technique the demo uses is valid only when every pass linked.
        ASSERT_TRUE(shader->technique()) << effect->linkMessages();
        for (const std::string& pass : file.passes)
            EXPECT_TRUE(effect->passByName(shader->technique(), pass)) << "pass " << pass;
        for (const std::string& pass : file.absentPasses)
            EXPECT_FALSE(effect->passByName(shader->technique(), pass)) << "pass " << pass;
        for (const auto& [name, kind] : file.materialParameters) {
            const Gfx::ParameterHandle parameter = effect->parameterByName(name);
            ASSERT_TRUE(parameter) << "parameter " << name;
            EXPECT_TRUE(hasKind(effect->parameterDesc(parameter), kind)) << "parameter " << name;
        }
        for (const std::string& semantic : file.semantics) {
            bool found = false;
            for (std::uint32_t i = 0; i < effect->desc().parameters; ++i)
                found = found || effect->parameterDesc(effect->parameter(i)).semantic == semantic;
            EXPECT_TRUE(found) << "semantic " << semantic;
        }
    }
    resourceRegistry().releaseAll();
}

int red(std::uint32_t argb)
{
    return int(argb >> 16 & 0xFF);
}
int luminance(std::uint32_t argb)
{
    return int((299 * (argb >> 16 & 0xFF) + 587 * (argb >> 8 & 0xFF) + 114 * (argb & 0xFF)) / 1000);
}

class EffectStage : public ::testing::Test {
protected:
    // A new stage of these objects (one at a time: the old one goes first).
    bool build(const std::vector<Content::StageObject>& objects)
    {
        owned.reset();
        owned = std::make_unique<Content::Stage>(kWidth, kHeight);
        EXPECT_TRUE(owned->ok()) << owned->error();
        const bool built = owned->build(ORV_EFFECTS_DIR, folder.path(), objects);
        EXPECT_TRUE(built) << owned->error();
        return built;
    }
    std::uint32_t at(const std::vector<std::uint32_t>& pixels, int x, int y) const
    {
        return pixels[std::size_t(std::clamp(y, 0, kHeight - 1) * kWidth + std::clamp(x, 0, kWidth - 1))];
    }
    // The sphere's extent along its centre row, from the shade image: the
    // shade target is cleared to pure blue and only the sphere covers it.
    std::pair<int, int> silhouetteRow(int y)
    {
        const std::vector<std::uint32_t> shade = stage().read(stage().chain().shadeTarget());
        int left = -1, right = -1;
        for (int x = 0; x < kWidth; ++x)
            if (at(shade, x, y) != 0xFF0000FFu) {
                if (left < 0) left = x;
                right = x;
            }
        return {left, right};
    }

    ORV::Test::TempDir folder;
    std::unique_ptr<Content::Stage> owned;
    Content::Stage& stage() { return *owned; }
};

// Runs of neighbouring pixels whose red differs by at most 2: flat tones.
struct Plateaus {
    int count = 0; // runs at least 5 pixels long
    int covered = 0; // pixels in them
};
Plateaus plateaus(const std::vector<int>& values)
{
    Plateaus result;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= values.size(); ++i)
        if (i == values.size() || std::abs(values[i] - values[i - 1]) > 2) {
            if (i - start >= 5) {
                ++result.count;
                result.covered += int(i - start);
            }
            start = i;
        }
    return result;
}

TEST_F(EffectStage, CelShadingGivesFlatBandsInkedAtTheSilhouetteOnPaper)
{
    ASSERT_TRUE(build({{"cartoon.fx", Content::cartoonParameters("150 150 150"), {0, 0, 0}, 1.0f}}));
    const std::vector<std::uint32_t> image = stage().frame();
    const Core::Vector3 centre = stage().project({0, 0, 0});
    const int cx = int(centre.x), cy = int(centre.y);
    const auto [left, right] = silhouetteRow(cy);
    ASSERT_GT(left, 0);
    ASSERT_GT(right - left, 200) << "the sphere fills a good part of the frame";

    // Across the row, inside the ink: a few flat tones, not a gradient.
    std::vector<int> row;
    for (int x = left + 5; x <= right - 5; ++x) row.push_back(red(at(image, x, cy)));
    const Plateaus flat = plateaus(row);
    EXPECT_GE(flat.count, 3) << "distinct bands";
    EXPECT_GE(flat.covered * 10, int(row.size()) * 9) << "nearly every pixel lies on a flat band";
    int distinct = 0;
    std::vector<int> seen = row;
    std::sort(seen.begin(), seen.end());
    for (std::size_t i = 0; i < seen.size(); ++i) distinct += i == 0 || seen[i] - seen[i - 1] > 6;
    EXPECT_LE(distinct, 8) << "tones, not shades";
    EXPECT_GT(red(at(image, right - 20, cy - 10)), red(at(image, left + 20, cy + 10)) + 40)
        << "the side towards the key light is lighter";

    // Ink on both sides of the row and at the top and bottom of the column,
    // much darker than the sphere just inside and the paper just outside.
    const auto darkest = [&](int x0, int y0, int dx, int dy) {
        int value = 255;
        for (int k = -2; k <= 2; ++k) value = std::min(value, luminance(at(image, x0 + k * dx, y0 + k * dy)));
        return value;
    };
    const auto [top, bottom] = [&] {
        const std::vector<std::uint32_t> shade = stage().read(stage().chain().shadeTarget());
        int first = -1, last = -1;
        for (int y = 0; y < kHeight; ++y)
            if (at(shade, cx, y) != 0xFF0000FFu) {
                if (first < 0) first = y;
                last = y;
            }
        return std::pair{first, last};
    }();
    struct Edge {
        const char* where;
        int x, y, dx, dy; // the edge pixel and the outward direction
    };
    for (const Edge& e : {Edge{"left", left, cy, -1, 0}, Edge{"right", right, cy, 1, 0}, Edge{"top", cx, top, 0, -1},
                          Edge{"bottom", cx, bottom, 0, 1}}) {
        SCOPED_TRACE(e.where);
        const int ink = darkest(e.x, e.y, e.dx, e.dy);
        const int inside = luminance(at(image, e.x - 8 * e.dx, e.y - 8 * e.dy));
        const int outside = luminance(at(image, e.x + 8 * e.dx, e.y + 8 * e.dy));
        EXPECT_LT(ink * 3, inside);
        EXPECT_LT(ink * 3, outside);
        // The line is narrow: two pixels each way from the edge it is gone.
        EXPECT_GT(luminance(at(image, e.x + 3 * e.dx, e.y + 3 * e.dy)), outside - 12);
    }

    // What the outline pass reads: at the sphere's middle the normal faces
    // the camera (x, y = 0 as 128) and the 16-bit closeness 1 - depth / 512 of
    // the nearest point, 4.5 units away; the cleared background has a zero
    // high byte.
    const std::vector<std::uint32_t> depth = stage().read(stage().chain().depthDistTarget());
    const std::uint32_t middle = at(depth, cx, cy);
    EXPECT_NEAR(int(middle >> 16 & 0xFF), 128, 2);
    EXPECT_NEAR(int(middle >> 8 & 0xFF), 128, 2);
    const int closeness = int(middle & 0xFF) * 256 + int(middle >> 24);
    EXPECT_NEAR(closeness, int(std::lround((1.0 - 4.5 / 512) * 65535)), 40);
    EXPECT_EQ(at(depth, 5, 5) & 0xFF, 0u);
    // A material without glow adds nothing in the emissive pass, not even to
    // the glow mask in the ink image's alpha.
    EXPECT_EQ(at(stage().read(stage().chain().inkTarget()), cx, cy) >> 24, 0u);

    // The blue clear colour of the shade image becomes paper.
    const std::uint32_t corner = at(image, 5, 5);
    EXPECT_NEAR(red(corner), 140, 6);
    EXPECT_GT(red(corner), int(corner & 0xFF)) << "warm paper, not the blue the shade image was cleared to";
}

TEST_F(EffectStage, HatchingDrawsStrokesOnTheDarkSideWhereCelShadingIsFlat)
{
    // The same window on the side away from the key light, in both effects.
    auto darkSideSpread = [&](const std::string& effect, std::map<std::string, std::string> parameters) {
        if (!build({{effect, std::move(parameters), {0, 0, 0}, 1.0f}})) return std::pair{0, 0};
        Content::Stage& s = stage();
        const std::vector<std::uint32_t> image = s.frame();
        const Core::Vector3 centre = s.project({0, 0, 0});
        const Core::Vector3 edge = s.project({1, 0, 0});
        const int radius = int(edge.x - centre.x);
        const int x0 = int(centre.x) - radius / 2, y0 = int(centre.y) + radius / 4;
        // The spread of the window's tones, and how many times neighbours
        // along its rows differ by more than 20 (strokes edges, band edges).
        int lowest = 255, highest = 0, steps = 0;
        for (int y = y0; y < y0 + 16; ++y)
            for (int x = x0; x < x0 + 16; ++x) {
                const int v = luminance(at(image, x, y));
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
                steps += x > x0 && std::abs(v - luminance(at(image, x - 1, y))) > 20;
            }
        return std::pair{highest - lowest, steps};
    };
    const auto [hatchRange, hatchStrokes] = darkSideSpread("HatchCartoon.fx", Content::hatchParameters());
    EXPECT_GT(hatchRange, 90) << "pencil strokes next to bare paper";
    EXPECT_GT(hatchStrokes, 40) << "many strokes cross the window";
    // Cel shading on the same side: flat, at most a band's edge crossing it.
    const auto [celRange, celStrokes] = darkSideSpread("cartoon.fx", Content::cartoonParameters("255 255 255"));
    EXPECT_LE(celStrokes, 16);
}

TEST_F(EffectStage, AnAdditiveObjectGlowsBeyondItsOwnPixels)
{
    ASSERT_TRUE(build({{"Additive.fx", {{"color", "40 110 130"}}, {0, 0, 0}, 0.25f}}));
    const std::vector<std::uint32_t> image = stage().frame();
    const std::vector<std::uint32_t> ink = stage().read(stage().chain().inkTarget());
    const Core::Vector3 centre = stage().project({0, 0, 0});
    const int radius = int(stage().project({0.25f, 0, 0}).x - centre.x);
    ASSERT_GT(radius, 10);
    const int cx = int(centre.x), cy = int(centre.y);
    // Drawn in the emissive pass only: the shade image never sees it.
    EXPECT_EQ(stage().read(stage().chain().shadeTarget())[std::size_t(cy * kWidth + cx)], 0xFF0000FFu);
    EXPECT_GT(luminance(at(ink, cx, cy)), luminance(at(ink, 5, 5)) + 25) << "the object itself, added onto the paper";
    // Culling is off, so both faces of the closed sphere add: twice 130.
    EXPECT_EQ(int(at(ink, cx, cy) >> 24), 255) << "its brightest channel marks it as glowing";

    const int paper = luminance(at(image, 5, 5));
    int nearer = 255;
    for (const int gap : {3, 8, 16}) {
        SCOPED_TRACE(gap);
        const int x = cx + radius + gap;
        EXPECT_EQ(at(ink, x, cy), at(ink, 5, 5)) << "the object's own pixels end before this one";
        const int glow = luminance(at(image, x, cy));
        EXPECT_GT(glow, paper + 3) << "the glow reaches it";
        EXPECT_LT(glow, nearer) << "fading with distance";
        nearer = glow;
    }
}

TEST_F(EffectStage, TheScriptsFadesAndCutsReachBlackAndWhite)
{
    ASSERT_TRUE(build({{"cartoon.fx", Content::cartoonParameters(), {0, 0, 0}, 1.0f}}));
    const Core::Vector3 centre = stage().project({0, 0, 0});
    auto frameWith = [&](float cut, float dark, float light) {
        sceneGlobals().fxCut = cut;
        sceneGlobals().fxDark = dark;
        sceneGlobals().fxLight = light;
        return stage().frame();
    };
    auto extremes = [](const std::vector<std::uint32_t>& image) {
        int lowest = 255, highest = 0;
        for (std::uint32_t p : image)
            for (int shift : {0, 8, 16}) {
                lowest = std::min(lowest, int(p >> shift & 0xFF));
                highest = std::max(highest, int(p >> shift & 0xFF));
            }
        return std::pair{lowest, highest};
    };
    const std::vector<std::uint32_t> plain = frameWith(0, 0, 0);
    EXPECT_GT(extremes(plain).second - extremes(plain).first, 150) << "a picture to fade";
    EXPECT_EQ(extremes(frameWith(0, 1, 0)).second, 0) << "FXDARK 1: black";
    EXPECT_EQ(extremes(frameWith(0, 0, 1)).first, 255) << "FXLIGHT 1: white";
    EXPECT_EQ(extremes(frameWith(2, 0, 0)).first, 255) << "a cut's flash of 2 is held at white";

    const std::vector<std::uint32_t> half = frameWith(0, 0.5f, 0);
    const std::uint32_t before = at(plain, 5, 5), after = at(half, 5, 5);
    EXPECT_NEAR(red(after), red(before) / 2, 2) << "FXDARK 0.5 halves";
    const std::vector<std::uint32_t> flash = frameWith(0.5f, 0, 0);
    const int x = int(centre.x), y = int(centre.y);
    EXPECT_NEAR(red(at(flash, x, y)), (red(at(plain, x, y)) + 255) / 2, 2) << "FXCUT 0.5 is halfway to white";
}

} // namespace
