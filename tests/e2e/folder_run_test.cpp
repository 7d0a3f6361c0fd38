// A folder of the shared portraits worked through unattended in the main
// window with the real face library: every photo accounted for once (a
// sheet place and either a training line or a log line), the shared sheets
// and the numbered one at the end, nothing else written, the photos left as
// they were; and a 50-photo run whose memory stays flat.
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "detect/recognition_log.h"
#include "gui/form_fixture.h"
#include "platform/cp932.h"
#include "platform/jpeg.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "sheet/output_paths.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    std::vector<std::string> lines;
    std::string text = Cp932ToUtf8(bytes), line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

// Every file below `root`, as paths relative to it.
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
    return files;
}

long ResidentKb() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Starts the peak resident size afresh (Linux), so that the run is measured
// without the tests before it in this process.
void RestartPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

long PeakKb() {
    return static_cast<long>(PeakResidentBytes() / 1024);
}

class FolderRun : public FormTest {
  protected:
    void SetUp() override {
        source = PortraitsFolder();
        if (source.empty())
            GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are not here";
        FormTest::SetUp();
        form1->FAppDir = ProgramDir().string() + "/";
        SetRecognitionOnLoad(true);
        form2->CheckBox9->setChecked(true);    // unattended: failures pass without a box
        form2->CheckBox15->setChecked(false);  // one framing pass per photo
        form2->CheckBox10->setChecked(false);  // no trimmed photos
        form1->Edit3->setText(QString::fromStdString(out.Dir()));
        form1->show();
    }
    // Copies the shared JPEGs `copies` times into the photos folder.
    int CopyPortraits(int copies, int limit = 1 << 30) {
        int n = 0;
        for (int c = 0; c < copies; ++c)
            for (const auto& e : fs::directory_iterator(source)) {
                if (e.path().extension() != ".jpg" || n >= limit) continue;
                fs::copy_file(e.path(), photos.Path() /
                                            (FormatText("%d_", c) + e.path().filename().string()));
                ++n;
            }
        return n;
    }
    void Drop() {
        form1->HandleDroppedFiles({photos.Path().string()}, QPoint(400, 400));
        host.dialogs.shown.clear();  // the first photo's notices, before the run
    }
    void Run() {
        form1->CheckBox3->setChecked(true);
        form1->BitBtn3->click();
    }

    std::string source;
    TempFolder photos, out;
};

TEST_F(FolderRun, SharedPortraitsMakeTwoPersonSheetsUnattended) {
    const int n = CopyPortraits(1);
    ASSERT_GT(n, 10);
    ASSERT_TRUE(form1->LoadLayout(form1->FAppDir + "30x40mm_L判_2人.ini"));
    ASSERT_EQ(form1->FPaper.photo_ct, 4);
    ASSERT_EQ(form1->FPaper.photo_ct_per_person, 2);
    form2->CheckBox8->setChecked(true);  // skip finished: not for shared sheets
    form2->CheckBox6->setChecked(true);  // faces and training lines
    const std::set<std::string> before = FilesBelow(photos.Path());
    std::map<std::string, std::uintmax_t> sizes;
    for (const std::string& f : before) sizes[f] = fs::file_size(photos.Path() / f);
    // A sheet named like the first photo already waits in the save folder.
    const std::string present = out.Write(FileNameOf(*before.begin()), "an earlier sheet");
    Drop();
    ASSERT_EQ(static_cast<int>(form1->FBatchFiles.size()), n);
    // Every composed person moves the shared sheet's slot on by two; the
    // composition pumps, so the photo of the pump before the move is the one
    // that took the places.
    int composed = 0, slot = form1->FSheetSlot;
    std::string current;
    std::set<std::string> placed;
    const auto notePlaces = [&] {
        if (form1->FSheetSlot != slot) {
            ++composed;
            placed.insert(FileNameOf(current));
        }
        slot = form1->FSheetSlot;
        current = form1->FFileName;
    };
    host.pump.action = notePlaces;
    Run();
    notePlaces();

    const std::vector<std::string> log = Lines(out.Dir() + kRecognitionLogName);
    const std::vector<std::string> training = Lines(out.Dir() + "認識画像/positive.txt");
    std::printf("%d photos, %d composed: %zu training lines, %zu log lines\n", n, composed,
                training.size(), log.size());
    // Every photo is accounted for: its face went to the training list, or
    // its failure to the log (a face found but refused can be in both), and
    // none twice in either.
    std::multiset<std::string> logged, trained;
    for (const std::string& line : log) {
        if (line.rfind("-----", 0) == 0) continue;  // the run's dated separator
        EXPECT_NE(line.find("自動顔認識エラー"), std::string::npos) << line;
        logged.insert(FileNameOf(line.substr(line.rfind(' ') + 1)));
    }
    for (const std::string& line : training)
        trained.insert(FileNameOf(line.substr(0, line.find(' '))));
    for (const std::string& photo : form1->FBatchFiles) {
        const std::string name = FileNameOf(photo);
        EXPECT_EQ(logged.count(name) + trained.count(name) > 0, true) << name;
        EXPECT_LE(logged.count(name), 1u) << name;
        EXPECT_LE(trained.count(name), 1u) << name;
    }
    // A photo whose framing failed (its log line) takes no place: its sheet
    // would show the frame left from the photo before. Undersized frames pass
    // without a place too; the rest share sheets.
    EXPECT_EQ(static_cast<int>(placed.size()), composed);
    for (const std::string& name : placed) EXPECT_EQ(logged.count(name), 0u) << name;
    EXPECT_LE(composed, static_cast<int>(trained.size()));
    EXPECT_GE(composed, static_cast<int>(training.size() - log.size()));

    std::set<std::string> expected = {FileNameOf(present), kRecognitionLogName,
                                      "認識画像/positive.txt"};
    const int sheets = (composed + 1) / 2;
    for (int i = 0; i < sheets; ++i) expected.insert(IndexSheetName(i));
    for (const std::string& line : training)
        expected.insert("認識画像/" + FileNameOf(line.substr(0, line.find(' '))));
    EXPECT_EQ(FilesBelow(out.Path()), expected);
    std::string bytes;
    ReadFileBytes(present, bytes);
    EXPECT_EQ(bytes, "an earlier sheet");
    // The photos: the same files, the same sizes.
    EXPECT_EQ(FilesBelow(photos.Path()), before);
    for (const auto& [f, size] : sizes) EXPECT_EQ(fs::file_size(photos.Path() / f), size) << f;
    EXPECT_EQ(host.dialogs.Texts(), std::vector<std::string>{"保存しました。"});
    EXPECT_EQ(form1->FSheetSlot, composed % 2 ? 2 : 0);
}

