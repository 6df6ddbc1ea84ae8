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
#include "bench/support/DemoRun.h"
#include "bench/support/Figures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace ORV;
using namespace ORV::Bench;

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
    OffscreenDemo demo(ORV_DEMO_DIR, width, height);
    if (!demo.ok()) {
        std::fprintf(stderr, "%s\n", demo.error().c_str());
        return 1;
    }

    const auto startAt = Clock::now();
    Demo::startDemo();
    std::printf("start-up (registration, 22 assets under the loading screen, chain, timeline, music): %.0f ms\n",
                millisecondsSince(startAt));

    const auto playAt = Clock::now();
    const std::vector<FrameRecord> frames = playDemo(demo.display(), 1.0f / float(fps));
    const double playSeconds = secondsSince(playAt);
    Demo::stopDemo();

    std::printf("%zu frames at a fixed step of 1/%d s, %dx%d, %.1f s to play 148 s\n\n", frames.size(), fps, width,
                height, playSeconds);
    std::printf("second   fps  frame ms  ");
    for (const char* name : StepTimer::names) std::printf(" %9s", name);
    std::printf("  allocations\n");
    for (const SecondFigures& second : perSecond(frames)) {
        std::printf("%6d %5.1f %9.2f  ", second.second, 1000.0 / second.milliseconds, second.milliseconds);
        for (const double ms : second.steps) std::printf(" %9.2f", ms);
        std::printf(" %12zu\n", second.allocations);
    }
    const RunFigures run = summarise(frames);
    // A segment's first frame hands its group to the chain: a few allocations
    // over the whole run, none in the frames between.
    std::printf("\nmedian frame %.2f ms = %.1f fps; worst second %d at %.1f fps; heap allocations in %zu frames: %zu\n",
                run.medianMilliseconds, 1000.0 / run.medianMilliseconds, run.worstSecond,
                1000.0 / run.worstSecondMilliseconds, frames.size(), run.allocations);
    return 0;
}
