#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ORV::Test {

OffscreenDevice::OffscreenDevice(int width, int height)
{
    auto opened = Platform::DeviceWindow::openOffscreen(width, height);
    if (!opened) throw std::runtime_error("off-screen device: " + opened.messages());
    window_ = std::move(opened).value();
}

std::vector<uint32_t> OffscreenDevice::backBufferPixels()
{
    return device().readPixels(*device().backBuffer());
}

} // namespace ORV::Test
