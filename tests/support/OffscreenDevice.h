// An off-screen window with its GL context and graphics device, for rendering
// tests: no display needed (SDL's offscreen driver on Mesa).
#pragma once

#include "platform/DeviceWindow.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ORV::Test {

class OffscreenDevice {
public:
    explicit OffscreenDevice(int width = 64, int height = 48);
    Gfx::Device& device() { return window_->device(); }
    Platform::Window& window() { return window_->window(); }
    // The back buffer as ARGB words, top row first.
    std::vector<uint32_t> backBufferPixels();

private:
    std::unique_ptr<Platform::DeviceWindow> window_;
};

// ARGB channel helpers for pixel assertions.
inline int red(uint32_t argb)
{
    return int(argb >> 16 & 0xFF);
}
inline int green(uint32_t argb)
{
    return int(argb >> 8 & 0xFF);
}
inline int blue(uint32_t argb)
{
    return int(argb & 0xFF);
}
inline int alpha(uint32_t argb)
{
    return int(argb >> 24);
}

} // namespace ORV::Test
