// kambrix-batch meeting faults made for real: an output folder that refuses
// files, a disk that fills during a sheet's write, a photo deleted after the
// list was made, and two hundred photos of which one in ten is damaged. Each
// time: the photo concerned is reported failed with a message that says why,
// no partial, temporary or staging file is left, every other photo's sheet
// is written, the photos are left byte for byte as they were and the memory
// stays flat. One worker, in this process: the tests act between photos on
// the progress line each photo ends with.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <streambuf>

#include "cli/batch_run.h"
#include "e2e/fault_run_support.h"
#include "platform/paths.h"
#include "support/fault_folders.h"
#include "support/temp_folder.h"

namespace {

using namespace fault_run;

// Hands every finished line written to it to `onLine`.
class LineHook : public std::streambuf {
  public:
    explicit LineHook(std::function<void(int index, const std::string&)> onLine)
        : onLine_(std::move(onLine)) {}
    std::string text;

  protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        text += static_cast<char>(c);
        if (c != '\n') {
            line_ += static_cast<char>(c);
        } else {
            if (onLine_) onLine_(lines_++, line_);
            line_.clear();
        }
        return c;
    }

  private:
    std::function<void(int, const std::string&)> onLine_;
    std::string line_;
    int lines_ = 0;
};

struct Row {
    std::string status, message;
};

class FaultBatchRun : public ::testing::Test {
  protected:
    void SetUp() override { layout = report.Write("quick.ini", QuickLayoutText()); }

    // Runs on the photos folder; `afterPhoto(i)` runs once photo i is reported.
    int Run(const fs::path& outFolder, const std::function<void(int)>& afterPhoto = {},
            std::vector<std::string> extra = {}) {
        sourcesBefore = FileChecksums(photos.Path());
        LineHook hook([&](int i, const std::string&) {
            if (afterPhoto) afterPhoto(i);
        });
        std::ostream err(&hook);
        std::ostringstream out;
        std::vector<std::string> args = {photos.Path().string(),
                                         "--out",
                                         outFolder.string(),
                                         "--layout",
                                         layout,
                                         "--jobs",
                                         "1",
                                         "--no-trimmed",
                                         "--no-recognition-images",
                                         "--report",
                                         report.Dir() + "r.csv"};
        args.insert(args.end(), extra.begin(), extra.end());
        const int status = RunBatchCommand(args, ProgramDir().string() + "/", out, err, false);
        log = hook.text;
        ReadReport();
        return status;
    }
    void ReadReport() {
        std::string text;
        ReadFileBytes(report.Dir() + "r.csv", text);
        const auto csv = CsvRows(text);
        for (std::size_t i = 1; i < csv.size(); ++i)
            if (csv[i].size() >= 4) rows[FileNameOf(csv[i][0])] = {csv[i][1], csv[i][3]};
    }
    void ExpectPhotosUntouched() { EXPECT_EQ(FileChecksums(photos.Path()), sourcesBefore); }
    // Nothing below `folder` but the files named: no temporary, no staging folder.
    static void ExpectOnly(const fs::path& folder, const std::set<std::string>& files) {
        std::set<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            found.insert(fs::relative(e.path(), folder).string());
        EXPECT_EQ(found, files);
    }

    TempFolder photos, out, report;
    std::string layout, log;
    std::map<std::string, Row> rows;
    std::map<std::string, std::uint64_t> sourcesBefore;
};

class ReadOnlyOutFolder : public FaultBatchRun, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadOnlyOutFolder, EveryPhotoFailsWithTheReasonAndNothingIsWritten) {
    const bool missing = GetParam();
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 3);
    ReadOnlyFolder locked(out.Path());
    if (!locked.Made()) GTEST_SKIP() << locked.How();
    const fs::path target = missing ? out.Path() / "sheets" : out.Path();
    EXPECT_EQ(Run(target), kExitSomeFailed) << log;
    ExpectOnly(out.Path(), {});
    ASSERT_EQ(rows.size(), names.size()) << log;
    for (const auto& [name, row] : rows) {
        EXPECT_EQ(row.status, "failed") << name;
        // The folder the user named, not a working folder of the run's own.
        EXPECT_EQ(row.message, "保存先フォルダを作成出来ません。\n" + target.string()) << name;
    }
    ExpectPhotosUntouched();
}

INSTANTIATE_TEST_SUITE_P(FolderOrItsParent, ReadOnlyOutFolder, ::testing::Bool());

