// The demo's display: its one window and graphics device, the frame protocol
// (present the previous frame, pump window messages, clear and begin the next),
// and the rendering state that other parts read back instead of querying the
// device: the current world, view and projection matrices, the camera vectors,
// the stack of bound render targets and the stack of render passes.
//
// There is one display per process; its state is process-wide and the first
// Display constructed owns it. Main thread only.
#pragma once

#include "core/Math.h"
#include "display/PassId.h"
#include "display/RenderTargetSurfaces.h"
#include "platform/gfx/Device.h"
#include "platform/window/Window.h"

#include <cstdint>

namespace ORV::Demo {

class Camera;

// Colour that nextFrame clears every frame to: opaque dark blue.
constexpr std::uint32_t frameClearColor = 0xFF00007F;

class Display {
public:
    // The first Display constructed (while no device state exists) becomes the
    // instance and pushes pass 0 on the pass stack.
    Display();
    // The instance releases the device and closes the window.
    virtual ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Opens the window ("demo") and creates the device with a width x height
    // back buffer. reference forces the software rasteriser; mode Offscreen
    // needs no display (tests and tools). Does nothing if a window exists.
    // Returns whether a device exists afterwards; when not, lastError() says
    // why in one line.
    bool createWindow(int width, int height, bool fullScreen, bool reference,
                      Platform::VideoMode mode = Platform::VideoMode::Desktop);
    static const char* lastError();

    // Presents the frame begun by the previous call (if any), dispatches
    // window messages, clears the back buffer and begins the next frame.
    // False once the window is closing (Escape or a close request): the last
    // frame has then been presented and no new one begun.
    bool nextFrame();

    static Gfx::Device& device();
    static bool hasDevice();
    static Display* instance();
    // The window, for tests and tools that post input to it.
    static Platform::Window& window();

    int width() const { return width_; }
    int height() const { return height_; }

    // Sets world matrix `index`; index 0 is also kept as the world copy.
    void setWorld(const Core::Matrix& matrix, std::uint32_t index = 0);
    const Core::Matrix& world() const;
    const Core::Matrix& view() const;
    const Core::Matrix& projection() const;

    // Loads view and projection from the camera and copies its position and axes.
    void setCamera(Camera& camera);
    Core::Vector3 cameraPosition() const;
    Core::Vector3 cameraRight() const;
    Core::Vector3 cameraUp() const;
    Core::Vector3 cameraFront() const;

    // Binds the target's colour and depth surfaces; a part it lacks keeps the
    // surface bound before it. The display does not own the target; pushes and
    // pops must balance. Pop returns the target its push was given.
    void pushRenderTarget(RenderTargetSurfaces* target);
    RenderTargetSurfaces* popRenderTarget();
    Gfx::Surface* currentColorSurface() const;
    Gfx::Surface* currentDepthSurface() const;

    void pushPass(PassId pass);
    PassId popPass();
    PassId currentPass() const;

private:
    int width_ = 0;
    int height_ = 0;
};

} // namespace ORV::Demo
