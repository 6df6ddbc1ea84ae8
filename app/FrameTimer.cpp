#include "app/FrameTimer.h"

namespace ORV::Demo {

std::uint64_t FrameTimer::read() const
{
    if (clock_.readCounter) return clock_.readCounter(clock_.context);
    return Core::ProcessorInfo().readCounter();
}

void FrameTimer::start()
{
    if (clock_.readCounter && clockTicksPerSecond_) {
        ticksPerSecond_ = clockTicksPerSecond_;
    } else {
        const Core::ProcessorInfo processor; // measures the rate the first time only
        ticksPerSecond_ = processor.ticksPerSecond();
    }
    current_ = previous_ = read();
    deltaTicks_ = 0;
    deltaSecondsCache_ = 0.0f;
    deltaValid_ = false;
}

void FrameTimer::tick()
{
    deltaValid_ = false;
    const std::uint64_t now = read();
    deltaTicks_ = static_cast<std::int64_t>(now - previous_);
    current_ = previous_ = now;
}

float FrameTimer::deltaSeconds()
{
    if (!deltaValid_) {
        deltaValid_ = true;
        // Converted in extended precision, then rounded once to single. A rate
        // of 0 (never measured) gives no time rather than a division by zero.
        deltaSecondsCache_ =
            ticksPerSecond_ == 0
                ? 0.0f
                : static_cast<float>(static_cast<long double>(deltaTicks_) / static_cast<long double>(ticksPerSecond_));
    }
    return deltaSecondsCache_;
}

} // namespace ORV::Demo
