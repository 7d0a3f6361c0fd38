#include "sheet/compose.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/reduce.h"
#include "platform/cp932.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"
#include "unit/sheet/sheet_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr Rgb kRed{220, 30, 30};
constexpr Rgb kGreen{30, 200, 60};

// ---- The trimmed photo --------------------------------------------------------

struct ConvertCase {
    int v, side, viewWidth, expected;
};
class ViewToWorkingTest : public testing::TestWithParam<ConvertCase> {};
TEST_P(ViewToWorkingTest, RoundsByTenths) {
    const ConvertCase& c = GetParam();
    EXPECT_EQ(ViewToWorking(c.v, c.side, c.viewWidth), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Values, ViewToWorkingTest,
                         testing::Values(ConvertCase{10, 3000, 600, 50},  // exact
                                         ConvertCase{1, 1000, 600, 2},    // 16 tenths: 1.6 -> 2
                                         ConvertCase{3, 1000, 600, 5},    // 50 tenths
                                         ConvertCase{7, 1000, 600, 12},   // 116 tenths
                                         ConvertCase{1, 1000, 700, 1},    // 14 tenths
                                         ConvertCase{1, 1000, 2000, 1},   // 5 tenths: up
                                         ConvertCase{1, 1000, 2200, 0},   // 4 tenths: down
                                         ConvertCase{0, 3000, 700, 0},
                                         ConvertCase{700, 3000, 700, 3000},
                                         ConvertCase{5, 3000, 0, 0}));  // no view

// Pixel (x, y) of the source tells where it came from.
Bitmap Coordinates(int side) {
    Bitmap b(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) b.SetPixel(x, y, Rgb{std::uint8_t(x), std::uint8_t(y), 7});
    return b;
}

TEST(CropTrimmedPhoto, CopiesTheFrameAtWorkingResolution) {
    const Bitmap source = Coordinates(200);
    Bitmap trim;
    // View 100 wide: factor 2. Frame (10, 20) 30 x 40 -> (20, 40) 60 x 80.
    ASSERT_EQ(CropTrimmedPhoto(source, {10, 20, 30, 40}, 100, trim), 0);
    ASSERT_EQ(trim.Width(), 60);
    ASSERT_EQ(trim.Height(), 80);
    EXPECT_EQ(trim.Pixel(0, 0), (Rgb{20, 40, 7}));
    EXPECT_EQ(trim.Pixel(59, 79), (Rgb{79, 119, 7}));
}

TEST(CropTrimmedPhoto, NegativePositionsCountAsZero) {
    const Bitmap source = Coordinates(100);
    Bitmap trim;
    ASSERT_EQ(CropTrimmedPhoto(source, {-5, -9, 10, 10}, 100, trim), 0);
    EXPECT_EQ(trim.Width(), 10);
    EXPECT_EQ(trim.Pixel(0, 0), (Rgb{0, 0, 7}));
}

// A frame reaching past the right edge keeps its size; the shorter strip of
// the source is stretched over it.
TEST(CropTrimmedPhoto, StretchesAClampedStrip) {
    const Bitmap source = Coordinates(100);
    Bitmap trim;
    ASSERT_EQ(CropTrimmedPhoto(source, {80, 0, 40, 20}, 100, trim), 0);
    ASSERT_EQ(trim.Width(), 40);
    ASSERT_EQ(trim.Height(), 20);
    Bitmap want(40, 20);
    StretchDraw(source, {80, 0, 100, 20}, want, {0, 0, 40, 20});
    EXPECT_EQ(trim, want);
    EXPECT_EQ(trim.Pixel(39, 0), (Rgb{99, 0, 7}));
}

TEST(CropTrimmedPhoto, OutsideTheImageOrWithoutAView) {
    const Bitmap source = Coordinates(100);
    Bitmap trim;
    ASSERT_EQ(CropTrimmedPhoto(source, {150, 150, 20, 10}, 100, trim), 0);
    EXPECT_EQ(trim, Bitmap(20, 10, kBlack));
    EXPECT_EQ(CropTrimmedPhoto(source, {0, 0, 20, 10}, 0, trim), -1);
    EXPECT_TRUE(trim.Empty());
    EXPECT_EQ(CropTrimmedPhoto(Bitmap(), {0, 0, 20, 10}, 100, trim), -1);
}

// ---- Composition ------------------------------------------------------------------

class Compose : public testing::Test {
  protected:
    void SetUp() override {
        start_ = fs::current_path();
        photoDir_ = folder_.Dir() + "photos/";
        fs::create_directories(photoDir_);
        options_.marks = {false, false, false};
        options_.sharpen = false;
        options_.saveTrimmed = false;
        options_.photoDir = photoDir_;
        options_.title = "Kambrix";
    }
    void TearDown() override { fs::current_path(start_); }

    int Run(const TLayout& layout, const Bitmap& trim, const std::string& name = "IMG1.JPG") {
        report_ = {};
        return ComposeSheet(layout, options_, trim, back_, photoDir_ + name, state_, host_.dialogs,
                            &report_);
    }
    std::string SheetFolderPath() const { return photoDir_ + "写真シート/"; }
    // Three places of the built-in layout, place `resized` made 300 x 400,
    // composed with the trimmed photo kept; the trimmed photo's picture.
    Bitmap TrimmedWithPlaceResized(int resized, TLayout& layout) {
        options_.saveTrimmed = true;
        layout = DefaultLayoutWith(3);
        layout.slots[resized].width = 300;
        layout.slots[resized].height = 400;
        EXPECT_EQ(Run(layout, PortraitLike(600, 800)), 0);
        Bitmap trimmed;
        EXPECT_EQ(DecodeJpegFile(report_.trimmedPath, trimmed), 0);
        return trimmed;
    }

    TempFolder folder_;
    fs::path start_;
    std::string photoDir_;
    SheetOptions options_;
    SheetState state_;
    Bitmap back_;
    ScriptedHost host_;
    ComposeReport report_;
};

// Which person's colour fills each place's centre ('.' white, 'A', 'B').
std::string PlaceOwners(const Bitmap& sheet, const TLayout& layout) {
    std::string owners;
    for (int i = 0; i < layout.paper.photo_ct; ++i) {
        const Rgb c = sheet.Pixel(layout.slots[i].cx, layout.slots[i].cy);
        owners += c == kRed ? 'A' : c == kGreen ? 'B' : c == kWhite ? '.' : '?';
    }
    return owners;
}

struct CycleStep {
    bool fresh;
    const char* owners;  // after the call
    bool saved;
};
struct CycleCase {
    const char* name;
    int perPerson;
    std::vector<CycleStep> steps;  // persons A, B, A, B, ...
};
class SheetCycle : public Compose, public testing::WithParamInterface<CycleCase> {};

TEST_P(SheetCycle, FillsAndSavesByTheSlot) {
    TLayout layout = DefaultLayoutWith(4);
    layout.paper.photo_ct_per_person = GetParam().perPerson;
    const Bitmap a(378, 496, kRed), b(378, 496, kGreen);
    int call = 0;
    for (const CycleStep& step : GetParam().steps) {
        SCOPED_TRACE("call " + std::to_string(call) + " at slot " + std::to_string(state_.slot));
        ASSERT_EQ(Run(layout, call % 2 ? b : a), 0);
        EXPECT_EQ(report_.fresh, step.fresh);
        EXPECT_EQ(PlaceOwners(state_.sheet, layout), step.owners);
        EXPECT_EQ(report_.saved, step.saved);
        state_.slot = NextSheetSlot(layout.paper, state_.slot);
        ++call;
    }
    EXPECT_TRUE(host_.dialogs.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FourPlaces, SheetCycle,
    testing::Values(CycleCase{"fourPerPerson", 4, {{true, "AAAA", true}, {true, "BBBB", true}}},
                    CycleCase{"twoPerPerson",
                              2,
                              {{true, "AA..", false},
                               {false, "AABB", true},
                               {true, "AA..", false},
                               {false, "AABB", true}}},
                    CycleCase{
                        "threePerPerson",
                        3,
                        {{true, "AAA.", false}, {false, "AAAB", true}, {true, "AAA.", false}}}),
    [](const testing::TestParamInfo<CycleCase>& i) { return std::string(i.param.name); });

TEST(SheetSlots, AdvanceAndWrap) {
    TPaperInfo p;
    p.photo_ct = 4;
    p.photo_ct_per_person = 3;
    EXPECT_EQ(NextSheetSlot(p, 0), 3);
    EXPECT_EQ(NextSheetSlot(p, 3), 0);
    EXPECT_FALSE(FillsSheet(p, 0));
    EXPECT_TRUE(FillsSheet(p, 3));
    EXPECT_TRUE(StartsFreshSheet(p, 0));
    EXPECT_FALSE(StartsFreshSheet(p, 3));
    p.photo_ct_per_person = 4;
    EXPECT_EQ(NextSheetSlot(p, 0), 0);
    EXPECT_TRUE(StartsFreshSheet(p, 2));
}

TEST_F(Compose, OnePersonSheetsAreNamedAfterThePhotoSharedOnesNumbered) {
    TLayout layout = DefaultLayoutWith(4);
    const Bitmap a(378, 496, kRed);
    ASSERT_EQ(Run(layout, a), 0);
    EXPECT_EQ(report_.sheetPath, SheetFolderPath() + "IMG1.JPG");
    Bitmap written;
    ASSERT_EQ(DecodeJpegFile(report_.sheetPath, written), 0);
    EXPECT_EQ(written.Width(), 1051);
    EXPECT_EQ(written.Height(), 1500);

    layout.paper.photo_ct_per_person = 2;
    state_.slot = 2;
    ASSERT_EQ(Run(layout, a), 0);
    EXPECT_EQ(report_.sheetPath, SheetFolderPath() + "Index_0000.jpg");
}

// 378 pixels at 300 dpi print as 32.0 mm: the saved density is the layout's.
TEST_F(Compose, SavedSheetCarriesTheLayoutsDpi) {
    TLayout layout = DefaultLayoutWith(4);
    layout.paper.dpi = 350;
    ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(report_.sheetPath, bytes));
    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(bytes.substr(13, 5), std::string("\x01\x01\x5E\x01\x5E", 5));
    EXPECT_NEAR(378 * 25.4 / 300, 32.0, 0.01);
}

// ---- The size check ---------------------------------------------------------------

struct SizeCheckCase {
    const char* name;
    bool batch, autoRun, skip;
    std::deque<bool> answers;
    int result;
    bool asked;
};
class SizeCheck : public Compose, public testing::WithParamInterface<SizeCheckCase> {};

TEST_P(SizeCheck, AsksOrSkips) {
    const SizeCheckCase& c = GetParam();
    options_.batchMode = c.batch;
    options_.autoContinuous = c.autoRun;
    options_.skipUnrecognised = c.skip;
    host_.dialogs.answers = c.answers;
    const TLayout layout = DefaultLayoutWith(4);
    state_.sheet = Bitmap(7, 7, kGreen);  // anything drawn would replace it
    EXPECT_EQ(Run(layout, Bitmap(378, 495, kRed)), c.result);
    EXPECT_EQ(!host_.dialogs.shown.empty() && host_.dialogs.shown[0].question, c.asked);
    if (c.asked) {
        EXPECT_EQ(host_.dialogs.shown[0].text, kMsgEnlarge);
        EXPECT_EQ(host_.dialogs.shown[0].caption, "Kambrix");
    }
    if (c.result == kComposeStopped) {
        EXPECT_EQ(state_.sheet, Bitmap(7, 7, kGreen));
    } else {
        EXPECT_EQ(PlaceOwners(state_.sheet, layout), "AAAA");  // enlarged by the stretch
        EXPECT_TRUE(report_.saved);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SmallerThanThePlace, SizeCheck,
    testing::Values(SizeCheckCase{"yesStops", false, false, false, {true}, kComposeStopped, true},
                    SizeCheckCase{"noGoesOn", false, false, false, {false}, 0, true},
                    SizeCheckCase{"unattendedSkip", true, true, true, {}, kComposeStopped, false},
                    SizeCheckCase{
                        "batchWithoutSkipAsks", true, true, false, {true}, kComposeStopped, true},
                    SizeCheckCase{"skipOutsideAutoRunAsks", true, false, true, {false}, 0, true}),
    [](const testing::TestParamInfo<SizeCheckCase>& i) { return std::string(i.param.name); });

// The largest width and the largest height may come from different places.
TEST_F(Compose, SizeCheckUsesTheLargestOfAllPlaces) {
    TLayout layout = DefaultLayoutWith(4);
    layout.paper.photo_ct_per_person = 2;
    layout.slots[3].width = 400;  // not this person's place
    layout.slots[2].height = 500;
    host_.dialogs.answers = {true, true};
    EXPECT_EQ(Run(layout, Bitmap(399, 600, kRed)), kComposeStopped);
    EXPECT_EQ(Run(layout, Bitmap(600, 499, kRed)), kComposeStopped);
    EXPECT_EQ(host_.dialogs.shown.size(), 2u);
    host_.dialogs.shown.clear();
    EXPECT_EQ(Run(layout, Bitmap(400, 500, kRed)), 0);
    EXPECT_TRUE(host_.dialogs.shown.empty());
}

// A photo stopped at the size check on a shared sheet leaves its places
// empty: the caller moves on to the next person whatever the result.
TEST_F(Compose, StoppedPersonLeavesItsPlacesEmpty) {
    TLayout layout = DefaultLayoutWith(4);
    layout.paper.photo_ct_per_person = 2;
    ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    state_.slot = NextSheetSlot(layout.paper, state_.slot);
    host_.dialogs.answers = {true};
    EXPECT_EQ(Run(layout, Bitmap(10, 10, kGreen)), kComposeStopped);
    EXPECT_EQ(PlaceOwners(state_.sheet, layout), "AA..");
}

// ---- Background ---------------------------------------------------------------------

TEST_F(Compose, BackgroundOfTheSheetsSizeIsCopied) {
    TLayout layout = DefaultLayoutWith(0);
    layout.paper.bg_img_name = "back.jpg";
    back_ = PortraitLike(1051, 1500);
    ASSERT_EQ(Run(layout, Bitmap(5, 5)), 0);
    EXPECT_EQ(state_.sheet, back_);
    EXPECT_TRUE(host_.dialogs.shown.empty());
}

TEST_F(Compose, BackgroundIsReducedToTheSheet) {
    TLayout layout = DefaultLayoutWith(0);
    layout.paper.bg_img_name = "back.jpg";
    back_ = PortraitLike(2102, 3000);
    ASSERT_EQ(Run(layout, Bitmap(5, 5)), 0);
    Bitmap want;
    std::string reason;
    ASSERT_EQ(ReduceHighQuality(back_, want, 1051, 1500, reason), 0);
    EXPECT_EQ(state_.sheet, want);
}

TEST_F(Compose, SmallerBackgroundGivesItsCodeAndAWhiteSheet) {
    TLayout layout = DefaultLayoutWith(0);
    layout.paper.bg_img_name = "back.jpg";
    back_ = PortraitLike(700, 1000);
    ASSERT_EQ(Run(layout, Bitmap(5, 5)), 0);
    EXPECT_EQ(state_.sheet, Bitmap(1051, 1500, kWhite));
    ASSERT_EQ(host_.dialogs.Texts(),
              std::vector<std::string>{"背景画像サイズエラー(エラーコード):-15"});
}

TEST_F(Compose, BackgroundCountsOnlyWhenNamedAndOverTenPixels) {
    TLayout layout = DefaultLayoutWith(0);
    back_ = PortraitLike(1051, 1500);
    ASSERT_EQ(Run(layout, Bitmap(5, 5)), 0);  // no name: no background
    EXPECT_EQ(state_.sheet, Bitmap(1051, 1500, kWhite));
    layout.paper.bg_img_name = "back.jpg";
    for (const Bitmap& small : {Bitmap(10, 900, kRed), Bitmap(900, 10, kRed), Bitmap(1, 1)}) {
        back_ = small;
        ASSERT_EQ(Run(layout, Bitmap(5, 5)), 0);
        EXPECT_EQ(state_.sheet, Bitmap(1051, 1500, kWhite));
    }
    EXPECT_TRUE(host_.dialogs.shown.empty());
}

// With nothing filled, a background refused for another reason than its size
// asks whether to stop.
TEST_F(Compose, FailedBackgroundWithNothingFilledAsks) {
    TLayout layout = DefaultLayoutWith(0);
    layout.paper.bg_img_name = "back.jpg";
    back_ = PortraitLike(3000, 1500);  // other aspect: -10
    host_.dialogs.answers = {true};
    EXPECT_EQ(Run(layout, Bitmap(5, 5)), kComposeStopped);
    ASSERT_EQ(
        host_.dialogs.Texts(),
        (std::vector<std::string>{"背景画像サイズエラー(エラーコード):-10", kMsgReductionFailed}));
    EXPECT_FALSE(report_.saved);
    // With a place filled the question does not come.
    host_.dialogs.shown.clear();
    layout = DefaultLayoutWith(1);
    layout.paper.bg_img_name = "back.jpg";
    EXPECT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    EXPECT_EQ(host_.dialogs.shown.size(), 1u);
}

// ---- Places -------------------------------------------------------------------------

TEST_F(Compose, PlacePartlyOutsideTheSheetIsCut) {
    TLayout layout = DefaultLayoutWith(2);
    layout.slots[0].cx = 0;
    layout.slots[0].cy = 0;
    layout.slots[1].cx = 1051;
    layout.slots[1].cy = 1500 + 100;
    ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    EXPECT_EQ(state_.sheet.Pixel(0, 0), kRed);
    EXPECT_EQ(state_.sheet.Pixel(188, 247), kRed);
    EXPECT_EQ(state_.sheet.Pixel(189, 248), kWhite);
    EXPECT_EQ(state_.sheet.Pixel(1050, 1499), kRed);
    EXPECT_EQ(state_.sheet.Pixel(862, 1352), kRed);  // left 1051 - 189, top 1600 - 248
    EXPECT_EQ(state_.sheet.Pixel(861, 1352), kWhite);
    EXPECT_EQ(state_.sheet.Pixel(1050, 1351), kWhite);
}

// A place turned by 90 degrees: the photo turns inside the place's own
// rectangle; what leaves it is lost and the uncovered ends are black.
TEST_F(Compose, PlaceTurnedNinetyDegreesKeepsItsRectangle) {
    TLayout layout = DefaultLayoutWith(1);
    TPhotoSlot& s = layout.slots[0];
    s.width = 300;
    s.height = 100;
    s.r = 90.0f;
    ASSERT_EQ(Run(layout, Bitmap(300, 100, kRed)), 0);
    const Bitmap& sheet = state_.sheet;
    EXPECT_EQ(sheet.Pixel(s.cx, s.cy), kRed);
    EXPECT_EQ(sheet.Pixel(s.cx - 150 + 5, s.cy), kBlack);  // left end uncovered
    EXPECT_EQ(sheet.Pixel(s.cx + 149 - 5, s.cy), kBlack);  // right end
    EXPECT_EQ(sheet.Pixel(s.cx - 30, s.cy - 45), kRed);    // the turned band
    EXPECT_EQ(sheet.Pixel(s.cx, s.cy - 51), kWhite);       // outside the place
}

TEST_F(Compose, DistortingAspectIsStretchedSilently) {
    const TLayout layout = DefaultLayoutWith(1);
    Bitmap trim = PortraitLike(1000, 500);
    ASSERT_EQ(Run(layout, trim), 0);
    EXPECT_TRUE(host_.dialogs.shown.empty());
    Bitmap want(378, 496, kWhite);
    StretchDraw(trim, want);
    Bitmap got(378, 496);
    CopyRect(state_.sheet, {112, 118, 490, 614}, got, 0, 0);
    EXPECT_EQ(got, want);
}

// Worked example: place 0 of the built-in layout covers x 112 to 489 and
// y 118 to 613, edges included.
TEST_F(Compose, PlaceZeroLandsOnItsWorkedRectangle) {
    const TLayout layout = DefaultLayoutWith(1);
    ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    const Bitmap& s = state_.sheet;
    EXPECT_EQ(s.Pixel(112, 118), kRed);
    EXPECT_EQ(s.Pixel(489, 613), kRed);
    EXPECT_EQ(s.Pixel(111, 118), kWhite);
    EXPECT_EQ(s.Pixel(490, 613), kWhite);
    EXPECT_EQ(s.Pixel(112, 117), kWhite);
    EXPECT_EQ(s.Pixel(112, 614), kWhite);
}

TEST_F(Compose, TrimmedPhotoHoldsTheLastPlaceFilled) {
    TLayout layout;
    const Bitmap trimmed = TrimmedWithPlaceResized(2, layout);
    EXPECT_EQ(report_.trimmedPath, photoDir_ + "トリミング画像/IMG1.JPG");
    EXPECT_EQ(trimmed.Width(), 300);
    EXPECT_EQ(trimmed.Height(), 400);
}

// Places of one photo share a single write of the trimmed photo; a place
// whose photo differs from the one before it is written again, even when an
// earlier place had that same photo.
TEST_F(Compose, TrimmedPhotoFollowsAPhotoMadeAgain) {
    TLayout layout;
    const Bitmap trimmed = TrimmedWithPlaceResized(1, layout);
    EXPECT_EQ(trimmed.Width(), layout.slots[2].width);
    EXPECT_EQ(trimmed.Height(), layout.slots[2].height);
}

TEST_F(Compose, SheetThatCannotBeWrittenGivesMinusFour) {
    const std::string blocker = folder_.Write("file", "a file where the folder should be");
    options_.saveFolder = blocker + "/sub/";
    EXPECT_EQ(Run(DefaultLayoutWith(1), Bitmap(378, 496, kRed)), kComposeSaveFailed);
    EXPECT_FALSE(report_.saved);
    EXPECT_EQ(host_.dialogs.shown.size(), 1u);  // the saver's own message
}

// A sheet or trimmed photo that cannot be written leaves the earlier file of
// its name as it was and no partial file beside it.
TEST_F(Compose, FailedWritesKeepTheEarlierFiles) {
    options_.saveTrimmed = true;
    const std::string sheet = SheetFolderPath() + "IMG1.JPG";
    const std::string trimmed = photoDir_ + "トリミング画像/IMG1.JPG";
    fs::create_directories(SheetFolderPath());
    fs::create_directories(photoDir_ + "トリミング画像/");
    for (const std::string& path : {sheet, trimmed}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("earlier", f);
        std::fclose(f);
    }
    TLayout layout = DefaultLayoutWith(1);
    layout.paper.width = layout.paper.height = 0;  // nothing to encode
    layout.slots[0].width = 0;
    EXPECT_EQ(Run(layout, Bitmap(378, 496, kRed)), kComposeSaveFailed);
    for (const std::string& path : {sheet, trimmed}) {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        EXPECT_EQ(bytes, "earlier") << path;
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                                fs::directory_iterator()),
                  1)
            << path;
    }
}

