// The soundtrack the build made (build/demo/soundtrk0x01.ogg), decoded by the
// engine's sound layer as it plays it: long enough, stereo at 44.1 kHz,
// never silent in a section, never at full scale, mastered to its loudness,
// changing where the script changes and accented on the intro's cuts; and
// the synthesis gives the same bytes every time.
#include "content/soundtrack/Soundtrack.h"
#include "content/generator/Generator.h"
#include "platform/sound/Sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

using namespace ORV;

namespace {

constexpr int kRate = 44100;

const std::vector<float>& decoded()
{
    static const std::vector<float> samples = Sound::decodeFile(ORV_SOUNDTRACK_PATH, kRate);
    return samples;
}

double seconds()
{
    return double(decoded().size() / 2) / kRate;
}

// Mean power of both channels over [from, to) seconds, in dB (full scale 0).
double level(double from, double to)
{
    const std::vector<float>& s = decoded();
    const std::size_t a = std::size_t(from * kRate) * 2, b = std::min(std::size_t(to * kRate) * 2, s.size());
    double sum = 0.0;
    for (std::size_t i = a; i < b; ++i) sum += double(s[i]) * s[i];
    return 10.0 * std::log10(std::max(sum / double(std::max<std::size_t>(b - a, 1)), 1e-12));
}

TEST(Soundtrack, IsStereoAtTheMixingRateLongEnoughAndNeverAtFullScale)
{
    ASSERT_FALSE(decoded().empty()) << ORV_SOUNDTRACK_PATH << " does not decode";
    EXPECT_GE(seconds(), 148.0);
    EXPECT_LT(seconds(), 150.0);
    float peak = 0.0f;
    for (const float v : decoded()) peak = std::max(peak, std::fabs(v));
    // Mastered under -1 dBFS; the encoder may overshoot a little, not to 0.
    EXPECT_LT(peak, 0.99f);
    EXPECT_GT(peak, 0.5f) << "mastered, not left quiet";
    EXPECT_NEAR(Content::Audio::integratedLoudness(decoded()), Content::Audio::soundtrackLoudness, 1.5);
}

TEST(Soundtrack, EverySectionSoundsAndTheEnergyChangesAtTheScriptsTimes)
{
    ASSERT_GE(seconds(), 148.0);
    const double sections[] = {0, 16, 32, 64, 96, 128, 146};
    for (std::size_t i = 0; i + 1 < std::size(sections); ++i)
        EXPECT_GT(level(sections[i], sections[i + 1]), -40.0) << "section from " << sections[i] << " s";

    // At each change the level of the bar after it (two seconds, so that the
    // beat's own rise and fall averages out) differs from the bar before by
    // several dB, and of the beats within two seconds around it (a beat is
    // half a second), the change is largest at it or the beat next to it.
    for (const double t : {16.0, 32.0, 64.0, 96.0, 128.0}) {
        SCOPED_TRACE(t);
        const auto change = [](double at) { return std::fabs(level(at, at + 2.0) - level(at - 2.0, at)); };
        EXPECT_GT(change(t), 3.0);
        double largest = 0.0, at = 0.0;
        for (double edge = t - 2.0; edge <= t + 2.0; edge += 0.5) {
            if (change(edge) > largest) {
                largest = change(edge);
                at = edge;
            }
        }
        EXPECT_LE(std::fabs(at - t), 0.5) << "the biggest change is at " << at << " s";
    }
}

TEST(Soundtrack, AccentsLandOnTheIntrosCutsAndTheEndFadesOut)
{
    ASSERT_GE(seconds(), 148.0);
    for (const double cut : {6.0, 11.0}) EXPECT_GT(level(cut, cut + 0.5), level(cut - 1.0, cut - 0.5) + 6.0) << cut;
    EXPECT_LT(level(147.5, 148.0), -70.0) << "silent by the end of the script";
    EXPECT_GT(level(138.0, 140.0), level(145.0, 147.0) + 10.0) << "a fade, not a cut";
}

TEST(Soundtrack, TheGeneratorMakesTheBuildsBytesAgain)
{
    Content::GeneratorInputs inputs;
    inputs.kinds = {"soundtrack"};
    const Content::AssetList assets = Content::generateAssets(inputs);
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(assets[0].path, "soundtrk0x01.ogg");
    std::ifstream built(ORV_SOUNDTRACK_PATH, std::ios::binary);
    std::ostringstream bytes;
    bytes << built.rdbuf();
    EXPECT_TRUE(assets[0].bytes == bytes.str()) << "a fresh render differs from the build's file";
}

} // namespace
