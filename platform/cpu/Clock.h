// The raw processor clock. It only reads counters; measuring their rate and
// converting counts to seconds is left to its callers (the processor clock
// measurement in console/ProcessorInfo.h and the frame timer). The sleep the
// measurement waits with is sleepMilliseconds in platform/window/Window.h.
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

} // namespace ORV::Platform
