// The content generator as the build runs it: orv-content writes the asset
// archive into a temporary folder, and the tests read it back as the demo
// does (our archive reader, the engine's image decoder, textures on an
// off-screen device), then check that each image is what its name promises.
#include "app/Manifest.h"
#include "content/generator/Images.h"
#include "display/Display.h"
#include "platform/image/Image.h"
#include "resources/FileSystem.h"
#include "resources/Texture.h"
#include "scene/SceneFile.h"
#include "tests/support/OffscreenDevice.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace ORV;
namespace Images = ORV::Content::Images;

namespace {

using ORV::Test::ToolRun;

ToolRun runGenerator(const std::string& arguments)
{
    return ORV::Test::runCommand(std::string("'") + ORV_CONTENT_PATH + "' " + arguments);
}

// Every kind but the soundtrack, which takes seconds to synthesise and has
// tests of its own.
std::string generateInto(const ORV::Test::TempDir& out, const std::string& effectsDir)
{
    return "--out '" + out.path().string() + "' --effects '" + effectsDir
           + "' --fonts '" ORV_FONT_DIR "' --kinds images,effects,scenes";
}

// One decoded image, grey tone (mean of R, G, B in 0..1) per texel and level.
struct Tones {
    int width = 0, height = 0;
    std::vector<float> values;
    float at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
    double mean() const
    {
        double sum = 0;
        for (const float v : values) sum += v;
        return sum / static_cast<double>(values.size());
    }
    double deviation() const
    {
        const double m = mean();
        double sum = 0;
        for (const float v : values) sum += (v - m) * (v - m);
        return std::sqrt(sum / static_cast<double>(values.size()));
    }
};

// Channels of a decoded texel (B, G, R, X in memory); Grey is their mean.
enum class Channel { Blue, Green, Red, Grey };

// The channel that holds hatch tile t of a set: red, green, blue.
Channel channelOf(int tile)
{
    return tile == 0 ? Channel::Red : tile == 1 ? Channel::Green : Channel::Blue;
}

Tones tonesOf(const Gfx::Image& image, std::size_t level, Channel channel = Channel::Grey)
{
    const Gfx::ImageLevel& l = image.levels.at(level);
    Tones tones{static_cast<int>(l.width), static_cast<int>(l.height), {}};
    for (std::uint32_t y = 0; y < l.height; ++y)
        for (std::uint32_t x = 0; x < l.width; ++x) {
            const std::uint8_t* p = &l.bytes[y * l.rowPitch + x * 4];
            tones.values.push_back(channel == Channel::Grey ? (p[0] + p[1] + p[2]) / (3.0f * 255.0f)
                                                            : p[int(channel)] / 255.0f);
        }
    return tones;
}

// The archive the generator makes with an empty effects folder, made once per
// test program and read by every test of the fixture.
class GeneratedContent : public ::testing::Test {
protected:
    // The archive the build made with the same generator (each test runs in
    // a process of its own, so generating here would cost a run per test).
    static void SetUpTestSuite()
    {
        archive_ = std::make_unique<Demo::ZipArchive>();
        ASSERT_TRUE(archive_->open(ORV_ASSET_ARCHIVE));
    }
    static void TearDownTestSuite() { archive_.reset(); }