TEST_F(Compose, AbsurdSheetSizeIsAResultNotACrash) {
    TLayout layout = DefaultLayoutWith(1);
    layout.paper.width = layout.paper.height = 2000000000;
    EXPECT_EQ(Run(layout, Bitmap(378, 496, kRed)), kComposeNoMemory);
    EXPECT_FALSE(report_.saved);
}

// A sheet left half filled under a layout of another paper size is not
// carried over: the next person starts a fresh sheet of the right size.
TEST_F(Compose, SheetOfAnotherSizeStartsAfresh) {
    TLayout layout = DefaultLayoutWith(4);
    layout.paper.photo_ct_per_person = 2;
    state_.sheet = Bitmap(10, 10, kGreen);
    state_.slot = 2;
    ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed)), 0);
    EXPECT_TRUE(report_.fresh);
    EXPECT_EQ(PlaceOwners(state_.sheet, layout), "..AA");
}

// ---- Captions on the sheet ------------------------------------------------------------

int InkBelow(const Bitmap& sheet, const TPhotoSlot& s, int fontsize) {
    int ink = 0;
    const int top = s.cy + s.height / 2 + fontsize - fontsize / 2;
    for (int y = top; y < top + fontsize; ++y)
        for (int x = s.cx - 150; x < s.cx + 150; ++x) ink += sheet.Pixel(x, y) != kWhite;
    return ink;
}

