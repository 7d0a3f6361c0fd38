#pragma once
// The process's memory counters for the settings dialog's memory report, and
// the peak resident size for benchmarks. A counter the platform lacks is 0
// (on Linux: the process handle and the paged and non-paged pools).
#include <string>
#include <vector>

// Running out of memory: the message box's text and caption, and the short
// reason that status texts and failure reasons carry.
inline constexpr char kNoMemoryText[] = "作業用のメモリが足りません。メモリを増設して下さい。";
inline constexpr char kNoMemoryCaption[] = "Tessomar";
inline constexpr char kNoMemoryReason[] = "メモリが足りません";

struct ProcessMemoryInfo {
    unsigned long long processId = 0;
    unsigned long long handle = 0;
    unsigned long long pageFaults = 0;        // minor + major faults on Linux
    unsigned long long peakWorkingSet = 0;    // bytes; VmHWM on Linux
    unsigned long long workingSet = 0;        // VmRSS
    unsigned long long peakPagedPool = 0;     // 0 on Linux
    unsigned long long pagedPool = 0;         // 0 on Linux
    unsigned long long peakNonPagedPool = 0;  // 0 on Linux
    unsigned long long nonPagedPool = 0;      // 0 on Linux
    unsigned long long peakPagefile = 0;      // VmPeak on Linux
    unsigned long long pagefile = 0;          // VmSize on Linux
};

// Fills `info` from the platform's counters; false when they cannot be read.
bool QueryProcessMemory(ProcessMemoryInfo& info);

// The eleven lines of the memory report, in the memo's order.
std::vector<std::string> FormatMemoryReport(const ProcessMemoryInfo& info);

// The process's peak resident size in bytes; 0 when unknown.
long long PeakResidentBytes();

// This process's id, for names that must not clash with another running copy.
unsigned long long CurrentProcessId();

// Called once at start-up, before any thread is started: freed picture memory stays
// with the process for the next photo instead of going back to the system,
// which would hand it out again as fresh pages that all fault and are cleared
// on first touch. Photo after photo then reuses the same pages, and the
// resident size stays at what the largest photo needed. The threads of the
// process share that memory rather than keeping pools of their own.
void KeepPictureMemoryForReuse();
