// Frames per second of empty frames (clear + present) off-screen at the demo's
// 640 x 480, through the display's frame protocol: the floor every frame of
// the demo stands on. Also times reading the back buffer back, which capture
// adds to each frame.
#include "display/Display.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace ORV::Demo;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 600;
    Display display;
    if (!display.createWindow(640, 480, false, false, ORV::Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "bench_frameloop: %s\n", Display::lastError());
        return 1;
    }
    std::printf("renderer: %s\n", Display::device().rendererName().c_str());

    for (int i = 0; i < 30; ++i) display.nextFrame(); // warm-up
    auto start = Clock::now();
    for (int i = 0; i < frames; ++i) display.nextFrame();
    const double empty = secondsSince(start);
    std::printf("empty frames (clear + present), 640x480: %d frames in %.3f s = %.1f fps, %.3f ms/frame\n", frames,
                empty, frames / empty, 1000.0 * empty / frames);

    start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        display.nextFrame();
        auto pixels = Display::device().readPixels(*Display::device().backBuffer());
        if (pixels.empty()) return 1;
    }
    const double withRead = secondsSince(start);
    std::printf("with back-buffer read-back:             %d frames in %.3f s = %.1f fps, %.3f ms/frame\n", frames,
                withRead, frames / withRead, 1000.0 * withRead / frames);
    return 0;
}
