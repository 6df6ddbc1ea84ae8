// Figures about the running process that benchmarks print.
#pragma once

#include <cstdint>

namespace ORV::Platform {

struct ProcessCounters {
    // Minor page faults so far: pages the system had to map on first touch
    // without reading them from disk. A frame loop whose count grows keeps
    // mapping fresh memory (an allocator handing pages back and taking them
    // again).
    std::uint64_t minorPageFaults = 0;
    // Processor time of all the process's threads (user and system), in
    // seconds: unlike wall time, it hardly moves when other programs share
    // the processor.
    double processorSeconds = 0;
    // The most memory the process has had resident at once since it started,
    // in bytes: a high-water mark that never goes down, so a benchmark reads
    // it once after the work it measures.
    std::uint64_t peakResidentBytes = 0;
};

// Zeros where the system does not count them.
ProcessCounters processCounters();

} // namespace ORV::Platform
