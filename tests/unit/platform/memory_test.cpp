#include "platform/memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

TEST(Memory, ReportLinesInOrderWithTheirFormats) {
    ProcessMemoryInfo m;
    m.processId = 4242;
    m.handle = 0xA4;
    m.pageFaults = 17;
    m.peakWorkingSet = 123456789;
    m.workingSet = 1234567890;
    m.peakPagedPool = 0;
    m.pagedPool = 1;
    m.peakNonPagedPool = 22;
    m.nonPagedPool = 333;
    m.peakPagefile = 12345678901ULL;  // wider than the field
    m.pagefile = 4444;
    const std::vector<std::string> expected = {
        "プロセスID　　　：4242",
        "プロセス・ハンドル　:0x000000A4",
        "ページフォールト数　：        17個",
        "最大ワーキングセット： 123456789バイト",
        "現在ワーキングセット：1234567890バイト",
        "最大ページプール：         0バイト",
        "現在ページプール：         1バイト",
        "最大非ページプール：        22バイト",
        "現在非ページプール：       333バイト",
        "最大ページングファイル：12345678901バイト",
        "現在ページングファイル：      4444バイト",
    };
    EXPECT_EQ(FormatMemoryReport(m), expected);
}

TEST(Memory, ZeroHandleIsWrittenAsDigits) {
    const std::vector<std::string> lines = FormatMemoryReport(ProcessMemoryInfo{});
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[1], "プロセス・ハンドル　:0x00000000");  // never "(nil)"
}

TEST(Memory, QueriesThisProcess) {
    ProcessMemoryInfo m;
    ASSERT_TRUE(QueryProcessMemory(m));
    EXPECT_EQ(m.processId, static_cast<unsigned long long>(getpid()));
    EXPECT_EQ(m.handle, 0u);
    EXPECT_GT(m.pageFaults, 0u);
    EXPECT_GT(m.workingSet, 0u);
    EXPECT_GE(m.peakWorkingSet, m.workingSet);
    EXPECT_GE(m.pagefile, m.workingSet);
    EXPECT_GE(m.peakPagefile, m.pagefile);
    // Linux has no pools: those counters stay 0.
    EXPECT_EQ(m.peakPagedPool + m.pagedPool + m.peakNonPagedPool + m.nonPagedPool, 0u);
}

TEST(Memory, PeakResidentFollowsTouchedMemory) {
    constexpr std::size_t kBytes = 64u << 20;
    auto block = std::make_unique<char[]>(kBytes);
    std::memset(block.get(), 1, kBytes);
    const long long peak = PeakResidentBytes();
    EXPECT_GE(peak, static_cast<long long>(kBytes));
    EXPECT_EQ(block[kBytes - 1], 1);
}

namespace {

long long ResidentBytes() {
    ProcessMemoryInfo m;
    return QueryProcessMemory(m) ? static_cast<long long>(m.workingSet) : 0;
}

// 80 MB in blocks small enough for the heap, touched, and kept from being
// optimised away.
std::vector<char*> TouchBlocks() {
    std::vector<char*> blocks(20000);
    for (char*& b : blocks) {
        b = static_cast<char*>(std::malloc(4096));
        std::memset(b, 1, 4096);
        asm volatile("" : : "r"(b) : "memory");
    }
    return blocks;
}

void FreeBlocks(const std::vector<char*>& blocks) {
    for (char* b : blocks) std::free(b);
}

// In a fresh process: what a helper thread freed is taken again by the main
// thread without the resident size growing by it (a model loaded and freed
// on a library's thread must not stay beside the pictures' memory).
[[noreturn, maybe_unused]] void ReuseWhatAThreadFreed() {  // unused under the sanitizers
    KeepPictureMemoryForReuse();
    std::thread([] { FreeBlocks(TouchBlocks()); }).join();
    const long long before = ResidentBytes();
    const std::vector<char*> blocks = TouchBlocks();
    const long long grown = ResidentBytes() - before;
    FreeBlocks(blocks);
    std::exit(before > 0 && grown < (24LL << 20) ? 0 : 1);
}

}  // namespace

// The sanitizers bring an allocator of their own, which holds freed memory
// back on purpose.
#if defined(__SANITIZE_ADDRESS__)
#define KAMBRIX_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAMBRIX_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__GLIBC__) && !defined(KAMBRIX_OWN_ALLOCATOR)
TEST(MemoryDeathTest, WhatAHelperThreadFreedServesTheMainThread) {
    EXPECT_EXIT(ReuseWhatAThreadFreed(), ::testing::ExitedWithCode(0), "");
}
#endif
