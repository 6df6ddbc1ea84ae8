// The measurement behind ProcessorInfo with its clock sources passed in, so that
// tests can measure over a short interval or with a simulated counter. The
// engine itself only goes through ProcessorInfo, which uses realClockSource()
// and a 1000 ms interval.
#pragma once

#include "console/ProcessorInfo.h"

#include <cstdint>

namespace ORV::Core::detail {

// The time-stamp counter, the monotonic nanosecond counter and the system sleep.
ClockSource realClockSource();

inline constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;
inline constexpr std::uint32_t measuredIntervalMilliseconds = 1000;

struct ClockMeasurement {
    std::uint64_t ticksPerSecond = 0; // never 0
    bool usesNanosecondCounter = false; // true after the zero-rate fallback
};

// Reads the counter, sleeps intervalMilliseconds (> 0), reads it again and
// scales the unsigned difference to one second. With the 1000 ms interval the
// rate is the difference itself. A difference of 0 yields the nanosecond
// counter at its exact rate instead.
ClockMeasurement measureClock(const ClockSource& source, std::uint32_t intervalMilliseconds);

// The once-per-process step of ProcessorInfo construction: the first call
// measures with the given source over 1000 ms and stores the result; later calls
// return at once, whatever source they are given.
void identifyProcessor(const ClockSource& source);

// The stored measurement; ticksPerSecond is 0 until identifyProcessor has run.
ClockMeasurement identifiedClock();

} // namespace ORV::Core::detail
