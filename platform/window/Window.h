// The demo's one window and its OpenGL 4.5 core context, over SDL2. It opens
// the window, pumps its events as window messages and swaps the frame; it does
// not draw and makes no GL call (the graphics device does, through the context
// made current here).
#pragma once

#include "core/Result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ORV::Platform {

enum class VideoMode : uint8_t {
    Desktop, // a real display; fails when there is none
    Offscreen, // SDL's offscreen driver over EGL: tests and command-line tools
};

struct WindowDesc {
    std::string title = "demo";
    int width = 640; // the size of the frame the device draws
    int height = 480;
    bool fullScreen = true; // full screen on the desktop, frame letterboxed
    bool software = false; // force the software rasteriser (the reference device)
    VideoMode mode = VideoMode::Desktop;
    // Fix the C allocator's thresholds before the GL driver starts (see
    // platform/Allocator.h). Off only to measure what it is worth.
    bool tuneAllocator = true;
};

// The messages the window procedure of the display understands.
enum class WindowMessage : uint8_t { Close, Destroy, KeyDown };
constexpr uint32_t VirtualKeyEscape = 27;
constexpr uint32_t VirtualKeyReturn = 13;

struct WindowEvent {
    WindowMessage message;
    uint32_t virtualKey = 0; // KeyDown only: Windows virtual-key code where one exists
};

using WindowProcedure = void (*)(const WindowEvent&);

class Window {
public:
    // Opens the window with its GL context current on the calling thread. The
    // context is first requested accelerated, then (if that fails) from any
    // renderer, the software rasteriser included. Fails with a one-line reason
    // when there is no display or no GL 4.5 core context.
    static Core::Result<std::unique_ptr<Window>> open(const WindowDesc& desc);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Removes every waiting event and hands those that are window messages to
    // the procedure; other events are swallowed.
    void dispatchMessages(WindowProcedure procedure);
    // Queues a message as if the user had caused it; the next
    // dispatchMessages delivers it. For tests and tools that drive the window.
    void postMessage(const WindowEvent& event);
    // Shows the drawn frame. Never waits for vertical retrace.
    void swap();
    // The size in pixels of the window's drawable area.
    void drawableSize(int* width, int* height) const;
    bool acceleratedContext() const { return accelerated_; }

private:
    Window() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool accelerated_ = false;
};

// Shows or hides the mouse cursor over the demo's window.
void showCursor(bool show);

} // namespace ORV::Platform
