#pragma once
// What a batch run shows on stderr: a progress bar with count, rate and time
// left when stderr is a terminal, one line per photo otherwise, and a summary
// line at the end.
#include <string>

#include "cli/report.h"

struct ProgressCounts {
    int total = 0;
    int ok = 0, failed = 0, skipped = 0;
    int Done() const { return ok + failed + skipped; }
    void Add(PhotoStatus status);
};

// "[#######.............]  12/40  2.3 photos/s  0:12 left", `width` characters
// of bar; the rate and the time left appear once a photo is done.
std::string FormatProgressBar(const ProgressCounts& counts, double seconds, int width = 30);

// "12/40 ok photo.jpg", "13/40 failed other.jpg: message (code -10)".
std::string FormatPhotoLine(const ProgressCounts& counts, const PhotoResult& result);

// "40 photos: 38 ok, 1 failed, 1 skipped in 17.2 s (2.3 photos/s)".
std::string FormatSummary(const ProgressCounts& counts, double seconds, bool interrupted);

// Minutes and seconds, "m:ss" (hours as "h:mm:ss").
std::string FormatDuration(double seconds);
