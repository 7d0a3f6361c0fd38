// kambrix-batch and the window on the same real portraits: the batch's
// --frame-only report gives, for every photo, the result the window's own
// framing pass gives, and the face it found in the photo's pixels; and a
// folder run in the window writes the batch's files, byte for byte.
#include <QCheckBox>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/batch_run.h"
#include "e2e/portrait_fixture.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "platform/text_format.h"

namespace {

struct Reported {
    int code = 0;
    std::vector<int> face;  // left, top, right, bottom; empty when unknown
};

std::map<std::string, Reported> ReadReport(const std::string& path) {
    std::map<std::string, Reported> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');) f.push_back(cell);
        if (f.size() < 8) continue;
        Reported r;
        r.code = std::stoi(f[2]);
        if (!f[4].empty())
            for (int i = 4; i < 8; ++i) r.face.push_back(std::stoi(f[static_cast<std::size_t>(i)]));
        rows[f[0]] = r;
    }
    return rows;
}

class BatchAgreement : public PortraitFormTest {
  protected:
    static constexpr const char* kLayout = kPassportLayout;
};

TEST_F(BatchAgreement, FrameOnlyReportsWhatTheWindowFinds) {
    // One worker: this process runs a window, which a worker process must not share.
    // The window's head top, which the batch does not take by default.
    std::ostringstream o, e;
    ASSERT_NE(RunBatchCommand({folder, "--frame-only", "--layout", form1->FAppDir + kLayout,
                               "--no-recognition-images", "--head-top", "background", "--out",
                               out.Dir() + "batch", "--jobs", "1", "--report", out.Dir() + "r.csv"},
                              form1->FAppDir, o, e, false),
              kExitUsage)
        << e.str();
    const auto report = ReadReport(out.Dir() + "r.csv");
    int compared = 0;
    for (const FolderEntry& entry : ListFolder(folder)) {
        if (entry.name.size() < 4 || entry.name.substr(entry.name.size() - 4) != ".jpg") continue;
        const std::string path = folder + "/" + entry.name;
        Open(path);
        const FramingResult& r = form1->FLastFraming;
        const auto it = report.find(path);
        ASSERT_NE(it, report.end()) << path;
        // The batch runs unattended: a frame too large is -9 there, -10 here.
        const bool tooLarge =
            r.code == kFrameNotDetected && r.marker == FramingLogMarker::FalseDetection;
        EXPECT_EQ(it->second.code, tooLarge ? kFrameTooLargeUnattended : r.code) << entry.name;
        ++compared;
        if (r.code != 0 && it->second.face.empty()) continue;
        ASSERT_EQ(it->second.face.size(), 4u) << entry.name;
        // The window's face in its square, back to the photo by hand: the
        // padding off, then the load reduction undone (the photo's upright size
        // from its decoded picture).
        Bitmap decoded;
        ASSERT_EQ(DecodeJpegFile(path, decoded), 0);
        const int w = form1->FTempBmp2.Width(), h = form1->FTempBmp2.Height();
        const bool turned = (decoded.Width() > decoded.Height()) != (w > h);
        const double full = turned ? decoded.Height() : decoded.Width();
        const double sx = full / w, sy = (turned ? decoded.Width() : decoded.Height()) * 1.0 / h;
        const int side = std::max(w, h), offX = (side - w) / 2, offY = (side - h) / 2;
        const double expected[4] = {(r.face.left - offX) * sx, (r.face.top - offY) * sy,
                                    (r.face.right - offX) * sx, (r.face.bottom - offY) * sy};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(it->second.face[static_cast<std::size_t>(i)], expected[i], 1.0)
                << entry.name << " side " << i;
    }
    EXPECT_GE(compared, 20);
}

// The JPEG files below `root` (sheets and trimmed photos) by their relative
// path, with their bytes.
std::map<std::string, std::string> JpegsBelow(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (!e.is_regular_file() || e.path().extension() != ".jpg") continue;
        std::string bytes;
        ReadFileBytes(e.path().string(), bytes);
        files[std::filesystem::relative(e.path(), root).string()] = bytes;
    }
    return files;
}

// An unattended folder run in the window and the batch on the same copies:
// the same photos get sheets (none for a photo the framing failed on) and
// each sheet and trimmed photo is the batch's to the byte.
TEST_F(BatchAgreement, FolderRunWritesTheBatchFiles) {
    TempFolder photos;
    for (const FolderEntry& entry : ListFolder(folder))
        if (entry.name.size() > 4 && entry.name.substr(entry.name.size() - 4) == ".jpg")
            std::filesystem::copy_file(folder + "/" + entry.name, photos.Path() / entry.name);
    form2->CheckBox9->setChecked(true);  // unattended: failures pass without a box
    form1->Edit3->setText(QString::fromStdString(out.Dir() + "window/"));
    form1->HandleDroppedFiles({photos.Path().string()}, QPoint(400, 400));
    ASSERT_TRUE(form1->FBatchMode);
    form1->CheckBox3->setChecked(true);
    form1->BitBtn3->click();

    std::ostringstream o, e;
    RunBatchCommand(
        {photos.Path().string(), "--layout", form1->FAppDir + kLayout, "--no-recognition-images",
         "--head-top", "background", "--out", out.Dir() + "batch", "--jobs", "1"},
        form1->FAppDir, o, e, false);
    const auto window = JpegsBelow(out.Path() / "window");
    const auto batch = JpegsBelow(out.Path() / "batch");
    std::vector<std::string> windowNames, batchNames;
    for (const auto& [name, bytes] : window) windowNames.push_back(name);
    for (const auto& [name, bytes] : batch) batchNames.push_back(name);
    EXPECT_EQ(windowNames, batchNames) << e.str();
    EXPECT_GE(windowNames.size(), 10u);
    int same = 0;
    for (const auto& [name, bytes] : window) {
        const auto it = batch.find(name);
        if (it == batch.end()) continue;
        EXPECT_TRUE(it->second == bytes) << name;
        same += it->second == bytes;
    }
    std::printf("%d of %zu files equal\n", same, window.size());
}

}  // namespace
