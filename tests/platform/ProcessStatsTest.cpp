#include "platform/ProcessStats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

using ORV::Platform::processCounters;

TEST(ProcessStats, TouchingFreshMemoryCountsMinorPageFaults)
{
    const std::uint64_t before = processCounters().minorPageFaults;
    // Well above any threshold under which the C allocator reuses its heap:
    // these pages come fresh from the system and fault when first written.
    std::vector<char> block(64u << 20, 1);
    const std::uint64_t after = processCounters().minorPageFaults;
    EXPECT_GT(after, before);
    // At least one fault per 2 MiB, the largest page the system may hand out.
    EXPECT_GE(after - before, block.size() / (2u << 20));
}

TEST(ProcessStats, PeakResidentMemoryCoversTouchedMemoryAndStays)
{
    const std::uint64_t before = processCounters().peakResidentBytes;
    {
        // Larger than anything the test program touched before, so the mark
        // must rise by most of it.
        std::vector<char> block(std::size_t(before) + (96u << 20), 1);
        EXPECT_GE(processCounters().peakResidentBytes, block.size());
    }
    EXPECT_GE(processCounters().peakResidentBytes, before + (96u << 20)) << "a high-water mark does not fall";
}

TEST(ProcessStats, ProcessorTimeGrowsWithWorkAndNotPastTheWallClock)
{
    const double before = processCounters().processorSeconds;
    const auto start = std::chrono::steady_clock::now();
    // Busy for at least 50 ms of processor time, bounded by 5 s of wall time.
    volatile std::uint64_t sink = 0;
    while (processCounters().processorSeconds - before < 0.05
           && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        for (int i = 0; i < 100000; ++i) sink = sink + std::uint64_t(i);
    const double used = processCounters().processorSeconds - before;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(used, 0.05);
    // One thread ran: its time cannot exceed the wall time (plus the clock's tick).
    EXPECT_LE(used, wall + 0.02);
}
