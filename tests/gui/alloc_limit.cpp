// The window tests' replacement of the global operator new: plain malloc,
// with an optional size above which it fails.
#include "gui/alloc_limit.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {
std::atomic<std::size_t> gLimit{std::numeric_limits<std::size_t>::max()};
std::atomic<int> gRefused{0};
}  // namespace

LargeAllocationsFail::LargeAllocationsFail(std::size_t limitBytes) {
    gRefused = 0;
    gLimit = limitBytes;
}
LargeAllocationsFail::~LargeAllocationsFail() {
    gLimit = std::numeric_limits<std::size_t>::max();
}
int LargeAllocationsFail::Refused() {
    return gRefused;
}

void* operator new(std::size_t size) {
    if (size > gLimit) {
        ++gRefused;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
