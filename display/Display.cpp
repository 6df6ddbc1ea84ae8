#include "display/Display.h"

#include "display/Camera.h"
#include "platform/DeviceWindow.h"

#include <cassert>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Demo {

namespace {

// The process-wide display state, owned by the instance.
struct DisplayState {
    Display* instance = nullptr; // the Display that owns this state
    std::unique_ptr<Platform::DeviceWindow> deviceWindow;
    std::string lastError;
    bool running = false;
    bool sceneOpen = false;

    Core::Matrix world, view, projection;
    Core::Vector3 cameraPosition, cameraRight, cameraUp, cameraFront;

    std::vector<RenderTargetSurfaces*> targets; // not owned
    std::vector<Gfx::Surface*> colorSurfaces; // not owned
    std::vector<Gfx::Surface*> depthSurfaces; // not owned
    std::vector<PassId> passes;
};

DisplayState& state()
{
    static DisplayState s;
    return s;
}

// The window procedure: a close request or Escape ends the run after the frame
// in progress; the window itself stays. Other keys are swallowed.
void windowProcedure(const Platform::WindowEvent& event)
{
    switch (event.message) {
    case Platform::WindowMessage::Close:
    case Platform::WindowMessage::Destroy: state().running = false; break;
    case Platform::WindowMessage::KeyDown:
        if (event.virtualKey == Platform::VirtualKeyEscape) state().running = false;
        break;
    }
}

} // namespace

Display::Display()
{
    DisplayState& s = state();
    if (s.instance) return;
    s.instance = this;
    s.passes.push_back(0);
}

Display::~Display()
{
    DisplayState& s = state();
    if (s.instance != this) return;
    // The device and window go; so does everything kept beside them, so that
    // a display constructed later starts as the first one did.
    s.deviceWindow.reset();
    s = DisplayState{};
}

bool Display::createWindow(int width, int height, bool fullScreen, bool reference, Platform::VideoMode mode)
{
    DisplayState& s = state();
    if (s.deviceWindow) return true;
    Platform::WindowDesc desc;
    desc.title = "demo";
    desc.width = width;
    desc.height = height;
    desc.fullScreen = fullScreen;
    desc.software = reference;
    desc.mode = mode;
    auto opened = Platform::DeviceWindow::open(desc);
    if (!opened) {
        // One line: the first of the messages, which names the failure.
        const std::string& messages = opened.messages();
        s.lastError = messages.substr(0, messages.find('\n'));
        return false;
    }
    s.lastError.clear();
    s.deviceWindow = std::move(opened).value();

    // The device's first states; the main function sets its own right after.
    Gfx::Device& d = s.deviceWindow->device();
    d.setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::None));
    d.setRenderState(Gfx::RenderState::Lighting, 0);
    d.setRenderState(Gfx::RenderState::ZEnable, Gfx::value(Gfx::ZBufferType::False));
    d.setRenderState(Gfx::RenderState::ZFunc, Gfx::value(Gfx::Cmp::LessEqual));
    width_ = width;
    height_ = height;
    s.running = true;
    return true;
}

const char* Display::lastError()
{
    return state().lastError.c_str();
}

bool Display::nextFrame()
{
    DisplayState& s = state();
    if (s.sceneOpen) {
        Gfx::Device& d = device();
        d.endScene();
        d.present();
        s.sceneOpen = false;
    }
    if (!s.running) return false;
    s.deviceWindow->window().dispatchMessages(windowProcedure);
    Gfx::Device& d = device();
    d.clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer | Gfx::ClearFlag::Stencil, frameClearColor, 1.0f, 0);
    d.beginScene();
    s.sceneOpen = true;
    return true;
}

Gfx::Device& Display::device()
{
    assert(state().deviceWindow && "no device: createWindow first");
    return state().deviceWindow->device();
}

bool Display::hasDevice()
{
    return state().deviceWindow != nullptr;
}

Display* Display::instance()
{
    return state().instance;
}

Platform::Window& Display::window()
{
    assert(state().deviceWindow);
    return state().deviceWindow->window();
}

void Display::setWorld(const Core::Matrix& matrix, std::uint32_t index)
{
    device().setTransform(Gfx::worldMatrix(index), matrix);
    if (index == 0) state().world = matrix;
}

const Core::Matrix& Display::world() const
{
    return state().world;
}
const Core::Matrix& Display::view() const
{
    return state().view;
}
const Core::Matrix& Display::projection() const
{
    return state().projection;
}

void Display::setCamera(Camera& camera)
{
    DisplayState& s = state();
    s.view = camera.viewMatrix();
    device().setTransform(Gfx::TransformView, s.view);
    s.projection = camera.projectionMatrix();
    device().setTransform(Gfx::TransformProjection, s.projection);
    s.cameraPosition = camera.position();
    s.cameraRight = camera.right();
    s.cameraUp = camera.up();
    s.cameraFront = camera.front();
}

Core::Vector3 Display::cameraPosition() const
{
    return state().cameraPosition;
}
Core::Vector3 Display::cameraRight() const
{
    return state().cameraRight;
}
Core::Vector3 Display::cameraUp() const
{
    return state().cameraUp;
}
Core::Vector3 Display::cameraFront() const
{
    return state().cameraFront;
}

void Display::pushRenderTarget(RenderTargetSurfaces* target)
{
    assert(target);
    DisplayState& s = state();
    s.targets.push_back(target);
    Gfx::Surface* color = target->colorSurface() ? target->colorSurface() : currentColorSurface();
    device().setRenderTarget(0, color);
    s.colorSurfaces.push_back(color);
    Gfx::Surface* depth = target->depthSurface() ? target->depthSurface() : currentDepthSurface();
    device().setDepthStencilSurface(depth);
    s.depthSurfaces.push_back(depth);
}

RenderTargetSurfaces* Display::popRenderTarget()
{
    DisplayState& s = state();
    assert(!s.targets.empty() && "popRenderTarget without a push");
    RenderTargetSurfaces* target = s.targets.back();
    s.targets.pop_back();
    s.colorSurfaces.pop_back();
    s.depthSurfaces.pop_back();
    device().setRenderTarget(0, currentColorSurface());
    device().setDepthStencilSurface(currentDepthSurface());
    return target;
}

Gfx::Surface* Display::currentColorSurface() const
{
    const DisplayState& s = state();
    return s.colorSurfaces.empty() ? device().backBuffer() : s.colorSurfaces.back();
}

Gfx::Surface* Display::currentDepthSurface() const
{
    const DisplayState& s = state();
    return s.depthSurfaces.empty() ? device().defaultDepthStencil() : s.depthSurfaces.back();
}

void Display::pushPass(PassId pass)
{
    state().passes.push_back(pass);
}

PassId Display::popPass()
{
    DisplayState& s = state();
    assert(!s.passes.empty() && "popPass without a push");
    const PassId pass = s.passes.back();
    s.passes.pop_back();
    return pass;
}

PassId Display::currentPass() const
{
    const DisplayState& s = state();
    return s.passes.empty() ? 0 : s.passes.back();
}

} // namespace ORV::Demo
