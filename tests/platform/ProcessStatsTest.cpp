#include "platform/ProcessStats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(ProcessStats, TouchingFreshMemoryCountsMinorPageFaults)
{
    const std::uint64_t before = ORV::Platform::minorPageFaults();
    // Well above any threshold under which the C allocator reuses its heap:
    // these pages come fresh from the system and fault when first written.
    std::vector<char> block(64u << 20, 1);
    const std::uint64_t after = ORV::Platform::minorPageFaults();
    EXPECT_GT(after, before);
    // At least one fault per 2 MiB, the largest page the system may hand out.
    EXPECT_GE(after - before, block.size() / (2u << 20));
}