TEST_F(Compose, CaptionsFollowTheMode) {
    TLayout layout = DefaultLayoutWith(2);
    fs::path list = fs::path(photoDir_) / "NameList.txt";
    {
        std::FILE* f = std::fopen(list.c_str(), "wb");
        const std::string text = Utf8ToCp932("IMG1.JPG,山田\r\nIMG2.JPG,\r\n");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    struct Case {
        const char* text;
        const char* photo;
        bool ink;
    };
    for (const Case& c :
         {Case{"FILENAME", "IMG1.JPG", true}, Case{"FILENAMELIST", "IMG1.JPG", true},
          Case{"FILENAMELIST", "IMG2.JPG", false}, Case{"FILENAMELIST", "IMG3.JPG", false},
          Case{"filename", "IMG1.JPG", false}, Case{"", "IMG1.JPG", false},
          Case{"FILENAME", ".JPG", false}}) {
        layout.paper.text = c.text;
        ASSERT_EQ(Run(layout, Bitmap(378, 496, kRed), c.photo), 0);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(InkBelow(state_.sheet, layout.slots[i], 40) > 0, c.ink)
                << c.text << " " << c.photo << " place " << i;
    }
}

// ---- Preview and background picture ------------------------------------------------

TEST(SheetPreview, ScaledToThePreviewHeight) {
    Bitmap preview;
    ASSERT_EQ(MakeSheetPreview(PortraitLike(1051, 1500), 712, preview), 0);
    EXPECT_EQ(preview.Width(), 498);
    EXPECT_EQ(preview.Height(), 712);
    // A sheet smaller than the preview cannot be reduced: it is stretched.
    const Bitmap small(50, 80, kRed);
    ASSERT_EQ(MakeSheetPreview(small, 712, preview), 0);
    EXPECT_EQ(preview, Bitmap(445, 712, kRed));
    EXPECT_EQ(MakeSheetPreview(Bitmap(), 712, preview), -1);
    EXPECT_EQ(MakeSheetPreview(small, 0, preview), -1);
}

TEST(BackgroundPicture, ReadByExtension) {
    TempFolder app;
    Bitmap back(20, 20, kGreen);
    EXPECT_EQ(LoadBackgroundPicture(app.Dir(), "", back), 0);
    EXPECT_EQ(LoadBackgroundPicture(app.Dir(), "missing.jpg", back), 0);
    EXPECT_EQ(back, Bitmap(20, 20, kGreen));  // kept for the next sheet

    ASSERT_EQ(EncodeJpegFile(app.Dir() + "back.JPG", Bitmap(40, 30, kRed), 95), 0);
    EXPECT_EQ(LoadBackgroundPicture(app.Dir(), "back.JPG", back), 0);
    EXPECT_EQ(back.Width(), 40);

    app.Write("broken.jpg", "not a picture");
    EXPECT_EQ(LoadBackgroundPicture(app.Dir(), "broken.jpg", back), 0);
    EXPECT_EQ(back.Width(), 1);

    app.Write("back.png", "whatever");
    back = Bitmap(20, 20, kGreen);
    EXPECT_EQ(LoadBackgroundPicture(app.Dir(), "back.png", back), kBackgroundBadExtension);
    EXPECT_EQ(back.Width(), 1);
}

}  // namespace
