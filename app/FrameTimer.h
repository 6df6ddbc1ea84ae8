// Frame intervals measured with the processor clock: the delta d of every
// frame, converted to seconds at most once per frame.
#pragma once

#include "console/ProcessorInfo.h"

#include <cstdint>

namespace ORV::Demo {

class FrameTimer {
public:
    // Reads the processor clock (the demo).
    FrameTimer() = default;
    // Reads the clock's counter at the given rate (tests, so that frames need
    // not take real time); a rate of 0 is taken from the processor clock. Only
    // readCounter of the clock is used.
    FrameTimer(Core::ClockSource clock, std::uint64_t ticksPerSecond)
        : clock_(clock), clockTicksPerSecond_(ticksPerSecond)
    {}

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

    Core::ClockSource clock_;
    std::uint64_t clockTicksPerSecond_ = 0;
    std::uint64_t current_ = 0;
    std::uint64_t previous_ = 0;
    std::uint64_t ticksPerSecond_ = 0;
    std::int64_t deltaTicks_ = 0;
    bool deltaValid_ = false;
    float deltaSecondsCache_ = 0.0f;
};

} // namespace ORV::Demo
