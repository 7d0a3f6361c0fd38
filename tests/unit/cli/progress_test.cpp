#include "cli/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(Progress, BarShowsCountRateAndTimeLeft) {
    ProgressCounts c;
    c.total = 40;
    EXPECT_EQ(FormatProgressBar(c, 0.0, 10), "[..........] 0/40");
    for (int i = 0; i < 9; ++i) c.Add(PhotoStatus::Ok);
    c.Add(PhotoStatus::Failed);
    // 10 photos in 4 s: 2.5 a second, 30 left take 12 s.
    EXPECT_EQ(FormatProgressBar(c, 4.0, 10),
              "[##........] 10/40 (1 failed)  2.5 photos/s  0:12 left");
    for (int i = 0; i < 30; ++i) c.Add(PhotoStatus::Skipped);
    EXPECT_EQ(FormatProgressBar(c, 16.0, 10),
              "[##########] 40/40 (1 failed)  2.5 photos/s  0:00 left");
}

TEST(Progress, OneLinePerPhotoSaysWhyItFailed) {
    ProgressCounts c;
    c.total = 3;
    PhotoResult r;
    r.file = "a.jpg";
    r.status = PhotoStatus::Ok;
    c.Add(r.status);
    EXPECT_EQ(FormatPhotoLine(c, r), "1/3 ok a.jpg");
    r.status = PhotoStatus::Failed;
    r.code = -10;
    r.message = "first\nsecond";
    c.Add(r.status);
    EXPECT_EQ(FormatPhotoLine(c, r), "2/3 failed a.jpg: first second (code -10)");
}

TEST(Progress, SummaryCountsAndRate) {
    ProgressCounts c;
    c.total = 5;
    c.Add(PhotoStatus::Ok);
    c.Add(PhotoStatus::Ok);
    c.Add(PhotoStatus::Failed);
    EXPECT_EQ(FormatSummary(c, 2.0, false),
              "3 photos: 2 ok, 1 failed, 0 skipped in 2.0 s (1.50 photos/s)");
    EXPECT_EQ(
        FormatSummary(c, 2.0, true),
        "3 photos: 2 ok, 1 failed, 0 skipped in 2.0 s (1.50 photos/s); interrupted, 2 not started");
}

TEST(Progress, Durations) {
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(59.6), "1:00");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");
    EXPECT_EQ(FormatDuration(-3), "0:00");
}

}  // namespace