    static std::string member(const std::string& path)
    {
        const auto bytes = archive_->readMember(Demo::ZipArchive::keyForName(path));
        EXPECT_TRUE(bytes.has_value()) << path;
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    static Gfx::Image decoded(const std::string& path)
    {
        const std::string bytes = member(path);
        Gfx::DecodeResult result =
            Gfx::decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        EXPECT_TRUE(result.ok()) << path << ": " << result.failure;
        return std::move(result.image);
    }

    static std::unique_ptr<Demo::ZipArchive> archive_;
};

std::unique_ptr<Demo::ZipArchive> GeneratedContent::archive_;

struct ExpectedImage {
    int width, height;
    Gfx::Format format;
};

// What each image of the manifest is made as. Hatch tiles are DDS files
// with their own chains (X8R8G8B8); the rest are JPEGs, whose chains the
// decoder builds.
const std::map<std::string, ExpectedImage> expectedImages = {
    {"black.jpg", {8, 8, Gfx::Format::X8R8G8B8}},       {"Hatch0.dds", {256, 256, Gfx::Format::X8R8G8B8}},
    {"Hatch1.dds", {256, 256, Gfx::Format::X8R8G8B8}},  {"Hatch2.dds", {256, 256, Gfx::Format::X8R8G8B8}},
    {"light3.jpg", {256, 256, Gfx::Format::X8R8G8B8}},  {"cartoon_d.jpg", {256, 4, Gfx::Format::X8R8G8B8}},
    {"cartoon_s.jpg", {256, 4, Gfx::Format::X8R8G8B8}}, {"cartoon_g.jpg", {256, 4, Gfx::Format::X8R8G8B8}},
    {"grey33.jpg", {8, 8, Gfx::Format::X8R8G8B8}},      {"specular2.jpg", {256, 256, Gfx::Format::X8R8G8B8}},
    {"prods.jpg", {512, 512, Gfx::Format::X8R8G8B8}},
};

bool isImage(const Demo::ManifestEntry& entry)
{
    return entry.loader == Demo::loadTexture;
}

} // namespace

TEST_F(GeneratedContent, EveryManifestImageIsInTheArchiveAndDecodesAtItsSizeWithAFullChain)
{
    EXPECT_EQ(archive_->directoryFault(), "");
    std::size_t images = 0;
    for (const Demo::ManifestEntry& entry : Demo::manifest()) {
        if (!isImage(entry)) continue;
        ++images;
        SCOPED_TRACE(entry.path);
        ASSERT_EQ(expectedImages.count(entry.path), 1u);
        const ExpectedImage& expected = expectedImages.at(entry.path);
        const bool dds = std::string(entry.path).ends_with(".dds");
        // JPEG data is stored (deflate would not shrink it), the rest deflated.
        EXPECT_EQ(archive_->entries().at(Demo::ZipArchive::keyForName(entry.path)).method, dds ? 8 : 0);

        const std::string bytes = member(entry.path);
        Gfx::DecodeOptions fileLevelsOnly;
        fileLevelsOnly.generateMips = false;
        const Gfx::DecodeResult asFiled = Gfx::decodeImage(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), fileLevelsOnly);
        ASSERT_TRUE(asFiled.ok()) << asFiled.failure;
        EXPECT_EQ(static_cast<int>(asFiled.image.width), expected.width);
        EXPECT_EQ(static_cast<int>(asFiled.image.height), expected.height);
        EXPECT_EQ(asFiled.image.format, expected.format);
        // The hatching sets carry every level in the file; nothing is filled in.
        const std::uint32_t full = Gfx::fullMipCount(asFiled.image.width, asFiled.image.height);
        EXPECT_EQ(asFiled.image.levels.size(), dds ? full : 1u);
    }
    EXPECT_EQ(images, expectedImages.size());
}

TEST_F(GeneratedContent, EveryManifestSceneIsInTheArchiveAndReadsWhole)
{
    std::size_t scenes = 0;
    for (const Demo::ManifestEntry& entry : Demo::manifest()) {
        if (!std::string(entry.path).ends_with(".orv3d")) continue;
        ++scenes;
        SCOPED_TRACE(entry.path);
        std::istringstream in(member(entry.path));
        Demo::SceneDescription description;
        const Demo::SceneReadResult read = Demo::readScene(in, description);
        EXPECT_TRUE(read.complete()) << read.message;
        EXPECT_FALSE(description.nodes.empty());
        EXPECT_FALSE(description.cameras.empty());
    }
    EXPECT_EQ(scenes, 7u);
    // Images, scenes and the four effect files, nothing else.
    EXPECT_EQ(archive_->entries().size(), expectedImages.size() + scenes + 4);
}

TEST_F(GeneratedContent, TexturesLoadFromTheArchiveOnTheDeviceAsTheDemoLoadsThem)
{
    Demo::Display display;
    ASSERT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Demo::Display::lastError();
    Demo::FileSystem files;
    files.mountArchive(ORV_ASSET_ARCHIVE);
    for (const Demo::ManifestEntry& entry : Demo::manifest()) {
        if (!isImage(entry)) continue;
        SCOPED_TRACE(entry.path);
        const auto in = files.openMountedStream(entry.path);
        ASSERT_TRUE(in);
        Demo::Texture texture;
        texture.loadFromStream(*in);
        ASSERT_NE(texture.texture(), nullptr);
        const ExpectedImage& expected = expectedImages.at(entry.path);
        EXPECT_EQ(texture.texture()->width(), expected.width);
        EXPECT_EQ(texture.texture()->height(), expected.height);
        EXPECT_EQ(texture.texture()->levelCount(),
                  static_cast<int>(Gfx::fullMipCount(std::uint32_t(expected.width), std::uint32_t(expected.height))));
    }
}

