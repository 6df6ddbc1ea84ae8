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

// Bytes the C heap has handed out and not taken back, over every thread:
// malloc and operator new alike, and the libraries' own allocations (the GL
// driver's among them), with the allocator's per-block overhead. Unlike the
// resident size it does not include pages freed but kept by the allocator, so
// it falls when memory is freed. Under AddressSanitizer it is that
// allocator's figure. 0 where the allocator does not say.
std::uint64_t heapBytesInUse();

} // namespace ORV::Platform
