// The glue between the window and the graphics device: opens the window with
// its GL context and creates the device that presents into it, so that neither
// layer depends on the other.
#pragma once

#include "core/Result.h"
#include "platform/gfx/Device.h"
#include "platform/window/Window.h"

#include <memory>

namespace ORV::Platform {

class DeviceWindow {
public:
    // Fails when there is no display (desktop mode) or no GL 4.5 core context,
    // with the window's one-line reason, or when the device cannot be created,
    // with the device's messages (the renderer and what it lacks).
    static Core::Result<std::unique_ptr<DeviceWindow>> open(const WindowDesc& desc);
    // A hidden window of the given frame size on SDL's offscreen driver, for
    // tools, tests and benchmarks: needs no display.
    static Core::Result<std::unique_ptr<DeviceWindow>> openOffscreen(int width, int height);
    ~DeviceWindow();

    Window& window() { return *window_; }
    Gfx::Device& device() { return *device_; }

private:
    class Presenter;
    DeviceWindow() = default;
    // Declaration order is destruction order reversed: the device goes before
    // the window, whose GL context it needs.
    std::unique_ptr<Window> window_;
    std::unique_ptr<Presenter> presenter_;
    std::unique_ptr<Gfx::Device> device_;
};

} // namespace ORV::Platform