TEST_F(FolderRun, FiftyPhotosKeepMemoryFlat) {
    const int n = CopyPortraits(3, 50);
    ASSERT_EQ(n, 50);
    form2->CheckBox6->setChecked(false);
    Drop();
    std::vector<long> rss(n + 1, 0);
    host.pump.action = [&] {
        const int i = std::min(form1->FBatchIndex, n);
        rss[i] = std::max(rss[i], ResidentKb());
    };
    RestartPeak();
    Run();
    EXPECT_EQ(static_cast<int>(fs::directory_iterator(out.Path()) == fs::directory_iterator()), 0);
    std::printf("resident MB by photo:");
    for (int i = 0; i < n; i += 5) std::printf(" %d:%ld", i + 1, rss[i] / 1024);
    // Settled over a whole round of the portraits, so that the largest photo
    // is among them as it is among the late ones.
    const long settled = *std::max_element(rss.begin() + 5, rss.begin() + 30);
    const long late = *std::max_element(rss.begin() + 35, rss.begin() + n);
    std::printf("\npeak RSS of the run %ld MB; photos 6-30 %ld MB, photos 36-50 %ld MB\n",
                PeakKb() / 1024, settled / 1024, late / 1024);
    // The test program keeps memory as the program does (its main sets the
    // same allocator policy), so this is the program's figure.
    EXPECT_LE(PeakKb(), 300L * 1024);
    // Flat: the last photos hold no more than the settled ones plus a margin
    // for the largest photo being among them.
    EXPECT_LE(late, settled + 40L * 1024);
}

// The window closed while the face library of a framing pass is loaded and
// its model thread at work: the run stops after that photo, every sheet
// written is whole, the photos are as they were, and the window is gone.
TEST_F(FolderRun, ClosingTheWindowMidRunStopsCleanly) {
    const int n = CopyPortraits(1, 6);
    ASSERT_EQ(n, 6);
    form2->CheckBox6->setChecked(false);
    const std::set<std::string> before = FilesBelow(photos.Path());
    Drop();
    bool closed = false;
    host.pump.action = [&] {
        if (closed || form1->FBatchIndex != 2) return;
        closed = true;
        form1->close();
    };
    Run();
    ASSERT_TRUE(closed);
    EXPECT_FALSE(form1->isVisible());
    EXPECT_FALSE(form1->FRunning);
    EXPECT_LE(form1->FBatchIndex, 3);
    EXPECT_TRUE(host.dialogs.Texts().empty());
    for (const std::string& f : FilesBelow(out.Path())) {
        if (fs::path(f).extension() != ".jpg") continue;
        Bitmap sheet;
        EXPECT_EQ(DecodeJpegFile((out.Path() / f).string(), sheet), 0) << f;
    }
    EXPECT_LE(FilesBelow(out.Path()).size(), 3u);  // two sheets at most, and the log
    EXPECT_EQ(FilesBelow(photos.Path()), before);
}

}  // namespace