TEST_F(GeneratedContent, ShadingRampsHaveTheirBandsWhereEffectsLookThemUp)
{
    // Diffuse: four flat bands, lighter each time, steps one or two texels
    // wide, the shadow band light enough for ink to read over it.
    const Tones diffuse = tonesOf(decoded("cartoon_d.jpg"), 0);
    std::vector<float> bands{diffuse.at(0, 0)};
    int longestStep = 0, step = 0;
    for (int x = 1; x < diffuse.width; ++x) {
        for (int y = 1; y < diffuse.height; ++y) EXPECT_NEAR(diffuse.at(x, y), diffuse.at(x, 0), 2 / 255.0) << x;
        const float change = diffuse.at(x, 0) - diffuse.at(x - 1, 0);
        EXPECT_GT(change, -1.5f / 255) << "the ramp darkens at u texel " << x;
        if (change > 4.0f / 255) {
            ++step;
        } else {
            if (step) bands.push_back(diffuse.at(x, 0));
            longestStep = std::max(longestStep, step);
            step = 0;
        }
    }
    ASSERT_EQ(bands.size(), std::size(Images::diffuseBandTone));
    EXPECT_LE(longestStep, 2);
    for (std::size_t b = 0; b < bands.size(); ++b) EXPECT_NEAR(bands[b], Images::diffuseBandTone[b], 2 / 255.0) << b;
    EXPECT_GT(bands.front(), 0.3f);
    EXPECT_GT(diffuse.at(255, 0), 0.99f);

    // Specular: black, then one hard white band at the top.
    const Tones specular = tonesOf(decoded("cartoon_s.jpg"), 0);
    for (int x = 0; x < specular.width; ++x)
        EXPECT_NEAR(specular.at(x, 1), x >= Images::specularStart ? 1.0 : 0.0, 2 / 255.0) << x;
    EXPECT_GE(Images::specularStart, 192);

    // Rim glow: black face-on, rising softly (many texels between) to white
    // at the silhouette, never falling back.
    const Tones glow = tonesOf(decoded("cartoon_g.jpg"), 0);
    int between = 0;
    for (int x = 0; x < glow.width; ++x) {
        if (x > 0) {
            EXPECT_GE(glow.at(x, 2), glow.at(x - 1, 2) - 2 / 255.0f) << x;
        }
        if (glow.at(x, 2) > 0.05f && glow.at(x, 2) < 0.95f) ++between;
    }
    EXPECT_LT(glow.at(glow.width / 2, 2), 0.02f);
    EXPECT_GT(glow.at(glow.width - 1, 2), 0.98f);
    EXPECT_GE(between, 30);
}

TEST_F(GeneratedContent, FlatMapsAndTheLightSpriteAreWhatTheirNamesSay)
{
    const Tones black = tonesOf(decoded("black.jpg"), 0);
    EXPECT_LT(*std::max_element(black.values.begin(), black.values.end()), 1 / 255.0f);
    const Tones grey = tonesOf(decoded("grey33.jpg"), 0);
    for (const float v : grey.values) EXPECT_NEAR(v * 255, Images::grey33Level, 1.0);

    // The gloss map: mid grey with visible variation, repeating seamlessly.
    const Tones gloss = tonesOf(decoded("specular2.jpg"), 0);
    EXPECT_NEAR(gloss.mean(), 0.55, 0.05);
    EXPECT_GT(gloss.deviation(), 0.02);
    double edge = 0, inside = 0;
    for (int y = 0; y < gloss.height; ++y) {
        edge += std::abs(gloss.at(0, y) - gloss.at(gloss.width - 1, y));
        inside += std::abs(gloss.at(100, y) - gloss.at(101, y));
    }
    EXPECT_LT(edge, 1.5 * inside + 1);

    // The sprite: brightest at the centre, fading outwards ring by ring, black
    // in the corners.
    const Tones light = tonesOf(decoded("light3.jpg"), 0);
    const float peak = *std::max_element(light.values.begin(), light.values.end());
    EXPECT_GT(peak, 0.98f);
    const int c = light.width / 2;
    EXPECT_GE(light.at(c, c), peak - 2 / 255.0f);
    double previous = 2;
    for (int radius = 8; radius < c; radius += 16) {
        double ring = 0;
        for (int a = 0; a < 64; ++a) {
            const double angle = a * 2 * 3.14159265358979 / 64;
            ring += light.at(c + static_cast<int>(radius * std::cos(angle)),
                             c + static_cast<int>(radius * std::sin(angle)));
        }
        EXPECT_LT(ring / 64, previous) << radius;
        previous = ring / 64;
    }
    for (const int x : {0, light.width - 8})
        for (const int y : {0, light.height - 8})
            for (int dy = 0; dy < 8; ++dy)
                for (int dx = 0; dx < 8; ++dx) EXPECT_LT(light.at(x + dx, y + dy), 3 / 255.0f);
}

