#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ORV::Test {

OffscreenDevice::OffscreenDevice(int width, int height)
{
    std::string error;
    window_ = Platform::DeviceWindow::openOffscreen(width, height, &error);
    if (!window_) throw std::runtime_error("off-screen device: " + error);
}

std::vector<uint32_t> OffscreenDevice::backBufferPixels()
{
    return device().readPixels(*device().backBuffer());
}

} // namespace ORV::Test
