#include "app/LoadingScreen.h"

#include "app/Settings.h"
#include "display/Display.h"
#include "resources/ResourceRegistry.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>

namespace ORV::Demo {

namespace {

// XYZRHW | Diffuse: 20 bytes.
struct ScreenVertex {
    float x, y, z, rhw;
    std::uint32_t color;
};
static_assert(sizeof(ScreenVertex) == 20);

constexpr std::uint32_t black = 0x00000000;
constexpr std::uint32_t white = 0xFFFFFFFF;

using Rectangle = std::array<ScreenVertex, 6>;

// Two triangles: (x0, y0) (x1, y1) (x0, y1), then (x0, y0) (x1, y0) (x1, y1).
Rectangle rectangle(float x0, float y0, float x1, float y1, std::uint32_t color)
{
    const auto v = [color](float x, float y) { return ScreenVertex{x, y, 0.5f, 1.0f, color}; };
    return {v(x0, y0), v(x1, y1), v(x0, y1), v(x0, y0), v(x1, y0), v(x1, y1)};
}

// The bar's right edge is one unit in the last place above the nearest single
// to 0.84, as the screen has always been drawn.
const float borderRight = std::bit_cast<float>(std::uint32_t(0x3F570A3E));

} // namespace

void drawLoadingScreen(Gfx::Device& device, float width, float height, float progress)
{
    const float w = width, h = height;
    std::array<ScreenVertex, 18> frame;
    const Rectangle parts[3] = {
        rectangle(0.0f, 0.0f, w, h, black),
        rectangle(0.16f * w, 0.47f * h, borderRight * w, 0.53f * h, white),
        rectangle(0.1635f * w, 0.4746655f * h, 0.8365f * w, 0.5253345f * h, black),
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 6; ++j) frame[std::size_t(i * 6 + j)] = parts[i][std::size_t(j)];
    const float fillRight = w * ((1.0f - progress) * 0.167f + progress * 0.833f);
    const Rectangle fill = rectangle(0.167f * w, 0.479331f * h, fillRight, 0.520669f * h, white);

    device.setFVF(Gfx::FVF::XYZRHW | Gfx::FVF::Diffuse);
    device.drawPrimitiveUP(Gfx::PrimitiveType::TriangleList, 6, frame.data(), sizeof(ScreenVertex));
    device.drawPrimitiveUP(Gfx::PrimitiveType::TriangleList, 2, fill.data(), sizeof(ScreenVertex));
}

void showLoadingProgress()
{
    assert(currentDisplay && "the loading screen draws on the current display");
    Display& display = *currentDisplay;
    ResourceRegistry& registry = resourceRegistry();
    const float width = float(screenWidth), height = float(screenHeight);
    if (!display.nextFrame()) return;
    for (;;) {
        const float progress = registry.loadNext();
        drawLoadingScreen(Display::device(), width, height, progress);
        if (progress >= 1.0f) return;
        if (!display.nextFrame()) return;
    }
}

} // namespace ORV::Demo
