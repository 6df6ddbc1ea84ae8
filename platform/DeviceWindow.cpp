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

std::unique_ptr<DeviceWindow> DeviceWindow::open(const WindowDesc& desc, std::string* error)
{
    std::string ignored;
    if (!error) error = &ignored;
    std::unique_ptr<DeviceWindow> self(new DeviceWindow);
    self->window_ = Window::open(desc, error);
    if (!self->window_) return nullptr;
    self->presenter_ = std::make_unique<Presenter>(*self->window_);
    self->device_ = Gfx::Device::create(desc.width, desc.height, self->presenter_.get());
    if (!self->device_) {
        *error = std::string("cannot create the graphics device on ") + self->window_->rendererName();
        return nullptr;
    }
    return self;
}

std::unique_ptr<DeviceWindow> DeviceWindow::openOffscreen(int width, int height, std::string* error)
{
    WindowDesc desc;
    desc.width = width;
    desc.height = height;
    desc.fullScreen = false;
    desc.mode = VideoMode::Offscreen;
    return open(desc, error);
}

DeviceWindow::~DeviceWindow() = default;

} // namespace ORV::Platform
