#include "console/ProcessorInfo.h"
#include "console/detail/ProcessorClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace ORV::Core;

namespace {

// A simulated clock: the counter runs at `rate` ticks per second and only
// advances while "sleeping", by the slept time plus `overshootTicks`.
struct FakeClock {
    static inline std::uint64_t counter = 0;
    static inline std::uint64_t nanoseconds = 0;
    static inline std::uint64_t rate = 0;
    static inline std::uint64_t overshootTicks = 0;
    static inline std::vector<std::uint32_t> sleeps;

    static void reset(std::uint64_t ticksPerSecond, std::uint64_t start = 0)
    {
        counter = start;
        nanoseconds = 5;
        rate = ticksPerSecond;
        overshootTicks = 0;
        sleeps.clear();
    }
    static std::uint64_t read(void*) { return counter; }
    static std::uint64_t readNanoseconds(void*) { return nanoseconds; }
    static void sleep(void*, std::uint32_t milliseconds)
    {
        sleeps.push_back(milliseconds);
        counter += rate / 1000 * milliseconds + overshootTicks;
        nanoseconds += std::uint64_t{milliseconds} * 1'000'000;
    }
    static ClockSource source() { return {&read, &readNanoseconds, &sleep, nullptr}; }
};

} // namespace

TEST(ClockMeasurement, OneSecondGivesTheCountedTicksWithOvershoot)
{
    FakeClock::reset(2'000'000'000);
    FakeClock::overshootTicks = 3'000'000; // 1.5 ms late
    const auto result = detail::measureClock(FakeClock::source(), 1000);
    EXPECT_EQ(result.ticksPerSecond, 2'003'000'000u);
    EXPECT_FALSE(result.usesNanosecondCounter);
    EXPECT_EQ(FakeClock::sleeps, std::vector<std::uint32_t>{1000});
}

TEST(ClockMeasurement, ShortIntervalIsScaledToOneSecond)
{
    FakeClock::reset(2'000'000'000);
    EXPECT_EQ(detail::measureClock(FakeClock::source(), 20).ticksPerSecond, 2'000'000'000u);
    FakeClock::reset(3'000'000'007);
    EXPECT_EQ(detail::measureClock(FakeClock::source(), 7).ticksPerSecond, 3'000'000'000u);
    FakeClock::reset(1000); // one tick in the interval
    EXPECT_EQ(detail::measureClock(FakeClock::source(), 1).ticksPerSecond, 1000u);
    FakeClock::reset(1'000'000);
    FakeClock::overshootTicks = 1; // 3001 ticks in 3 ms: the odd tick counts a third of 1000
    EXPECT_EQ(detail::measureClock(FakeClock::source(), 3).ticksPerSecond, 1'000'333u);
}

TEST(ClockMeasurement, CounterWrapGivesTheUnsignedDifference)
{
    FakeClock::reset(2'000'000'000, ~std::uint64_t{0} - 1000);
    EXPECT_EQ(detail::measureClock(FakeClock::source(), 1000).ticksPerSecond, 2'000'000'000u);
}

TEST(ClockMeasurement, StoppedCounterFallsBackToNanoseconds)
{
    FakeClock::reset(0);
    const auto result = detail::measureClock(FakeClock::source(), 1000);
    EXPECT_EQ(result.ticksPerSecond, detail::nanosecondsPerSecond);
    EXPECT_TRUE(result.usesNanosecondCounter);
}

TEST(ClockMeasurement, TheSourceContextReachesEveryCall)
{
    // A clock of its own, reached through the context only: 500 ticks per
    // millisecond slept.
    struct Own {
        std::uint64_t ticks = 100;
        int calls = 0;
    } own;
    ClockSource source;
    source.readCounter = [](void* c) {
        auto* o = static_cast<Own*>(c);
        ++o->calls;
        return o->ticks;
    };
    source.readNanoseconds = [](void*) { return std::uint64_t{0}; };
    source.sleepMilliseconds = [](void* c, std::uint32_t milliseconds) {
        auto* o = static_cast<Own*>(c);
        ++o->calls;
        o->ticks += 500u * milliseconds;
    };
    source.context = &own;
    EXPECT_EQ(detail::measureClock(source, 4).ticksPerSecond, 500'000u);
    EXPECT_EQ(own.calls, 3);
}

TEST(ClockMeasurement, RealCounterHasAPlausibleRate)
{
    const auto result = detail::measureClock(detail::realClockSource(), 20);
    EXPECT_FALSE(result.usesNanosecondCounter);
    // Time-stamp counters run between a few hundred MHz and a few GHz; the
    // nanosecond counter elsewhere at 1 GHz. Sleep overshoot only adds.
    EXPECT_GT(result.ticksPerSecond, 100'000'000u);
    EXPECT_LT(result.ticksPerSecond, 20'000'000'000u);
}

TEST(ProcessorInfo, OnlyTheFirstConstructionMeasures)
{
    // Needs a process in which nothing has measured yet (ctest runs each case
    // in its own process; this binary measures nowhere else).
    ASSERT_EQ(detail::identifiedClock().ticksPerSecond, 0u);

    FakeClock::reset(2'000'000'000);
    detail::identifyProcessor(FakeClock::source());
    EXPECT_EQ(FakeClock::sleeps, std::vector<std::uint32_t>{1000});

    // The real source would sleep a second and measure a different rate.
    const ProcessorInfo first;
    const ProcessorInfo second;
    EXPECT_EQ(first.ticksPerSecond(), 2'000'000'000u);
    EXPECT_EQ(second.ticksPerSecond(), 2'000'000'000u);

    FakeClock::rate = 5;
    detail::identifyProcessor(FakeClock::source());
    EXPECT_EQ(FakeClock::sleeps.size(), 1u);
    EXPECT_EQ(ProcessorInfo().ticksPerSecond(), 2'000'000'000u);

    const std::uint64_t a = first.readCounter();
    const std::uint64_t b = first.readCounter();
    EXPECT_GE(b, a);
}

TEST(ProcessorInfoDeathTest, StoppedCounterSwitchesReadingsToNanoseconds)
{
    // In a fresh process, so that the once-only measurement can run again.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FakeClock::reset(0);
            detail::identifyProcessor(FakeClock::source());
            const ProcessorInfo info;
            const std::uint64_t before = info.readCounter();
            const std::uint64_t reference = ORV::Core::detail::realClockSource().readNanoseconds(nullptr);
            const std::uint64_t after = info.readCounter();
            // Readings come from the nanosecond counter: the reference read in
            // between lies between them.
            const bool ok =
                info.ticksPerSecond() == detail::nanosecondsPerSecond && before <= reference && reference <= after;
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
