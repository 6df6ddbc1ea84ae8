// Frame intervals measured with the processor clock: the delta d of every
// frame, converted to seconds at most once per frame.
#pragma once

#include "console/ProcessorInfo.h"

#include <cstdint>

namespace ORV::Demo {

// Where the timer reads its counter. The demo uses the processor clock; tests
// give a counter of their own so that frames need not take real time.
struct FrameClock {
    std::uint64_t (*read)(void* context) = nullptr;
    void* context = nullptr;
    std::uint64_t ticksPerSecond = 0; // 0: taken from the processor clock
};

class FrameTimer {
public:
    FrameTimer() = default;
    explicit FrameTimer(FrameClock clock) : clock_(clock) {}

    // Makes sure the clock rate is known (measuring it takes a second the
    // first time in the process), takes one reading and sets the delta to 0.
    void start();
    // Closes a frame: the delta becomes the time since the previous tick.
    void tick();
    // The last delta in seconds, single precision; the same value until the
    // next tick, converted once.
    float deltaSeconds();

private:
    std::uint64_t read() const;

    FrameClock clock_;
    std::uint64_t current_ = 0;
    std::uint64_t previous_ = 0;
    std::uint64_t ticksPerSecond_ = 0;
    std::int64_t deltaTicks_ = 0;
    bool deltaValid_ = false;
    float deltaSecondsCache_ = 0.0f;
};

} // namespace ORV::Demo
