// Measures, once per process, how many processor clock ticks make one second,
// and reads that clock. The frame timer counts frame intervals with it; turning
// ticks into seconds is the frame timer's job.
#pragma once

#include <cstdint>

namespace ORV::Core {

// Where time comes from: the counter, the nanosecond counter that stands in
// for a counter that does not run, and the sleep. The engine reads the
// platform's clock; tests give their own so that no real time needs to pass.
// The one way to hand a clock to the processor clock measurement
// (console/detail/ProcessorClock.h) and to the frame timer, which only reads
// the counter. Every call gets `context`.
struct ClockSource {
    std::uint64_t (*readCounter)(void* context) = nullptr;
    std::uint64_t (*readNanoseconds)(void* context) = nullptr; // 1e9 ticks per second
    void (*sleepMilliseconds)(void* context, std::uint32_t milliseconds) = nullptr;
    void* context = nullptr;
};

// The first ProcessorInfo constructed in the process measures the clock: it
// reads the time-stamp counter, sleeps 1000 ms and reads it again, and keeps
// the difference as ticksPerSecond (sleep overshoot included, not corrected).
// That blocks for about a second. Every later construction returns at once and
// changes nothing. Construct only from the main thread; the guard is not locked.
//
// ticksPerSecond() is never 0, so callers may divide by it. When the
// time-stamp counter did not advance across the measured second (a counter
// that does not run), the process switches to the monotonic nanosecond
// counter with a rate of exactly 1 000 000 000; readCounter() then reads that
// counter, so readings and rate always belong together. Read the counter
// through readCounter(), not the raw platform call.
class ProcessorInfo {
public:
    ProcessorInfo();

    // Ticks of readCounter() per second; greater than 0.
    std::uint64_t ticksPerSecond() const;

    // One reading of the measured counter: the time-stamp counter (CPUID leaf 0
    // then RDTSC on x86-64), or the monotonic nanosecond counter after the
    // fallback above.
    std::uint64_t readCounter() const;
};

} // namespace ORV::Core
