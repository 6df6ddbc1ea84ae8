// The whole demo off-screen: start-up (registration and the loading screen,
// without the main function's fixed waits), then the 148-second script at a
// fixed step through the real timeline and chain, then shutdown. Prints, for
// every second of demo time, the median frame time and its split by chain
// step (the five scene drawings, outline, glow, final; the chain waits for
// the GPU at each step), then the median over all frames, the worst second, and the
// heap allocations per frame.
//
//   SDL_VIDEODRIVER=offscreen build/release/bench/demo/demo_bench [--fps N] [--size WxH]
//
// Runs in the demo's folder (the assets are found below it): ORV_DEMO_DIR.
#include "app/Demo.h"
#include "app/Settings.h"
#include "bench/demo/StepTimer.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "tests/support/AllocationWatch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct FrameRecord {
    float time;
    double milliseconds;
    std::array<double, Bench::StepTimer::StepCount> steps;
    std::size_t allocations;
};

} // namespace

int main(int argc, char** argv)
{
    int fps = 30;
    int width = 640, height = 480;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fps") == 0) fps = std::clamp(std::atoi(argv[i + 1]), 1, 240);
        if (std::strcmp(argv[i], "--size") == 0 && std::sscanf(argv[i + 1], "%dx%d", &width, &height) != 2) {
            std::fprintf(stderr, "--size WxH\n");
            return 2;
        }
    }
    fileSystem().remount(ORV_DEMO_DIR);
    screenWidth = width;
    screenHeight = height;
    Display display;
    if (!display.createWindow(width, height, false, false, Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "no off-screen device: %s\n", Display::lastError());
        return 1;
    }
    currentDisplay = &display;
    setDemoRenderStates();

    const auto startAt = Clock::now();
    startDemo();
    std::printf("start-up (registration, 22 assets under the loading screen, chain, timeline, music): %.0f ms\n",
                millisecondsSince(startAt));

    Bench::StepTimer steps;
    setDemoChainObserver(&steps);
    std::vector<FrameRecord> frames;
    std::size_t allocations = 0;
    const float step = 1.0f / float(fps);
    float time = 0.0f, delta = 0.0f;
    const auto playAt = Clock::now();
    for (;;) {
        if (!display.nextFrame()) break;
        time = time + delta;
        const auto frameAt = Clock::now();
        steps.beginFrame();
        bool playing = false;
        std::size_t frameAllocations = 0;
        {
            Test::AllocationWatch watch;
            playing = runDemoFrame(time, delta);
            frameAllocations = watch.allocations();
        }
        allocations += frameAllocations;
        steps.endFrame();
        if (!playing) break; // the script has ended: that call drew nothing
        frames.push_back({time, millisecondsSince(frameAt), steps.frame(), frameAllocations});
        delta = step;
    }
    const double playSeconds = millisecondsSince(playAt) / 1000.0;
    setDemoChainObserver(nullptr);
    stopDemo();
    currentDisplay = nullptr;

    std::printf("%zu frames at a fixed step of 1/%d s, %dx%d, %.1f s to play 148 s\n\n", frames.size(), fps, width,
                height, playSeconds);
    std::printf("second   fps  frame ms  ");
    for (const char* name : Bench::StepTimer::names) std::printf(" %9s", name);
    std::printf("  allocations\n");
    double worstFps = 1e9;
    int worstSecond = 0;
    std::vector<double> all;
    for (int second = 0; second < int(demoEndTime); ++second) {
        std::vector<double> ms;
        std::array<std::vector<double>, Bench::StepTimer::StepCount> split;
        std::size_t secondAllocations = 0;
        for (const FrameRecord& f : frames) {
            if (int(f.time) != second) continue;
            ms.push_back(f.milliseconds);
            secondAllocations += f.allocations;
            for (int s = 0; s < Bench::StepTimer::StepCount; ++s)
                split[std::size_t(s)].push_back(f.steps[std::size_t(s)]);
        }
        if (ms.empty()) continue;
        all.insert(all.end(), ms.begin(), ms.end());
        const double m = median(ms);
        if (1000.0 / m < worstFps) {
            worstFps = 1000.0 / m;
            worstSecond = second;
        }
        std::printf("%6d %5.1f %9.2f  ", second, 1000.0 / m, m);
        for (const std::vector<double>& times : split) std::printf(" %9.2f", median(times));
        std::printf(" %12zu\n", secondAllocations);
    }
    const double medianMs = median(all);
    // A segment's first frame hands its group to the chain: a few allocations
    // over the whole run, none in the frames between.
    std::printf("\nmedian frame %.2f ms = %.1f fps; worst second %d at %.1f fps; heap allocations in %zu frames: %zu\n",
                medianMs, 1000.0 / medianMs, worstSecond, worstFps, frames.size(), allocations);
    return 0;
}
