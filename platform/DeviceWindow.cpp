#include "platform/DeviceWindow.h"

namespace ORV::Platform {

class DeviceWindow::Presenter final : public Gfx::PresentTarget {
public:
    explicit Presenter(Window& window) : window_(window) {}
    void drawableSize(int* width, int* height) const override { window_.drawableSize(width, height); }
    void swap() override { window_.swap(); }

private:
    Window& window_;
};

Core::Result<std::unique_ptr<DeviceWindow>> DeviceWindow::open(const WindowDesc& desc)
{
    using Opened = Core::Result<std::unique_ptr<DeviceWindow>>;
    std::unique_ptr<DeviceWindow> self(new DeviceWindow);
    auto window = Window::open(desc);
    if (!window) return Opened::failure(window.messages());
    self->window_ = std::move(window).value();
    self->presenter_ = std::make_unique<Presenter>(*self->window_);
    auto device = Gfx::Device::create(desc.width, desc.height, self->presenter_.get());
    if (!device) return Opened::failure(device.messages());
    self->device_ = std::move(device).value();
    return self;
}

Core::Result<std::unique_ptr<DeviceWindow>> DeviceWindow::openOffscreen(int width, int height)
{
    WindowDesc desc;
    desc.width = width;
    desc.height = height;
    desc.fullScreen = false;
    desc.mode = VideoMode::Offscreen;
    return open(desc);
}

DeviceWindow::~DeviceWindow() = default;

} // namespace ORV::Platform
