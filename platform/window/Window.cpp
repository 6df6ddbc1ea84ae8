#include "platform/window/Window.h"

#include "platform/Allocator.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#if defined(ORV_KEEP_GL_DRIVER_LOADED)
#include <dlfcn.h>
#include <link.h>
#endif

namespace ORV::Platform {

struct Window::Impl {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;

    ~Impl()
    {
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
        SDL_VideoQuit();
    }
};

namespace {

// SDL falls back to its offscreen or dummy driver when no display answers; the
// demo must not run invisibly then, so a desktop window only accepts drivers
// that show something.
bool isHeadlessDriver(const char* name)
{
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0 || std::strcmp(name, "evdev") == 0;
}

// Display servers that are not announced in the environment are not tried:
// probing them only prints the client library's own complaints.
bool driverAnnounced(const char* name)
{
    if (std::strcmp(name, "x11") == 0) return std::getenv("DISPLAY") != nullptr;
    if (std::strcmp(name, "wayland") == 0) return std::getenv("WAYLAND_DISPLAY") != nullptr;
    return true;
}

// Empty when a video driver started, else why none did.
std::string initVideo(VideoMode mode)
{
    if (mode == VideoMode::Offscreen) {
        if (SDL_VideoInit("offscreen") == 0) return {};
        return std::string("cannot start SDL's offscreen video driver: ") + SDL_GetError();
    }
    // A driver named in SDL_VIDEODRIVER is tried as SDL would; otherwise each
    // display driver in SDL's order of preference.
    if (const char* forced = std::getenv("SDL_VIDEODRIVER"); forced && *forced && !isHeadlessDriver(forced)) {
        if (SDL_VideoInit(forced) == 0) return {};
    } else {
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
            const char* name = SDL_GetVideoDriver(i);
            if (!isHeadlessDriver(name) && driverAnnounced(name) && SDL_VideoInit(name) == 0) return {};
        }
    }
    return "no display available";
}

#if defined(ORV_KEEP_GL_DRIVER_LOADED)
// The sanitizer build reports leaks at exit, after the EGL library has
// unloaded the GL driver, so the driver's own leaks would be reported against
// whatever module now lies at their addresses and no suppression could name
// them. Pinning every loaded DRI driver keeps their frames attributed to it.
void keepGlDriverLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
#endif

void requestCoreContext(bool accelerated)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The frame is drawn into the device's own targets; the window only
    // receives the finished image, so it needs no depth or stencil buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    if (accelerated) SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
}

} // namespace

Core::Result<std::unique_ptr<Window>> Window::open(const WindowDesc& desc)
{
    using Opened = Core::Result<std::unique_ptr<Window>>;
    // The allocator must be tuned before the GL driver allocates anything.
    if (desc.tuneAllocator) tuneAllocator();
    if (desc.software) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);

    if (std::string failure = initVideo(desc.mode); !failure.empty()) return Opened::failure(std::move(failure));
    std::unique_ptr<Window> self(new Window);
    self->impl_ = std::make_unique<Impl>();
    Impl& impl = *self->impl_;

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (desc.mode == VideoMode::Offscreen)
        flags |= SDL_WINDOW_HIDDEN;
    else if (desc.fullScreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;

    // First an accelerated context, then any: on a machine without a GPU the
    // second attempt gets the software rasteriser.
    std::string failure;
    for (bool accelerated : {true, false}) {
        if (desc.software && accelerated) continue;
        requestCoreContext(accelerated);
        impl.window = SDL_CreateWindow(desc.title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, desc.width,
                                       desc.height, flags);
        if (impl.window) impl.context = SDL_GL_CreateContext(impl.window);
        if (impl.context) {
            self->accelerated_ = accelerated;
            break;
        }
        failure = std::string("no OpenGL 4.5 core context: ") + SDL_GetError();
        if (impl.window) SDL_DestroyWindow(impl.window);
        impl.window = nullptr;
    }
    if (!impl.context) return Opened::failure(std::move(failure));

    SDL_GL_MakeCurrent(impl.window, impl.context);
#if defined(ORV_KEEP_GL_DRIVER_LOADED)
    keepGlDriverLoaded();
#endif
    SDL_GL_SetSwapInterval(0); // never wait for vertical retrace
    return self;
}

Window::~Window() = default;

void Window::dispatchMessages(WindowProcedure procedure)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: procedure({WindowMessage::Close}); break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) procedure({WindowMessage::Close});
            break;
        case SDL_KEYDOWN: {
            const SDL_Keycode key = event.key.keysym.sym;
            uint32_t virtualKey = static_cast<uint32_t>(key);
            if (key == SDLK_ESCAPE) virtualKey = VirtualKeyEscape;
            if (key == SDLK_RETURN) virtualKey = VirtualKeyReturn;
            procedure({WindowMessage::KeyDown, virtualKey});
            break;
        }
        default: break;
        }
    }
}

void Window::postMessage(const WindowEvent& event)
{
    SDL_Event e{};
    switch (event.message) {
    case WindowMessage::Close:
    case WindowMessage::Destroy:
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        e.window.windowID = SDL_GetWindowID(impl_->window);
        break;
    case WindowMessage::KeyDown:
        e.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.windowID = SDL_GetWindowID(impl_->window);
        e.key.keysym.sym = event.virtualKey == VirtualKeyEscape   ? SDLK_ESCAPE
                           : event.virtualKey == VirtualKeyReturn ? SDLK_RETURN
                                                                  : SDL_Keycode(event.virtualKey);
        break;
    }
    SDL_PushEvent(&e);
}

void Window::swap()
{
    SDL_GL_SwapWindow(impl_->window);
}

void Window::drawableSize(int* width, int* height) const
{
    SDL_GL_GetDrawableSize(impl_->window, width, height);
}

void showCursor(bool show)
{
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

} // namespace ORV::Platform
