#include "tests/support/AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacement operators live in their own file, away from every caller:
// GCC inlines a replaced operator delete into code that allocated with the
// replaced operator new and then warns of malloc/free paired with new/delete.
namespace {

// The number of the current watch, 0 when none is on.
std::atomic<std::size_t> watching{0};
std::size_t lastWatch = 0;
std::atomic<std::size_t> largestSeen{0};
std::atomic<std::size_t> allocationsSeen{0};
std::atomic<std::size_t> liveBlocks{0};
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakLiveBytes{0};

// Every block carries its size and the watch it was allocated under, so that
// freeing it takes it off that watch's live count (and only that one: blocks
// from before the watch were never counted). Sixteen bytes keep the block
// aligned as malloc aligns it.
struct alignas(16) BlockHeader {
    std::size_t size;
    std::size_t watch;
};
static_assert(sizeof(BlockHeader) == 16);

void raiseTo(std::atomic<std::size_t>& mark, std::size_t value)
{
    std::size_t seen = mark.load(std::memory_order_relaxed);
    while (value > seen && !mark.compare_exchange_weak(seen, value)) {}
}

void* watchedAllocation(std::size_t size)
{
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    header->watch = watching.load(std::memory_order_relaxed);
    if (header->watch != 0) {
        raiseTo(largestSeen, size);
        allocationsSeen.fetch_add(1, std::memory_order_relaxed);
        liveBlocks.fetch_add(1, std::memory_order_relaxed);
        raiseTo(peakLiveBytes, liveBytes.fetch_add(size, std::memory_order_relaxed) + size);
    }
    return header + 1;
}

void watchedFree(void* p)
{
    if (!p) return;
    BlockHeader* header = static_cast<BlockHeader*>(p) - 1;
    if (header->watch != 0 && header->watch == watching.load(std::memory_order_relaxed)) {
        liveBytes.fetch_sub(header->size, std::memory_order_relaxed);
        liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    }
    std::free(header);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* p = watchedAllocation(size)) return p;
    throw std::bad_alloc();
}
// Libraries (LLVM inside the GL driver, for one) allocate with the nothrow
// form and free with the plain delete: both must come from here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return watchedAllocation(size);
}
void operator delete(void* p) noexcept
{
    watchedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    watchedFree(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    watchedFree(p);
}

namespace ORV::Test {

AllocationWatch::AllocationWatch()
{
    largestSeen = 0;
    allocationsSeen = 0;
    ::liveBlocks = 0;
    ::liveBytes = 0;
    peakLiveBytes = 0;
    watching = ++lastWatch;
}

AllocationWatch::~AllocationWatch()
{
    watching = 0;
}

std::size_t AllocationWatch::largest() const
{
    return largestSeen.load();
}

std::size_t AllocationWatch::allocations() const
{
    return allocationsSeen.load();
}

std::size_t AllocationWatch::peakLive() const
{
    return peakLiveBytes.load();
}

std::size_t AllocationWatch::liveBlocks() const
{
    return ::liveBlocks.load();
}

std::size_t AllocationWatch::liveBytes() const
{
    return ::liveBytes.load();
}

} // namespace ORV::Test
