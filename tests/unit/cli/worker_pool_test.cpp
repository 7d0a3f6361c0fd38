#include "cli/worker_pool.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <map>

namespace {

// Units of three photos; each result names its unit, photo and the process
// that made it.
PoolWork ThreePhotoUnits(int units, int jobs, std::map<int, std::vector<PhotoResult>>& got) {
    PoolWork work;
    work.units = units;
    work.jobs = jobs;
    work.runUnit = [](int unit, const EmitFn& deliver) {
        for (int photo = 0; photo < 3; ++photo) {
            PhotoResult r;
            r.file = std::to_string(unit) + "/" + std::to_string(photo);
            r.status = PhotoStatus::Ok;
            r.code = static_cast<int>(getpid());
            deliver(r);
        }
    };
    work.onResult = [&got](int unit, const PhotoResult& r) { got[unit].push_back(r); };
    return work;
}

class Pool : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { ClearStopRequest(); }
    void TearDown() override { ClearStopRequest(); }
};

TEST_P(Pool, EveryUnitOnceWithItsPhotosInOrder) {
    std::map<int, std::vector<PhotoResult>> got;
    EXPECT_EQ(RunPool(ThreePhotoUnits(7, GetParam(), got)), 7);
    ASSERT_EQ(got.size(), 7u);
    for (const auto& [unit, results] : got) {
        ASSERT_EQ(results.size(), 3u);
        for (int photo = 0; photo < 3; ++photo)
            EXPECT_EQ(results[photo].file, std::to_string(unit) + "/" + std::to_string(photo));
        // One unit is worked on by one process from start to end.
        EXPECT_EQ(results[0].code, results[2].code);
        EXPECT_EQ(results[0].code == getpid(), GetParam() == 1);
    }
}

TEST_P(Pool, UnitsAreHandedOutInTheOrderAsked) {
    std::map<int, std::vector<PhotoResult>> got;
    PoolWork work = ThreePhotoUnits(5, GetParam(), got);
    work.order = {3, 0, 4, 2, 1};
    std::vector<int> seen;
    const auto record = work.onResult;
    work.onResult = [&](int unit, const PhotoResult& r) {
        if (r.file.back() == '0') seen.push_back(unit);
        record(unit, r);
    };
    EXPECT_EQ(RunPool(work), 5);
    EXPECT_EQ(got.size(), 5u);
    // With several workers a unit handed out later may finish first.
    if (GetParam() == 1) {
        EXPECT_EQ(seen, work.order);
    }
}

TEST_P(Pool, AWorkerThatDiesLosesOnlyItsUnitTheRestGoOn) {
    if (GetParam() == 1) GTEST_SKIP() << "in-process work has no worker to lose";
    std::map<int, std::vector<PhotoResult>> got;
    PoolWork work = ThreePhotoUnits(6, GetParam(), got);
    const auto normal = work.runUnit;
    work.runUnit = [normal](int unit, const EmitFn& deliver) {
        if (unit == 2) {
            PhotoResult first;
            first.file = "2/0";
            deliver(first);
            std::abort();
        }
        normal(unit, deliver);
    };
    std::map<int, std::string> lost;
    work.onLost = [&lost](int unit, const std::string& why) { lost[unit] = why; };
    EXPECT_EQ(RunPool(work), 6);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_NE(lost[2].find("signal " + std::to_string(SIGABRT)), std::string::npos) << lost[2];
    EXPECT_EQ(got[2].size(), 1u);  // what it finished before it died still counts
    for (int unit : {0, 1, 3, 4, 5}) EXPECT_EQ(got[unit].size(), 3u) << unit;
}

TEST_P(Pool, AStopLetsTheUnitsInProgressFinishAndStartsNoMore) {
    std::map<int, std::vector<PhotoResult>> got;
    PoolWork work = ThreePhotoUnits(20, GetParam(), got);
    const auto record = work.onResult;
    work.onResult = [record](int unit, const PhotoResult& r) {
        record(unit, r);
        RequestStop(SIGINT);  // as Ctrl-C after the first photo
    };
    const int started = RunPool(work);
    EXPECT_LT(started, 20);
    EXPECT_GE(started, 1);
    EXPECT_EQ(static_cast<int>(got.size()), started);
    for (const auto& [unit, results] : got) EXPECT_EQ(results.size(), 3u) << unit;
    EXPECT_EQ(StopSignal(), SIGINT);
}

TEST_P(Pool, StopBeforeTheStartRunsNothing) {
    RequestStop(SIGTERM);
    std::map<int, std::vector<PhotoResult>> got;
    EXPECT_EQ(RunPool(ThreePhotoUnits(4, GetParam(), got)), 0);
    EXPECT_TRUE(got.empty());
}

// A Slurm task given one processor gets one worker by default, not one per
// core of the machine.
TEST(UsableCores, TheProcessorsThisProcessMayRunOn) {
    EXPECT_GE(UsableCores(), 1);
    const pid_t pid = fork();
    if (pid == 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) _exit(2);
        _exit(UsableCores() == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Jobs, Pool, ::testing::Values(1, 2, 5),
                         [](const auto& info) { return "jobs" + std::to_string(info.param); });

}  // namespace
