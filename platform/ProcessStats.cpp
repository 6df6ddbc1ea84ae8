#include "platform/ProcessStats.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif

namespace ORV::Platform {

std::uint64_t minorPageFaults()
{
#if defined(__unix__) || defined(__APPLE__)
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) return std::uint64_t(usage.ru_minflt);
#endif
    return 0;
}

} // namespace ORV::Platform
