#include "platform/ProcessStats.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORV_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORV_ADDRESS_SANITIZER 1
#endif

#if defined(ORV_ADDRESS_SANITIZER)
#include <cstddef>
// From the sanitizer runtime's allocator interface (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
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

std::uint64_t heapBytesInUse()
{
#if defined(ORV_ADDRESS_SANITIZER)
    // The sanitizer replaces malloc; glibc's figures would miss every block.
    return std::uint64_t(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    // Every arena's blocks in use, and the large blocks malloc maps one by one.
    const struct mallinfo2 info = mallinfo2();
    return std::uint64_t(info.uordblks) + std::uint64_t(info.hblkhd);
#else
    return 0;
#endif
}

} // namespace ORV::Platform
