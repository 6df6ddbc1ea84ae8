#include "platform/Allocator.h"

// Any C library header defines __GLIBC__ on glibc; it must come before the test.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ORV::Platform {

bool tuneAllocator()
{
#if defined(__GLIBC__)
    const bool mmapSet = mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1;
    const bool trimSet = mallopt(M_TRIM_THRESHOLD, 256 << 20) == 1;
    return mmapSet && trimSet;
#else
    return false;
#endif
}

} // namespace ORV::Platform