TEST_F(FaultBatchRun, DiskFillingDuringOneSheetLosesOnlyThatSheet) {
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 5);
    const fs::path disk = out.Path() / "disk";
    SmallDisk small(disk);
    if (!small.Mounted()) GTEST_SKIP() << small.How();
    EXPECT_EQ(Run(disk,
                  [&](int i) {
                      if (i == 0) small.LeaveOnly(fs::file_size(disk / names[0]) / 2);
                      if (i == 1) small.Free();
                  }),
              kExitSomeFailed)
        << log;
    std::printf("disk: %s\n", small.How().c_str());
    ASSERT_EQ(rows.size(), names.size()) << log;
    std::set<std::string> expected;
    for (const std::string& name : names) {
        if (name == names[1]) {
            EXPECT_EQ(rows[name].status, "failed");
            EXPECT_EQ(rows[name].message, "保存に失敗しました。");
            continue;
        }
        EXPECT_EQ(rows[name].status, "ok") << name << ": " << rows[name].message;
        EXPECT_TRUE(DecodesWhole((disk / name).string())) << name;
        expected.insert(name);
    }
    ExpectOnly(disk, expected);
    ExpectPhotosUntouched();
}

TEST_F(FaultBatchRun, PhotoDeletedAfterTheListIsMadeFailsAlone) {
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 5);
    const std::string gone = names[3];
    EXPECT_EQ(Run(out.Path(),
                  [&](int i) {
                      if (i == 0) fs::remove(photos.Path() / gone);
                  }),
              kExitSomeFailed)
        << log;
    sourcesBefore.erase(gone);
    ExpectPhotosUntouched();
    ASSERT_EQ(rows.size(), names.size()) << log;
    EXPECT_EQ(rows[gone].status, "failed");
    EXPECT_FALSE(rows[gone].message.empty());
    std::set<std::string> expected;
    for (const std::string& name : names) {
        if (name == gone) continue;
        EXPECT_EQ(rows[name].status, "ok") << name << ": " << rows[name].message;
        EXPECT_TRUE(DecodesWhole((out.Path() / name).string())) << name;
        expected.insert(name);
    }
    ExpectOnly(out.Path(), expected);
}

TEST_F(FaultBatchRun, TwoHundredPhotosOneInTenDamaged) {
    const std::string portraits = PortraitsFolder();
    if (portraits.empty())
        GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are not here";
    const int n = 200;
    const MixedSet set = WriteMixedSet(photos.Path(), portraits, n, 10);
    MemoryByStep memory(n);
    // The portraits are cut small: smaller faces are searched for.
    EXPECT_EQ(Run(out.Path(), [&](int i) { memory.Sample(i); }, {"--min-face", "100"}),
              kExitSomeFailed)
        << log;
    ExpectPhotosUntouched();
    ASSERT_EQ(static_cast<int>(rows.size()), n) << log;

    const std::set<std::string> written = FilesBelow(out.Path());
    std::map<std::string, std::set<std::string>> outcomes;
    int sheets = 0;
    for (const std::string& name : set.names) {
        const Row& row = rows[name];
        const bool has = written.count(name) > 0;
        EXPECT_EQ(has, row.status == "ok") << name << ": " << row.message;
        if (set.damaged.count(name)) {
            EXPECT_EQ(row.status, "failed") << name;
            EXPECT_FALSE(row.message.empty()) << name;
            continue;
        }
        // Copies of one portrait fare alike, whatever lies around them.
        outcomes[set.origins.at(name)].insert(row.status + " " + row.message);
        sheets += has;
    }
    for (const auto& [origin, seen] : outcomes) {
        EXPECT_EQ(seen.size(), 1u) << origin << ": " << ::testing::PrintToString(seen);
        std::printf("%-36s %s\n", origin.c_str(), seen.begin()->c_str());
    }
    EXPECT_GE(sheets, n / 10);  // many portraits cut this small are refused alike
    for (const std::string& file : written) {
        if (file.find(".jpg") != std::string::npos) {
            EXPECT_EQ(set.origins.count(file), 1u) << "unexpected file " << file;
        }
    }
    const long settled = memory.PeakKb(20, 60), late = memory.PeakKb(150, n);
    std::printf("%d sheets; resident MB photos 21-60: %ld, photos 151-200: %ld\n", sheets,
                settled / 1024, late / 1024);
    EXPECT_LE(late, settled + 30L * 1024);
}

}  // namespace
