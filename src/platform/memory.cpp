#include "platform/memory.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/text_format.h"

#ifdef _WIN32
#include <psapi.h>
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#ifndef _WIN32
// A "VmXxx:  123 kB" value of /proc/self/status in bytes; false when absent.
bool StatusBytes(const std::string& status, const char* key, unsigned long long& bytes) {
    const std::size_t at = status.find(std::string("\n") + key + ":");
    if (at == std::string::npos) return false;
    std::istringstream in(status.substr(at + std::char_traits<char>::length(key) + 2));
    unsigned long long kb = 0;
    if (!(in >> kb)) return false;
    bytes = kb * 1024;
    return true;
}

bool ReadStatus(std::string& status) {
    std::ifstream in("/proc/self/status");
    if (!in) return false;
    std::ostringstream text;
    text << '\n' << in.rdbuf();
    status = text.str();
    return true;
}
#endif

}  // namespace

#ifdef _WIN32
bool QueryProcessMemory(ProcessMemoryInfo& info) {
    const DWORD pid = GetCurrentProcessId();
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!h) return false;
    PROCESS_MEMORY_COUNTERS pmc{};
    const bool ok = GetProcessMemoryInfo(h, &pmc, sizeof pmc) != 0;
    if (ok) {
        info = ProcessMemoryInfo{pid,
                                 reinterpret_cast<std::uintptr_t>(h),
                                 pmc.PageFaultCount,
                                 pmc.PeakWorkingSetSize,
                                 pmc.WorkingSetSize,
                                 pmc.QuotaPeakPagedPoolUsage,
                                 pmc.QuotaPagedPoolUsage,
                                 pmc.QuotaPeakNonPagedPoolUsage,
                                 pmc.QuotaNonPagedPoolUsage,
                                 pmc.PeakPagefileUsage,
                                 pmc.PagefileUsage};
    }
    CloseHandle(h);
    return ok;
}

long long PeakResidentBytes() {
    PROCESS_MEMORY_COUNTERS pmc{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
    return static_cast<long long>(pmc.PeakWorkingSetSize);
}
unsigned long long CurrentProcessId() {
    return GetCurrentProcessId();
}
#else
bool QueryProcessMemory(ProcessMemoryInfo& info) {
    std::string status;
    if (!ReadStatus(status)) return false;
    ProcessMemoryInfo m;
    m.processId = static_cast<unsigned long long>(getpid());
    if (!StatusBytes(status, "VmHWM", m.peakWorkingSet) ||
        !StatusBytes(status, "VmRSS", m.workingSet))
        return false;
    StatusBytes(status, "VmPeak", m.peakPagefile);
    StatusBytes(status, "VmSize", m.pagefile);
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        m.pageFaults = static_cast<unsigned long long>(usage.ru_minflt + usage.ru_majflt);
    info = m;
    return true;
}

long long PeakResidentBytes() {
    std::string status;
    unsigned long long bytes = 0;
    if (!ReadStatus(status) || !StatusBytes(status, "VmHWM", bytes)) return 0;
    return static_cast<long long>(bytes);
}
unsigned long long CurrentProcessId() {
    return static_cast<unsigned long long>(getpid());
}
#endif

std::vector<std::string> FormatMemoryReport(const ProcessMemoryInfo& info) {
    // The handle is written as a 32-bit pointer was: eight upper-case digits.
    return {
        FormatText("プロセスID　　　：%llu", info.processId),
        FormatText("プロセス・ハンドル　:0x%08llX", info.handle),
        FormatText("ページフォールト数　：%10llu個", info.pageFaults),
        FormatText("最大ワーキングセット：%10lluバイト", info.peakWorkingSet),
        FormatText("現在ワーキングセット：%10lluバイト", info.workingSet),
        FormatText("最大ページプール：%10lluバイト", info.peakPagedPool),
        FormatText("現在ページプール：%10lluバイト", info.pagedPool),
        FormatText("最大非ページプール：%10lluバイト", info.peakNonPagedPool),
        FormatText("現在非ページプール：%10lluバイト", info.nonPagedPool),
        FormatText("最大ページングファイル：%10lluバイト", info.peakPagefile),
        FormatText("現在ページングファイル：%10lluバイト", info.pagefile),
    };
}

void KeepPictureMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks up to 32 MB (the most the allocator allows; a 3000 x 3000
    // square is 27 MB) come from the heap from the first photo on rather than
    // from mappings of their own, and the heap's free top is kept rather than
    // trimmed back. Larger blocks are the bitmaps' own business: they keep
    // their memory between photos.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // One pool for every thread. The allocator otherwise gives each thread
    // that allocates its own arena, and a thread's arena keeps what is freed
    // in it for that arena alone (it is never trimmed: its heaps are smaller
    // than the threshold above). The face library loads its landmark model,
    // some 80 MB, on a thread of its own when it is loaded for a framing pass
    // and frees it when it is released after the pass: in an arena of its
    // own those 80 MB stayed resident beside the pictures' memory for good,
    // and an arena taken meanwhile by another thread made the next pass fill
    // a second one. In one pool the model's pages serve the sheet between
    // passes and the model again in the next. The program works on one
    // thread; its helpers allocate little, so they lose nothing by sharing.
    mallopt(M_ARENA_MAX, 1);
#endif
}
