#include "platform/ProcessStats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

using ORV::Platform::heapBytesInUse;
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

TEST(ProcessStats, HeapInUseRisesWithABlockAndFallsWhenItIsFreed)
{
    // Large enough to stand out from anything else the process does meanwhile,
    // and to be mapped on its own by malloc, which then gives it back at once.
    constexpr std::size_t size = 32u << 20;
    const std::uint64_t before = heapBytesInUse();
    ASSERT_GT(before, 0u) << "this allocator says what it holds";
    auto* block = new char[size];
    block[0] = 1;
    // Seen from outside, so that the compiler keeps the allocation.
    static char* volatile seen = nullptr;
    seen = block;
    (void)seen;
    const std::uint64_t holding = heapBytesInUse();
    EXPECT_GE(holding, before + size);
    EXPECT_LE(holding, before + size + (1u << 20));
    delete[] block;
    EXPECT_LE(heapBytesInUse(), before + (1u << 20));
}
