// Paths on the command line: which one the window opens, and that it opens
// it as a dropped photo or folder once the window is up.
#include "app/command_line.h"

#include <QCoreApplication>
#include <QLineEdit>

#include "gui/form_fixture.h"
#include "platform/jpeg.h"

namespace fs = std::filesystem;

namespace {

using Kind = StartupOpen::Kind;

// A plain picture saved as a JPEG, its folders made.
void WriteJpeg(const std::string& path, int width, int height) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_EQ(EncodeJpegFile(path, Bitmap(width, height, Rgb{90, 100, 110}), 90), 0);
}

struct StartupCase {
    const char* name;
    std::vector<std::string> args;  // relative to the start folder
    Kind kind;
    const char* chosen;  // relative to the start folder; "" = nothing
};

class StartupChoice : public ::testing::TestWithParam<StartupCase> {
  protected:
    void SetUp() override {
        WriteJpeg(t.Dir() + "good.jpg", 8, 8);
        WriteJpeg(t.Dir() + "also.jpg", 8, 8);
        t.Write("empty.jpg", "");
        t.Write("notes.txt", "x");
        fs::create_directories(t.Path() / "folder");
    }
    TempFolder t;
};

TEST_P(StartupChoice, FirstUsablePath) {
    const StartupCase& c = GetParam();
    const StartupOpen open = ChooseStartupPath(c.args, t.Dir());
    EXPECT_EQ(open.kind, c.kind);
    EXPECT_EQ(open.path, *c.chosen ? t.Dir() + c.chosen : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupChoice,
    ::testing::Values(
        StartupCase{"Nothing", {}, Kind::None, ""},
        StartupCase{"OnePhoto", {"good.jpg"}, Kind::Photo, "good.jpg"},
        StartupCase{"FirstOfSeveral", {"also.jpg", "good.jpg"}, Kind::Photo, "also.jpg"},
        StartupCase{"MissingAndEmptyPassedOver",
                    {"gone.jpg", "empty.jpg", "notes.txt", "good.jpg"},
                    Kind::Photo,
                    "good.jpg"},
        // With no photo that reads, the window is asked for the first one
        // all the same, and tells why it cannot be read.
        StartupCase{
            "NoneReadable", {"notes.txt", "gone.jpg", "empty.jpg"}, Kind::Photo, "gone.jpg"},
        StartupCase{"OnlyOtherFiles", {"notes.txt", "gone.txt", ""}, Kind::None, ""},
        StartupCase{"AFolder", {"gone.jpg", "folder", "good.jpg"}, Kind::Folder, "folder"}),
    [](const ::testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.name); });

TEST(StartupChoiceAbsolute, AnAbsolutePathIsTakenAsItIs) {
    TempFolder t;
    WriteJpeg(t.Dir() + "p.jpg", 8, 8);
    const StartupOpen open = ChooseStartupPath({t.Dir() + "p.jpg"}, "/elsewhere/");
    EXPECT_EQ(open.path, t.Dir() + "p.jpg");
}

class StartupOpenTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    TempFolder photos;
};

TEST_F(StartupOpenTest, APhotoOpensOnceTheEventLoopRuns) {
    const std::string path = photos.Dir() + "d/portrait.jpg";
    WriteJpeg(path, 900, 700);
    OpenStartupPaths(*form1, {"d/portrait.jpg"}, photos.Dir());
    EXPECT_TRUE(form1->FFileName.empty());  // not before the window is up
    QCoreApplication::processEvents();
    EXPECT_EQ(form1->FFileName, path);
    EXPECT_EQ(form1->StatusText(0), "JPEGファイル " + path);
    EXPECT_EQ(form1->FPhotoDir, photos.Dir() + "d/");
    EXPECT_FALSE(form1->FBatchMode);
}

TEST_F(StartupOpenTest, AFolderOpensAsADroppedFolder) {
    for (const char* name : {"run/1.jpg", "run/2.jpg"}) WriteJpeg(photos.Dir() + name, 900, 700);
    OpenStartupPaths(*form1, {photos.Dir() + "run"}, "/");
    QCoreApplication::processEvents();
    EXPECT_TRUE(form1->FBatchMode);
    EXPECT_EQ(form1->FBatchFiles.size(), 2u);
    EXPECT_EQ(form1->FFileName, photos.Dir() + "run/1.jpg");
    EXPECT_TRUE(form1->Edit3->text().isEmpty());  // not taken as the save folder
}

}  // namespace
