#pragma once
// The photos of a batch run: the paths given, folders expanded to the JPEG
// files directly inside them, made absolute (saving moves the process's
// current folder), sorted, the same file taken once, and cut to one shard.
// Then the work units: with several persons per sheet, consecutive photos of
// the sorted list share a sheet, so the assignment never depends on which
// worker finishes first.
#include <string>
#include <vector>

#include "cli/batch_options.h"

struct BatchPhoto {
    std::string given;  // as the command line gave it (folder entries: folder + name)
    std::string path;   // absolute
};

struct PhotoListResult {
    std::vector<BatchPhoto> photos;
    std::string error;  // one line; set when an input does not exist
};

// Folders give their "*.jpg" files (any case) in sorted order; a file is taken
// whatever its name. Sorted by absolute path; repeats of one file dropped.
PhotoListResult BuildPhotoList(const std::vector<std::string>& inputs);

// Every shard.count-th photo from shard.index.
std::vector<BatchPhoto> TakeShard(const std::vector<BatchPhoto>& photos, const ShardSpec& shard);

// Persons one sheet holds: places / places per person, rounded up (the last
// person may fill fewer places). 1 for a one-person sheet.
int PersonsPerSheet(int photoCount, int photosPerPerson);

// Consecutive runs of `personsPerSheet` indices into a list of `photoCount`
// photos; the last run may be shorter.
std::vector<std::vector<int>> GroupPhotos(int photoCount, int personsPerSheet);

// The units in the order several workers should take them: the most bytes of
// photo first (ties, and files that cannot be measured, in list order), so
// that a run ends on its smallest photos instead of one worker waiting for the
// other's large one.
std::vector<int> LargestUnitsFirst(const std::vector<BatchPhoto>& photos,
                                   const std::vector<std::vector<int>>& units);

// Two different photos whose outputs would land on the same file (same name,
// same output folder): "" when there are none, else a one-line error naming both.
std::string FindOutputClash(const std::vector<BatchPhoto>& photos, const std::string& outDir);

// A path made absolute against the current folder ("" stays "").
std::string AbsolutePath(const std::string& path);
