// The glue between the window and the graphics device: opens the window with
// its GL context and creates the device that presents into it, so that neither
// layer depends on the other.
#pragma once

#include "platform/gfx/Device.h"
#include "platform/window/Window.h"

#include <memory>
#include <string>

namespace ORV::Platform {

class DeviceWindow {
public:
    // Null with a one-line reason in *error when there is no display (desktop
    // mode), no GL 4.5 core context, or the device cannot be created.
    static std::unique_ptr<DeviceWindow> open(const WindowDesc& desc, std::string* error);
    // A hidden window of the given frame size on SDL's offscreen driver, for
    // tools, tests and benchmarks: needs no display.
    static std::unique_ptr<DeviceWindow> openOffscreen(int width, int height, std::string* error);
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
