#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ORV::Test {

OffscreenDevice::OffscreenDevice(int width, int height)
{
    Platform::WindowDesc desc;
    desc.width = width;
    desc.height = height;
    desc.fullScreen = false;
    desc.mode = Platform::VideoMode::Offscreen;
    std::string error;
    window_ = Platform::DeviceWindow::open(desc, &error);
    if (!window_) throw std::runtime_error("off-screen device: " + error);
}

std::vector<uint32_t> OffscreenDevice::backBufferPixels()
{
    return device().readPixels(*device().backBuffer());
}

} // namespace ORV::Test
