// Watches the allocations a piece of code makes through the global operator
// new: the largest, to prove that a hostile count read from a file cannot size
// an allocation; how many, and the most bytes held at once, to bound what a
// data structure costs. Linking this module replaces the global operator new and delete
// of the test program (with malloc and free), so only programs that use it
// link it. Not for use from several threads at once.
#pragma once

#include <cstddef>

namespace ORV::Test {

class AllocationWatch {
public:
    AllocationWatch(); // starts watching; the largest allocation seen is 0
    ~AllocationWatch(); // stops
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    // Bytes of the largest single allocation since construction.
    std::size_t largest() const;
    // Allocations since construction.
    std::size_t allocations() const;
    // The most bytes live at once in blocks allocated since construction (those
    // allocated before do not count, even when freed meanwhile).
    std::size_t peakLive() const;
    // Blocks allocated since construction and not freed yet, and their bytes:
    // allocations less frees, for code that should give back what it took.
    std::size_t liveBlocks() const;
    std::size_t liveBytes() const;
};

} // namespace ORV::Test
