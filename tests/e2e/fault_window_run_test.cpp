// The window's unattended folder run meeting faults made for real: a save
// folder that refuses files, a disk that fills during a sheet's write, a
// photo deleted before its turn, and two hundred photos of which one in ten
// is damaged. Each time: the fault is told, no partial or temporary file is
// left under the save folder, every other photo's sheet is written, the
// photos are left byte for byte as they were and the memory stays flat.
#include <dlfcn.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cstdio>

#include "detect/face_library.h"
#include "detect/recognition_log.h"
#include "e2e/fault_run_support.h"
#include "gui/form_fixture.h"
#include "platform/cp932.h"
#include "platform/paths.h"
#include "support/fault_folders.h"

namespace {

using namespace fault_run;

constexpr const char* kSaveFailed = "保存に失敗しました。";
constexpr const char* kSaved = "保存しました。";
constexpr const char* kLoadFailedMarker = "画像読込エラー";

class FaultWindowRun : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        form1->FAppDir = ProgramDir().string() + "/";
        // Held open, the face library reads its models once for the whole
        // run rather than once per photo: hundreds of photos stay quick.
        library = dlopen((form1->FAppDir + FaceLibraryFileName()).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(form1->LoadLayout(app.Write("quick.ini", QuickLayoutText())));
        SetRecognitionOnLoad(true);
        form2->CheckBox9->setChecked(true);    // unattended: failures pass without a box
        form2->CheckBox15->setChecked(false);  // one framing pass per photo
        form2->CheckBox10->setChecked(false);  // no trimmed photos
        form2->CheckBox6->setChecked(false);   // no recognition images
        form1->show();
    }
    void RunInto(const fs::path& saveFolder) {
        form1->Edit3->setText(QString::fromStdString(saveFolder.string()));
        sourcesBefore = FileChecksums(photos.Path());
        form1->HandleDroppedFiles({photos.Path().string()}, QPoint(400, 400));
        host.dialogs.shown.clear();  // the first photo's notices, before the run
        form1->CheckBox3->setChecked(true);
        form1->BitBtn3->click();
    }
    void ExpectPhotosUntouched() { EXPECT_EQ(FileChecksums(photos.Path()), sourcesBefore); }
    int Shown(const std::string& text) const {
        const auto t = host.dialogs.Texts();
        return static_cast<int>(std::count(t.begin(), t.end(), text));
    }
    // The log's lines with `marker`, by the photo's file name.
    std::map<std::string, int> Logged(const fs::path& folder, const std::string& marker) const {
        std::string bytes;
        ReadFileBytes((folder / kRecognitionLogName).string(), bytes);
        std::map<std::string, int> names;
        std::size_t at = 0;
        const std::string text = Cp932ToUtf8(bytes);
        for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = text.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find(marker) != std::string::npos)
                ++names[FileNameOf(line.substr(line.rfind(' ') + 1))];
        }
        return names;
    }

    void TearDown() override {
        FormTest::TearDown();
        if (library) dlclose(library);
    }

    void* library = nullptr;
    TempFolder photos, out;
    std::map<std::string, std::uint64_t> sourcesBefore;
};

// The save folder itself refuses files, or it is missing and its parent
// refuses to hold it.
class ReadOnlySaveFolder : public FaultWindowRun, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadOnlySaveFolder, EverySheetIsToldAsNotSavedAndNothingIsWritten) {
    const bool missing = GetParam();
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 3);
    ReadOnlyFolder locked(out.Path());
    if (!locked.Made()) GTEST_SKIP() << locked.How();
    RunInto(missing ? out.Path() / "sheets" : out.Path());
    std::printf("save folder made read-only by %s\n", locked.How().c_str());

    EXPECT_EQ(FilesBelow(out.Path()), std::set<std::string>{});
    const std::string refused = missing ? "保存先フォルダを作成出来ません。" : kSaveFailed;
    int told = 0;
    const std::vector<std::string> texts = host.dialogs.Texts();
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) told += texts[i].rfind(refused, 0) == 0;
    EXPECT_EQ(told, static_cast<int>(names.size())) << ::testing::PrintToString(texts);
    // The end of the folder must not claim that the sheets were saved.
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), kSaveFailed);
    EXPECT_EQ(Shown(kSaved), 0);
    ExpectPhotosUntouched();
}

INSTANTIATE_TEST_SUITE_P(FolderOrItsParent, ReadOnlySaveFolder, ::testing::Bool());

