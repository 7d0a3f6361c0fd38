#pragma once
// Running out of memory on demand: while a LargeAllocationsFail is alive,
// every allocation through operator new above its limit throws
// std::bad_alloc, as it would on a machine without that memory.
#include <cstddef>

class LargeAllocationsFail {
  public:
    explicit LargeAllocationsFail(std::size_t limitBytes);
    ~LargeAllocationsFail();
    LargeAllocationsFail(const LargeAllocationsFail&) = delete;
    LargeAllocationsFail& operator=(const LargeAllocationsFail&) = delete;
    // Allocations refused so far.
    static int Refused();
};
