#include "console/ProcessorInfo.h"

#include "console/detail/ProcessorClock.h"
#include "platform/cpu/Clock.h"

#include <cassert>

namespace ORV::Core {

namespace detail {

namespace {

// Process-wide measurement state, written once by the first identifyProcessor.
bool identified = false;
ClockMeasurement measurement;

} // namespace

ClockSource realClockSource()
{
    ClockSource source;
    source.readCounter = [](void*) { return Platform::readTimeStampCounter(); };
    source.readNanoseconds = [](void*) { return Platform::monotonicNanoseconds(); };
    source.sleepMilliseconds = [](void*, std::uint32_t milliseconds) { Platform::sleepMilliseconds(milliseconds); };
    return source;
}

ClockMeasurement measureClock(const ClockSource& source, std::uint32_t intervalMilliseconds)
{
    assert(intervalMilliseconds > 0);
    const std::uint64_t t0 = source.readCounter(source.context);
    source.sleepMilliseconds(source.context, intervalMilliseconds);
    const std::uint64_t t1 = source.readCounter(source.context);
    const std::uint64_t ticks = t1 - t0;

    if (ticks == 0) return {nanosecondsPerSecond, true};
    if (intervalMilliseconds == measuredIntervalMilliseconds) return {ticks, false};

    // Scaled without overflowing 64 bits for any realistic count.
    const std::uint64_t whole = ticks / intervalMilliseconds;
    const std::uint64_t rest = ticks % intervalMilliseconds;
    const std::uint64_t rate = whole * 1000 + rest * 1000 / intervalMilliseconds;
    if (rate == 0) return {nanosecondsPerSecond, true};
    return {rate, false};
}

void identifyProcessor(const ClockSource& source)
{
    if (identified) return;
    identified = true;
    measurement = measureClock(source, measuredIntervalMilliseconds);
}

ClockMeasurement identifiedClock()
{
    return measurement;
}

} // namespace detail

ProcessorInfo::ProcessorInfo()
{
    detail::identifyProcessor(detail::realClockSource());
}

std::uint64_t ProcessorInfo::ticksPerSecond() const
{
    return detail::identifiedClock().ticksPerSecond;
}

std::uint64_t ProcessorInfo::readCounter() const
{
    return detail::identifiedClock().usesNanosecondCounter ? Platform::monotonicNanoseconds()
                                                           : Platform::readTimeStampCounter();
}

} // namespace ORV::Core