TEST_F(FaultWindowRun, DiskFillingDuringOneSheetLosesOnlyThatSheet) {
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 5);
    const fs::path disk = out.Path() / "disk";
    SmallDisk small(disk);
    if (!small.Mounted()) GTEST_SKIP() << small.How();
    // Once the first sheet is written, the disk is filled to within half a
    // sheet; once the next sheet's failure is told, the room comes back.
    bool filled = false, freed = false;
    std::string lost;
    host.pump.action = [&] {
        const fs::path first = disk / FileNameOf(form1->FBatchFiles[0]);
        if (!filled && form1->FBatchIndex == 1 && fs::exists(first)) {
            filled = small.LeaveOnly(fs::file_size(first) / 2);
            lost = FileNameOf(form1->FBatchFiles[1]);
        } else if (filled && !freed && Shown(kSaveFailed) > 0) {
            small.Free();
            freed = true;
        }
    };
    RunInto(disk);
    std::printf("disk: %s\n", small.How().c_str());
    ASSERT_TRUE(filled);
    EXPECT_TRUE(freed) << ::testing::PrintToString(host.dialogs.Texts());
    // The failure as it happened, and again as the folder's closing note.
    EXPECT_EQ(Shown(kSaveFailed), 2);
    EXPECT_EQ(Shown(kSaved), 0);

    std::set<std::string> expected(names.begin(), names.end());
    expected.erase(lost);
    EXPECT_EQ(FilesBelow(disk), expected);
    for (const std::string& name : expected)
        EXPECT_TRUE(DecodesWhole((disk / name).string())) << name;
    ExpectPhotosUntouched();
}

TEST_F(FaultWindowRun, PhotoDeletedBeforeItsTurnIsLoggedAndPassedOver) {
    const std::vector<std::string> names = WriteSampleCopies(photos.Path(), 5);
    // The fourth photo of the run goes while the second is being worked on.
    std::string gone;
    host.pump.action = [&] {
        if (form1->FBatchIndex != 1 || !gone.empty()) return;
        gone = FileNameOf(form1->FBatchFiles[3]);
        fs::remove(photos.Path() / gone);
    };
    RunInto(out.Path());
    ASSERT_FALSE(gone.empty());
    sourcesBefore.erase(gone);
    ExpectPhotosUntouched();

    std::set<std::string> expected(names.begin(), names.end());
    expected.erase(gone);
    for (const std::string& name : expected)
        EXPECT_TRUE(DecodesWhole((out.Path() / name).string())) << name;
    expected.insert(kRecognitionLogName);
    EXPECT_EQ(FilesBelow(out.Path()), expected);
    EXPECT_EQ(Logged(out.Path(), kLoadFailedMarker), (std::map<std::string, int>{{gone, 1}}));
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{kSaved});
}

TEST_F(FaultWindowRun, TwoHundredPhotosOneInTenDamaged) {
    const std::string portraits = PortraitsFolder();
    if (portraits.empty())
        GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are not here";
    const int n = 200;
    const MixedSet set = WriteMixedSet(photos.Path(), portraits, n, 10);
    MemoryByStep memory(n);
    host.pump.action = [&] { memory.Sample(form1->FBatchIndex); };
    // The portraits are cut small: smaller faces are searched for (a photo
    // whose framing fails gets no sheet).
    form2->TrackBar6->setValue(100);
    RunInto(out.Path());
    ExpectPhotosUntouched();

    // Each damaged photo logged once and passed over; no good photo logged as unreadable.
    std::map<std::string, int> expectedLog;
    for (const std::string& name : set.damaged) expectedLog[name] = 1;
    EXPECT_EQ(Logged(out.Path(), kLoadFailedMarker), expectedLog);
    // A good photo gets its sheet exactly when every other copy of its
    // portrait does: the damaged ones around it change nothing.
    const std::set<std::string> written = FilesBelow(out.Path());
    std::map<std::string, std::set<bool>> outcomes;
    int sheets = 0;
    for (const std::string& name : set.names) {
        const bool has = written.count(name) > 0;
        if (set.damaged.count(name)) {
            EXPECT_FALSE(has) << name;
            continue;
        }
        outcomes[set.origins.at(name)].insert(has);
        sheets += has;
    }
    for (const auto& [origin, seen] : outcomes) EXPECT_EQ(seen.size(), 1u) << origin;
    EXPECT_GE(sheets, n / 10);  // many portraits cut this small are refused alike
    for (const std::string& file : written) {
        if (file != kRecognitionLogName) {
            EXPECT_EQ(set.origins.count(file), 1u) << "unexpected file " << file;
        }
    }
    EXPECT_EQ(Shown(kSaved), 1);

    const long settled = memory.PeakKb(20, 60), late = memory.PeakKb(150, n);
    std::printf("%d sheets; resident MB photos 21-60: %ld, photos 151-200: %ld\n", sheets,
                settled / 1024, late / 1024);
    EXPECT_LE(late, settled + 30L * 1024);
}

}  // namespace
