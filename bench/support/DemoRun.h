// The whole demo played off-screen by a benchmark: set up as the main
// function sets it up, without its fixed waits, then the script at a fixed
// step through the real timeline and chain, each frame timed and split by
// chain step.
#pragma once

#include "bench/demo/StepTimer.h"
#include "bench/support/Figures.h"
#include "display/Display.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace ORV::Bench {

// The display and the demo's settings for one off-screen run; the assets are
// mounted from assetFolder. Destroy it only after stopDemo.
class OffscreenDemo {
public:
    OffscreenDemo(const std::string& assetFolder, int width, int height);
    ~OffscreenDemo();
    OffscreenDemo(const OffscreenDemo&) = delete;
    OffscreenDemo& operator=(const OffscreenDemo&) = delete;

    // False when no off-screen device could be made; error() says why.
    bool ok() const { return ok_; }
    std::string error() const;
    Demo::Display& display() { return display_; }

private:
    Demo::Display display_;
    bool ok_ = false;
};

struct FrameRecord {
    float time; // demo seconds
    double milliseconds; // runDemoFrame, with the step timer's waits
    std::array<double, StepTimer::StepCount> steps; // milliseconds
    std::size_t allocations; // operator new calls in the frame
    Clock::time_point finishedAt; // the frame drawn and finished by the renderer
};

// Plays from time 0 to the script's end, after startDemo: frame n at n * step
// (summed in float, as the demo's own loop sums its deltas). The frame whose
// runDemoFrame says the script has ended is not recorded.
std::vector<FrameRecord> playDemo(Demo::Display& display, float step);

// The median frame of each whole second of demo time that has frames.
struct SecondFigures {
    int second;
    double milliseconds;
    std::array<double, StepTimer::StepCount> steps;
    std::size_t allocations; // all of the second's frames together
};
std::vector<SecondFigures> perSecond(const std::vector<FrameRecord>& frames);

struct RunFigures {
    double medianMilliseconds = 0; // over every frame
    std::array<double, StepTimer::StepCount> medianSteps{}; // each step's own median over every frame
    int worstSecond = 0; // the second whose median frame is slowest
    double worstSecondMilliseconds = 0;
    std::size_t allocations = 0;
};
RunFigures summarise(const std::vector<FrameRecord>& frames);

} // namespace ORV::Bench
