// The platform's clocks against what the processor and the C++ library read
// around them.
#include "platform/cpu/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <x86intrin.h>
#endif

using namespace ORV::Platform;

TEST(Clock, TimeStampCounterIsTheProcessorsWholeCounter)
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Both halves of the counter: a read between two reads of RDTSC lies
    // between them.
    const std::uint64_t before = __rdtsc();
    const std::uint64_t read = readTimeStampCounter();
    const std::uint64_t after = __rdtsc();
    EXPECT_LE(before, read);
    EXPECT_LE(read, after);
#else
    GTEST_SKIP() << "the counter is the monotonic clock here";
#endif
}

TEST(Clock, MonotonicNanosecondsFollowTheSteadyClock)
{
    const auto nanoseconds = [] {
        return std::uint64_t(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    };
    const std::uint64_t before = nanoseconds();
    const std::uint64_t read = monotonicNanoseconds();
    const std::uint64_t after = nanoseconds();
    EXPECT_LE(before, read);
    EXPECT_LE(read, after);
}
