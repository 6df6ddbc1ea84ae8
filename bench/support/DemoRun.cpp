#include "bench/support/DemoRun.h"

#include "app/Demo.h"
#include "app/Settings.h"
#include "bench/support/Figures.h"
#include "resources/FileSystem.h"
#include "tests/support/AllocationWatch.h"

namespace ORV::Bench {

OffscreenDemo::OffscreenDemo(const std::string& assetFolder, int width, int height)
{
    Demo::fileSystem().remount(assetFolder);
    // Everything the demo makes is sized from these, so they are set before
    // the display exists.
    Demo::screenWidth = width;
    Demo::screenHeight = height;
    ok_ = display_.createWindow(width, height, false, false, Platform::VideoMode::Offscreen);
    if (!ok_) return;
    Demo::currentDisplay = &display_;
    Demo::setDemoRenderStates();
}

OffscreenDemo::~OffscreenDemo()
{
    Demo::currentDisplay = nullptr;
}

std::string OffscreenDemo::error() const
{
    return ok_ ? std::string() : std::string("no off-screen device: ") + Demo::Display::lastError();
}

std::vector<FrameRecord> playDemo(Demo::Display& display, float step)
{
    StepTimer steps;
    Demo::setDemoChainObserver(&steps);
    std::vector<FrameRecord> frames;
    float time = 0.0f, delta = 0.0f;
    while (display.nextFrame()) {
        time = time + delta;
        const Clock::time_point frameAt = Clock::now();
        steps.beginFrame();
        bool playing = false;
        std::size_t allocations = 0;
        {
            Test::AllocationWatch watch;
            playing = Demo::runDemoFrame(time, delta);
            allocations = watch.allocations();
        }
        steps.endFrame();
        if (!playing) break; // the script has ended: that call drew nothing
        frames.push_back({time, millisecondsSince(frameAt), steps.frame(), allocations, Clock::now()});
        delta = step;
    }
    Demo::setDemoChainObserver(nullptr);
    return frames;
}

std::vector<SecondFigures> perSecond(const std::vector<FrameRecord>& frames)
{
    std::vector<SecondFigures> seconds;
    for (int second = 0; second < int(Demo::demoEndTime); ++second) {
        std::vector<double> ms;
        std::array<std::vector<double>, StepTimer::StepCount> split;
        std::size_t allocations = 0;
        for (const FrameRecord& f : frames) {
            if (int(f.time) != second) continue;
            ms.push_back(f.milliseconds);
            allocations += f.allocations;
            for (std::size_t s = 0; s < split.size(); ++s) split[s].push_back(f.steps[s]);
        }
        if (ms.empty()) continue;
        SecondFigures figures{second, median(ms), {}, allocations};
        for (std::size_t s = 0; s < split.size(); ++s) figures.steps[s] = median(split[s]);
        seconds.push_back(figures);
    }
    return seconds;
}

RunFigures summarise(const std::vector<FrameRecord>& frames)
{
    RunFigures run;
    std::vector<double> all;
    std::array<std::vector<double>, StepTimer::StepCount> split;
    for (const FrameRecord& f : frames) {
        all.push_back(f.milliseconds);
        run.allocations += f.allocations;
        for (std::size_t s = 0; s < split.size(); ++s) split[s].push_back(f.steps[s]);
    }
    run.medianMilliseconds = median(all);
    for (std::size_t s = 0; s < split.size(); ++s) run.medianSteps[s] = median(split[s]);
    for (const SecondFigures& second : perSecond(frames)) {
        if (second.milliseconds > run.worstSecondMilliseconds) {
            run.worstSecondMilliseconds = second.milliseconds;
            run.worstSecond = second.second;
        }
    }
    return run;
}

} // namespace ORV::Bench
