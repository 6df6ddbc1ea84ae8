#include "tests/support/AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacement operators live in their own file, away from every caller:
// GCC inlines a replaced operator delete into code that allocated with the
// replaced operator new and then warns of malloc/free paired with new/delete.
namespace {
std::atomic<bool> watching{false};
std::atomic<std::size_t> largestSeen{0};
} // namespace

namespace {
void* watchedAllocation(std::size_t size)
{
    if (watching.load(std::memory_order_relaxed)) {
        std::size_t seen = largestSeen.load(std::memory_order_relaxed);
        while (size > seen && !largestSeen.compare_exchange_weak(seen, size)) {}
    }
    return std::malloc(size ? size : 1);
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
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace ORV::Test {

AllocationWatch::AllocationWatch()
{
    largestSeen = 0;
    watching = true;
}

AllocationWatch::~AllocationWatch()
{
    watching = false;
}

std::size_t AllocationWatch::largest() const
{
    return largestSeen.load();
}

} // namespace ORV::Test