TEST_F(GeneratedContent, HatchSetsDarkenFromRedToBlueAndStayStrokesAtEveryLevel)
{
    for (int set = 0; set < Images::hatchSets; ++set) {
        SCOPED_TRACE("set " + std::to_string(set));
        const Gfx::Image image = decoded("Hatch" + std::to_string(set) + ".dds");
        const std::size_t levels = image.levels.size();
        ASSERT_EQ(levels, 9u);
        for (std::size_t level = 0; level < levels; ++level) {
            SCOPED_TRACE("level " + std::to_string(level));
            double previous = 1.01;
            std::vector<float> lighter;
            for (int t = 0; t < Images::hatchTiles; ++t) {
                const Tones tones = tonesOf(image, level, channelOf(t));
                // The tile's tone at every level (a tonal art map), each darker
                // than the one before by a clear margin.
                EXPECT_NEAR(tones.mean(), Images::hatchTone[t], 0.03) << "tile " << t;
                EXPECT_LT(tones.mean(), previous - 0.1) << "tile " << t;
                previous = tones.mean();
                // Drawn strokes keep their contrast where a box filter of the
                // level above would have smoothed them towards grey (at 32 x 32
                // that would leave a deviation near 0.06).
                if (tones.width >= 16) {
                    EXPECT_GT(tones.deviation(), 0.15) << "tile " << t;
                }
                // White paper shows between the strokes of the lighter tiles.
                if (t == 0 && tones.width >= 16) {
                    const auto paper =
                        std::count_if(tones.values.begin(), tones.values.end(), [](float v) { return v > 0.9f; });
                    EXPECT_GT(static_cast<double>(paper) / tones.values.size(), 0.3);
                }
                // Nested: where the lighter tile has a stroke, the denser one
                // has it too (a texel or two of rounding aside).
                if (!lighter.empty() && tones.width >= 8) {
                    std::size_t kept = 0, strokes = 0;
                    for (std::size_t i = 0; i < lighter.size(); ++i)
                        if (lighter[i] < 0.5f) ++strokes, kept += tones.values[i] < lighter[i] + 0.05f;
                    EXPECT_GE(double(kept), 0.98 * double(strokes)) << "tile " << t;
                }
                lighter = tones.values;
            }
        }
    }
}

TEST_F(GeneratedContent, HatchSetsHaveStrokesInTheirOwnDirections)
{
    // Strokes run along their direction, so texels one step along it are
    // more alike than texels one step across it. The main direction of each
    // set shows in its light tile: the step (1, -1) is along for a stroke
    // rising right, (1, 1) for one rising left, (1, 0) for a level one.
    struct Step {
        int dx, dy;
    };
    const Step along[Images::hatchSets] = {{1, -1}, {1, 1}, {1, 0}};
    const Step across[Images::hatchSets] = {{1, 1}, {1, -1}, {0, 1}};
    const auto difference = [](const Tones& tones, Step step) {
        double sum = 0;
        for (int y = 0; y < tones.width; ++y)
            for (int x = 0; x < tones.width; ++x)
                sum += std::abs(
                    tones.at(x, y)
                    - tones.at((x + step.dx + tones.width) % tones.width, (y + step.dy + tones.width) % tones.width));
        return sum;
    };
    for (int set = 0; set < Images::hatchSets; ++set) {
        const Tones light = tonesOf(decoded("Hatch" + std::to_string(set) + ".dds"), 0, channelOf(0));
        EXPECT_LT(difference(light, along[set]), 0.7 * difference(light, across[set])) << "set " << set;
    }
}

