#include "platform/ProcessStats.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif

namespace ORV::Platform {

ProcessCounters processCounters()
{
    ProcessCounters counters;
#if defined(__unix__) || defined(__APPLE__)
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
        counters.minorPageFaults = std::uint64_t(usage.ru_minflt);
        counters.processorSeconds = double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)
                                    + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
#if defined(__APPLE__)
        counters.peakResidentBytes = std::uint64_t(usage.ru_maxrss); // bytes there
#else
        counters.peakResidentBytes = std::uint64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux
#endif
    }
#endif
    return counters;
}

} // namespace ORV::Platform
