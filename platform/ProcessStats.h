// Figures about the running process that benchmarks print.
#pragma once

#include <cstdint>

namespace ORV::Platform {

// Minor page faults of the process so far: pages the system had to map on
// first touch without reading them from disk. A frame loop whose count grows
// keeps mapping fresh memory (an allocator handing pages back and taking them
// again). 0 where the system does not count them.
std::uint64_t minorPageFaults();

} // namespace ORV::Platform