TEST_F(GeneratedContent, HatchSetsRepeatWithoutSeams)
{
    // Across a seamless edge, neighbouring texels differ as much as
    // neighbours inside do; a tile whose strokes stop at its edges differs
    // there as much as unrelated texels (measured: 1.3 to 1.6 times as much).
    // Averaged over columns and rows of the three largest levels, so that one
    // level's few texels do not decide.
    for (int set = 0; set < Images::hatchSets; ++set) {
        const Gfx::Image image = decoded("Hatch" + std::to_string(set) + ".dds");
        for (int t = 0; t < Images::hatchTiles; ++t) {
            SCOPED_TRACE("set " + std::to_string(set) + ", tile " + std::to_string(t));
            double edge = 0, inside = 0;
            for (std::size_t level : {0u, 1u, 2u}) {
                const Tones tones = tonesOf(image, level, channelOf(t));
                const int n = tones.width;
                double edgeSum = 0, insideSum = 0;
                for (int i = 0; i < n; ++i) {
                    edgeSum +=
                        std::abs(tones.at(0, i) - tones.at(n - 1, i)) + std::abs(tones.at(i, 0) - tones.at(i, n - 1));
                    for (int j = 0; j + 1 < n; ++j)
                        insideSum += std::abs(tones.at(j, i) - tones.at(j + 1, i))
                                     + std::abs(tones.at(i, j) - tones.at(i, j + 1));
                }
                edge += edgeSum / (2.0 * n);
                inside += insideSum / (2.0 * n * (n - 1));
            }
            EXPECT_LT(edge, 1.15 * inside);
            EXPECT_GT(edge, 0.5 * inside); // the edges are not blank either
        }
    }
}

TEST_F(GeneratedContent, CreditsCardHasInkedTextWhereTheLayoutPutsIt)
{
    const Tones card = tonesOf(decoded("prods.jpg"), 0);
    ASSERT_EQ(card.width, Images::cardWidth);
    // Fraction of ink (dark) texels in a band of rows, inside the frame.
    const auto inkIn = [&](int top, int bottom) {
        int ink = 0, all = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 40; x < card.width - 40; ++x, ++all) ink += card.at(x, y) < 0.35f;
        return static_cast<double>(ink) / all;
    };
    const double title = inkIn(Images::cardTitleTop, Images::cardTitleBottom);
    const double credits = inkIn(Images::cardCreditsTop, Images::cardCreditsBottom);
    EXPECT_GT(title, 0.08);
    EXPECT_LT(title, 0.5);
    EXPECT_GT(credits, 0.04);
    EXPECT_LT(credits, 0.4);
    // The title is the heaviest type on the card.
    EXPECT_GT(title, credits);
    // Paper elsewhere: above the title and between the rule and the credits.
    EXPECT_LT(inkIn(40, Images::cardTitleTop - 5), 0.001);
    EXPECT_LT(inkIn(185, Images::cardCreditsTop - 5), 0.001);
    // Dark on light: the paper is light.
    EXPECT_GT(card.at(card.width / 2, 50), 0.8f);
}

TEST(ContentGenerator, SameInputsGiveTheSameArchiveWithTheEffectsFolderCarried)
{
    ORV::Test::TempDir effects;
    effects.write("ink.fx", "technique T { pass P { } }\n");
    effects.write("cartoon.fx", "// cel shading\n");
    effects.write("notes.txt", "not an effect");
    ORV::Test::TempDir first, second;
    const ToolRun a = runGenerator(generateInto(first, effects.path().string()));
    const ToolRun b = runGenerator(generateInto(second, effects.path().string()));
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    const std::string archive = ORV::Test::readFile(first.path() / "marrowlight.zip");
    ASSERT_FALSE(archive.empty());
    EXPECT_TRUE(archive == ORV::Test::readFile(second.path() / "marrowlight.zip"))
        << "two runs wrote different archives";

    Demo::ZipArchive zip;
    ASSERT_TRUE(zip.open((first.path() / "marrowlight.zip").string()));
    const auto ink = zip.readMember("/ink.fx");
    ASSERT_TRUE(ink.has_value());
    EXPECT_EQ(std::string(ink->begin(), ink->end()), "technique T { pass P { } }\n");
    EXPECT_TRUE(zip.contains("/cartoon.fx"));
    EXPECT_FALSE(zip.contains("/notes.txt"));
    EXPECT_EQ(zip.entries().size(), expectedImages.size() + 2 + 7); // two effects, seven scenes
    // Nothing else is left in the folder: no partial files.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(first.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST(ContentGenerator, MissingFontStopsWithAMessageAndWritesNothing)
{
    ORV::Test::TempDir out, fonts;
    const ToolRun run = runGenerator("--out '" + out.path().string() + "' --effects '" + out.path().string()
                                     + "/none' --fonts '" + fonts.path().string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("DejaVuSans"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("fonts-dejavu-core"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(out.path() / "marrowlight.zip"));

    EXPECT_EQ(runGenerator("--out").status, 2);
    EXPECT_EQ(runGenerator("--bogus x").status, 2);
    EXPECT_EQ(runGenerator("--out '" + out.path().string() + "' --kinds images,sounds").status, 2) << "no such kind";
}
