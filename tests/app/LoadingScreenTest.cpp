// The loading screen drawn for real at the demo's size and read back: where
// the bar's border, inside and fill are; and the loading loop, one asset per
// frame, ended early by Escape.
#include "app/LoadingScreen.h"
#include "app/Settings.h"
#include "display/Display.h"
#include "resources/ResourceRegistry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr uint32_t kWhite = 0xFFFFFFFF;

int loadsSeen = 0;
int escapeAfterLoads = -1;

// Counts loads; posts Escape after a chosen number of them.
std::unique_ptr<Resource> countingLoader(std::string, std::string)
{
    if (++loadsSeen == escapeAfterLoads)
        Display::window().postMessage({Platform::WindowMessage::KeyDown, Platform::VirtualKeyEscape});
    return std::make_unique<Resource>();
}

class LoadingScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screenWidth = kWidth;
        screenHeight = kHeight;
        ASSERT_TRUE(display.createWindow(kWidth, kHeight, false, false, Platform::VideoMode::Offscreen))
            << Display::lastError();
        currentDisplay = &display;
        loadsSeen = 0;
        escapeAfterLoads = -1;
    }
    void TearDown() override
    {
        resourceRegistry().releaseAll();
        currentDisplay = nullptr;
    }
    // The screen for `progress`, drawn over a grey clear so that every part
    // the screen should cover shows.
    std::vector<uint32_t> draw(float progress)
    {
        Gfx::Device& device = Display::device();
        device.clear(Gfx::ClearFlag::Target, 0xFF808080, 1.0f, 0);
        drawLoadingScreen(device, float(kWidth), float(kHeight), progress);
        return device.readPixels(*device.renderTarget());
    }
    static uint32_t at(const std::vector<uint32_t>& pixels, int x, int y)
    {
        return pixels[std::size_t(y * kWidth + x)] | 0xFF000000; // alpha is not drawn meaningfully
    }
    static void queue(int count)
    {
        for (int i = 0; i < count; ++i) resourceRegistry().addResource("asset" + std::to_string(i), "", countingLoader);
    }

    Display display;
};

TEST_F(LoadingScreenTest, BorderInsideAndBackgroundAreWhereTheBarIs)
{
    const std::vector<uint32_t> pixels = draw(0.0f);
    const uint32_t black = 0xFF000000;
    // Bar: border x 102.4-537.6, y 225.6-254.4; inside x 104.6-535.4,
    // y 227.8-252.2 (pixel centres at .5).
    EXPECT_EQ(at(pixels, 10, 10), black) << "background";
    EXPECT_EQ(at(pixels, 639, 479), black) << "background reaches the far corner";
    EXPECT_EQ(at(pixels, 101, 240), black) << "left of the border";
    EXPECT_EQ(at(pixels, 103, 240), kWhite) << "left border";
    EXPECT_EQ(at(pixels, 536, 240), kWhite) << "right border";
    EXPECT_EQ(at(pixels, 538, 240), black) << "right of the border";
    EXPECT_EQ(at(pixels, 320, 224), black) << "above the border";
    EXPECT_EQ(at(pixels, 320, 226), kWhite) << "top border";
    EXPECT_EQ(at(pixels, 320, 253), kWhite) << "bottom border";
    EXPECT_EQ(at(pixels, 320, 255), black) << "below the border";
    EXPECT_EQ(at(pixels, 320, 240), black) << "no fill at 0";
}

TEST_F(LoadingScreenTest, FillEndsWhereTheProgressPutsIt)
{
    for (const int loaded : {1, 7, 15, 21, 22}) {
        const float t = float(loaded) / 22.0f;
        const std::vector<uint32_t> pixels = draw(t);
        const float right = kWidth * ((1.0f - t) * 0.167f + t * 0.833f);
        int lastWhite = -1;
        for (int x = 107; x < 535; ++x)
            if (at(pixels, x, 240) == kWhite) lastWhite = x;
        // The fill's right edge, as drawn: the right side of its last column.
        EXPECT_NEAR(lastWhite + 1.0f, right, 1.0f) << loaded << " of 22";
        // Fill: y 230.08-249.92, between the inside's black margins.
        EXPECT_EQ(at(pixels, 200, 229), 0xFF000000) << "margin above the fill";
        EXPECT_EQ(at(pixels, 110, 231), kWhite) << "fill starts at its left end";
        EXPECT_EQ(at(pixels, 110, 249), kWhite);
        EXPECT_EQ(at(pixels, 110, 250), 0xFF000000) << "margin below the fill";
        EXPECT_EQ(at(pixels, 105, 240), 0xFF000000) << "margin left of the fill";
    }
}

TEST_F(LoadingScreenTest, LoadsOneAssetPerFrameUntilAllAreLoaded)
{
    queue(22);
    showLoadingProgress();
    EXPECT_EQ(loadsSeen, 22);
    EXPECT_EQ(resourceRegistry().pendingCount(), 0u);
    // The full bar is drawn and waits for the frame loop's first nextFrame.
    const std::vector<uint32_t> pixels = Display::device().readPixels(*Display::device().renderTarget());
    EXPECT_EQ(at(pixels, 530, 240), kWhite);
}

TEST_F(LoadingScreenTest, EscapeEndsLoadingAndLeavesTheRestUnloaded)
{
    queue(22);
    escapeAfterLoads = 5;
    showLoadingProgress();
    // The display sees Escape in the nextFrame after the fifth load; that call
    // still begins a frame, which loads and draws the sixth.
    EXPECT_EQ(loadsSeen, 6);
    EXPECT_EQ(resourceRegistry().pendingCount(), 16u);
    EXPECT_FALSE(display.nextFrame()) << "the window stays closing for the frame loop";
}

TEST_F(LoadingScreenTest, EscapeBeforeTheFirstFrameLoadsOneAssetAtMost)
{
    queue(3);
    Display::window().postMessage({Platform::WindowMessage::KeyDown, Platform::VirtualKeyEscape});
    showLoadingProgress();
    EXPECT_EQ(loadsSeen, 1) << "only the frame begun as Escape arrived";
}

} // namespace
