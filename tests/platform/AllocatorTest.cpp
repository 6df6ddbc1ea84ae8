#include "platform/Allocator.h"

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
// Bytes that glibc holds in mmapped blocks right now.
std::size_t mappedBytes()
{
    return mallinfo2().hblkhd;
}

TEST(Allocator, TuningKeepsMegabyteBlocksOnTheHeap)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer replaces the C allocator; its thresholds mean nothing there";
#endif
    // Untuned, glibc maps every block of 128 KiB or more on its own, and
    // unmaps it when freed: the pattern that slows the software rasteriser.
    // Freeing such a block raises glibc's threshold to its size, so the tuned
    // check below asks for a larger block than this one.
    const std::size_t before = mappedBytes();
    void* untuned = std::malloc(4u << 20);
    ASSERT_NE(untuned, nullptr);
    EXPECT_GE(mappedBytes(), before + (4u << 20)) << "untuned, a 4 MiB block should be mapped on its own";
    std::free(untuned);

    ASSERT_TRUE(ORV::Platform::tuneAllocator());
    const std::size_t tunedBefore = mappedBytes();
    void* tuned = std::malloc(16u << 20);
    ASSERT_NE(tuned, nullptr);
    EXPECT_EQ(mappedBytes(), tunedBefore) << "tuned, a 16 MiB block should come from the heap";
    std::free(tuned);
}
#else
TEST(Allocator, TuningIsANoOpWithoutGlibc)
{
    EXPECT_FALSE(ORV::Platform::tuneAllocator());
}
#endif

} // namespace
