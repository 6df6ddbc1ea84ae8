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

void* operator new(std::size_t size)
{
    if (watching.load(std::memory_order_relaxed)) {
        std::size_t seen = largestSeen.load(std::memory_order_relaxed);
        while (size > seen && !largestSeen.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace ORV::Test {

AllocationWatch::AllocationWatch()
{
    largestSeen = 0;
    watching = true;
}

AllocationWatch::~AllocationWatch() { watching = false; }

std::size_t AllocationWatch::largest() const { return largestSeen.load(); }

} // namespace ORV::Test
