#pragma once
// Photos and measurements shared by the runs that meet a fault on the way
// (a read-only or full save folder, a photo gone before its turn, damaged
// files among good ones), in the window and in kambrix-batch alike.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fault_run {

namespace fs = std::filesystem;

// A small four-place, one-person layout at 150 dpi: sheets and frames a few
// hundred pixels across, so that a run of hundreds of photos stays quick.
std::string QuickLayoutText();

// The JPEG `source` reduced to `longSide` pixels on its long side.
std::vector<std::uint8_t> SmallPortrait(const std::string& source, int longSide);

enum class Damage { Truncated, Garbage, Empty };
// A damaged version of the JPEG bytes `jpeg`.
std::string Damaged(const std::vector<std::uint8_t>& jpeg, Damage damage);

// `count` small copies of a repository sample face, named p00.jpg, p01.jpg ...
// in the order the folder scan takes them. Returns their names.
std::vector<std::string> WriteSampleCopies(const fs::path& folder, int count);

// `count` photos cut small from the shared portraits, every `damagedEvery`-th
// one damaged (truncated, garbage, empty in turn).
struct MixedSet {
    std::vector<std::string> names;              // all, in scan order
    std::set<std::string> damaged;               // names of the damaged ones
    std::map<std::string, std::string> origins;  // name -> the portrait it was made from
};
MixedSet WriteMixedSet(const fs::path& folder, const std::string& portraits, int count,
                       int damagedEvery);

// Regular files below `root`, relative to it.
std::set<std::string> FilesBelow(const fs::path& root);

// True when `path` is a whole JPEG (decodes without a complaint).
bool DecodesWhole(const std::string& path);

// The process's resident size (kB), through the memory report's counters.
long ResidentKb();

// The largest resident size seen at each step of a run.
class MemoryByStep {
  public:
    explicit MemoryByStep(int steps) : peak_(static_cast<std::size_t>(steps) + 1, 0) {}
    void Sample(int step);
    // The largest sample over steps [from, to).
    long PeakKb(int from, int to) const;

  private:
    std::vector<long> peak_;
};

// A CSV text split into rows of fields (quoted fields, which may hold line
// breaks, as the report writes them).
std::vector<std::vector<std::string>> CsvRows(const std::string& text);

}  // namespace fault_run
