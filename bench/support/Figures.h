// Small helpers every benchmark program uses to turn timings into figures.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace ORV::Bench {

using Clock = std::chrono::steady_clock;

// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace ORV::Bench
