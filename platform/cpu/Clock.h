// The raw processor clock and the sleep. It only reads counters and waits;
// measuring their rate and converting counts to seconds is left to its callers
// (the processor clock measurement in console/ProcessorInfo.h and the frame
// timer).
#pragma once

#include <cstdint>

namespace ORV::Platform {

// One reading of the processor's time-stamp counter. On x86-64 this executes
// CPUID leaf 0 as a serialising instruction and then RDTSC, so that no earlier
// instruction is still in flight when the counter is read. On other
// processors it is monotonicNanoseconds(). The rate is not known here; it is
// measured once per process.
std::uint64_t readTimeStampCounter();

// A monotonic counter in nanoseconds (1 000 000 000 ticks per second),
// unaffected by changes of the wall clock.
std::uint64_t monotonicNanoseconds();

// Blocks the calling thread for at least the given time; the system may
// overshoot and nothing corrects for it.
void sleepMilliseconds(std::uint32_t milliseconds);

} // namespace ORV::Platform
