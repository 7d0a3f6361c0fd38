// The framing pass against a fake library: which answer is believed, the
// second search's choice, the chin, the head box and the photo box, the
// failures and what each leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "detect/recognition_log.h"
#include "framing_fixture.h"
#include "platform/paths.h"

namespace {

// Head-top finders that ignore the picture.
int HeadTopAtFaceTop(int, int, int top, const Bitmap&, const HeadTopSettings&, HeadTopSample*) {
    return top;
}
int HeadTopOneAbove(int, int, int top, const Bitmap&, const HeadTopSettings&, HeadTopSample*) {
    return top - 1;
}

TEST_F(FramingPass, WorkedExampleGivesHeadBoxAndPhotoBox) {
    library.first = {0, {{400, 300, 600, 500}}};
    ASSERT_EQ(Run(), 0);
    EXPECT_FALSE(result.secondSearch);
    EXPECT_EQ(result.face, (PixelRect{400, 300, 600, 500}));
    EXPECT_EQ(result.headTop, 300);  // dark picture: no correction
    EXPECT_EQ(result.topO, 240);
    EXPECT_EQ(result.bottomO, 514);
    // S = 274 * 555 / 402 = 378; top 240 - 59 * 378 / 555; bottom 514 + 94 * 378 / 555.
    EXPECT_EQ(result.photoBox, (PixelRect{500 - 148, 200, 500 + 148, 578}));
    EXPECT_EQ(result.frameH, 378);
    EXPECT_EQ(result.frameW, 297);
    EXPECT_EQ(result.marker, FramingLogMarker::None);
    const std::vector<std::string> expected{"load",      "min 200 200", "face 0 3",
                                            "min 25 25", "chin 0 3",    "release"};
    EXPECT_EQ(library.calls, expected);
}

TEST_F(FramingPass, TemporaryImageIsAbsoluteAndRemoved) {
    library.first = {0, {{400, 300, 600, 500}}};
    ASSERT_EQ(Run(), 0);
    ASSERT_EQ(library.images.size(), 2u);
    EXPECT_TRUE(std::filesystem::path(library.images[0]).is_absolute());
    EXPECT_FALSE(FileExists(result.tempImagePath));
}

struct UpperHalfCase {
    int top;
    bool secondSearch;
};
class UpperHalf : public FramingPass, public ::testing::WithParamInterface<UpperHalfCase> {};

TEST_P(UpperHalf, CentreRowOnTheMiddleIsAccepted) {
    const int t = GetParam().top;
    library.first = {0, {{400, t, 600, t + 200}}};
    Run();
    EXPECT_EQ(result.secondSearch, GetParam().secondSearch) << "centre row " << t + 100;
}
INSTANTIATE_TEST_SUITE_P(Boundary, UpperHalf,
                         ::testing::Values(UpperHalfCase{400, false},  // centre 500 = H / 2
                                           UpperHalfCase{401, true}));

struct SecondSearchCase {
    const char* name;
    std::vector<PixelRect> candidates;
    PixelRect expected;
    int n;
};
class SecondSearch : public FramingPass, public ::testing::WithParamInterface<SecondSearchCase> {};

TEST_P(SecondSearch, NearestToTheMiddleColumnWins) {
    library.first = {0, {}};  // nothing: always searched again
    library.second = {0, GetParam().candidates};
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.face, GetParam().expected);
    EXPECT_EQ(result.n, GetParam().n);
    EXPECT_EQ(result.candidates, std::min<int>(10, GetParam().candidates.size()));
}

std::vector<PixelRect> TenFarThenPerfect() {
    std::vector<PixelRect> v(10, PixelRect{300, 300, 500, 500});  // centre column 400
    v.push_back({400, 300, 600, 500});                            // centre column 500: ignored
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SecondSearch,
    ::testing::Values(
        SecondSearchCase{"tie_first_listed",
                         {{350, 300, 550, 500}, {450, 300, 650, 500}},
                         {350, 300, 550, 500},
                         2},
        SecondSearchCase{
            "nearer_later", {{300, 300, 500, 500}, {420, 300, 620, 500}}, {420, 300, 620, 500}, 2},
        SecondSearchCase{"below_middle_skipped",
                         {{400, 450, 600, 650}, {300, 300, 500, 500}},
                         {300, 300, 500, 500},
                         2},
        SecondSearchCase{"too_large_skipped",
                         {{100, 100, 900, 900}, {300, 300, 500, 500}},
                         {300, 300, 500, 500},
                         2},
        SecondSearchCase{"only_ten_examined", TenFarThenPerfect(), {300, 300, 500, 500}, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FramingPass, SecondSearchWithoutWinnerKeepsTheFirstAnswer) {
    library.first = {0, {{100, 600, 300, 800}}};  // below the middle
    library.second = {0, {{100, 700, 300, 900}}};
    options.upperHalfOnly = true;
    Run();
    EXPECT_TRUE(result.secondSearch);
    EXPECT_EQ(result.face, (PixelRect{100, 600, 300, 800}));
    EXPECT_EQ(result.n, 1);
}

struct LibraryCodeCase {
    int first, second, code;
    FramingLogMarker marker;
};
class LibraryCodes : public FramingPass, public ::testing::WithParamInterface<LibraryCodeCase> {};

TEST_P(LibraryCodes, MinusSevenMeansNoFailure) {
    library.first = {GetParam().first, {}};
    library.second = {GetParam().second, {}};
    EXPECT_EQ(Run(), GetParam().code);
    EXPECT_EQ(result.marker, GetParam().marker);
    if (GetParam().code == kFrameLibraryFailed) {
        EXPECT_EQ(result.libraryCode, GetParam().first);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Table, LibraryCodes,
    ::testing::Values(LibraryCodeCase{-7, 0, kFrameNotDetected, FramingLogMarker::NotDetected},
                      LibraryCodeCase{-2, -7, kFrameNotDetected, FramingLogMarker::NotDetected},
                      LibraryCodeCase{-2, 0, kFrameLibraryFailed, FramingLogMarker::InternalError},
                      LibraryCodeCase{-2, -1, kFrameLibraryFailed,
                                      FramingLogMarker::InternalError}));

struct SizeCase {
    PixelRect face;
    int code;
};
class FaceSize : public FramingPass, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FaceSize, BothSidesMustExceedHalfForNoFace) {
    options.sizeCheck = false;
    library.first = {0, {GetParam().face}};
    EXPECT_EQ(Run(), GetParam().code);
}
INSTANTIATE_TEST_SUITE_P(
    Table, FaceSize,
    ::testing::Values(SizeCase{{250, 0, 750, 500}, 0},                    // exactly half both ways
                      SizeCase{{250, 0, 751, 500}, 0},                    // only wider
                      SizeCase{{250, 0, 751, 501}, kFrameNotDetected},    // both over half
                      SizeCase{{0, 0, 0, 0}, kFrameNotDetected},          // all zero
                      SizeCase{{400, 300, 600, 300}, kFrameNotDetected},  // zero height
                      SizeCase{{600, 300, 400, 500}, kFrameNotDetected}));  // reversed sides

TEST_F(FramingPass, HeadTopAtTheFaceTopIsNoCorrection) {
    options.findChin = false;
    options.headTopFinder = HeadTopAtFaceTop;
    library.first = {0, {{400, 300, 600, 500}}};
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.headBox, (PixelRect{400, 240, 600, 514}));
    EXPECT_EQ(result.bottomC, result.bottomO);
}

TEST_F(FramingPass, HeadTopAboveTheFaceStretchesTheBottom) {
    options.findChin = false;
    options.headTopFinder = HeadTopOneAbove;
    library.first = {0, {{400, 300, 600, 500}}};
    ASSERT_EQ(Run(), 0);
    // mid 400: bottom = 400 + 114 * 101 / 160
    EXPECT_EQ(result.headBox, (PixelRect{400, 299, 600, 400 + 114 * 101 / 160}));
    EXPECT_EQ(result.bottomC, 471);
}

struct ChinCase {
    PixelRect chin;
    int chins;
    int chinLine;
};
class ChinRow : public FramingPass, public ::testing::WithParamInterface<ChinCase> {};

TEST_P(ChinRow, ChinAboveTheFaceBottomIsDiscarded) {
    library.first = {0, {{400, 300, 600, 500}}};
    library.chinAnswer = {0, {GetParam().chin}};
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(result.y0, 400);
    EXPECT_EQ(result.chins, GetParam().chins);
    EXPECT_EQ(result.chinLine, GetParam().chinLine);
}
INSTANTIATE_TEST_SUITE_P(Boundary, ChinRow,
                         ::testing::Values(ChinCase{{90, 99, 110, 101}, 1, 500},  // centre row B
                                           ChinCase{{90, 98, 110, 100}, 0, 514},  // one higher
                                           ChinCase{{90, 150, 110, 160}, 1, 555}));

TEST_F(FramingPass, ChinStripNearTheBottomEdgeStartsOneFaceAboveIt) {
    library.first = {0, {{400, 300, 600, 500}}};
    square = Bitmap(1000, 1000, kBlack);
    options.upperHalfOnly = false;
    library.first = {0, {{450, 420, 550, 520}}};  // B + fh / 2 = 570 <= 1000: y0 = 470
    Run();
    EXPECT_EQ(result.y0, 470);
    library.first = {0, {{450, 900, 550, 980}}};
    Run();
    EXPECT_EQ(result.y0, 1000 - 80);
}

TEST_F(FramingPass, FaceIsSavedBeforeTheSizeCheckFails) {
    options.saveFace = true;
    options.upperHalfOnly = false;
    library.first = {0, {{260, 20, 740, 500}}};  // frame over 90 %: rejected, nothing better found
    EXPECT_EQ(Run(), kFrameNotDetected);
    EXPECT_EQ(result.marker, FramingLogMarker::FalseDetection);
    const std::string folder = photos.Dir() + "認識画像/";
    EXPECT_TRUE(FileExists(folder + "photo.jpg"));
    std::string list;
    ASSERT_TRUE(ReadFileBytes(folder + kPositiveListName, list));
    EXPECT_EQ(list, "positive/photo.jpg 1 0 0 480 480\r\n");
}

TEST_F(FramingPass, TooLargeUnattendedHasItsOwnCode) {
    options.unattended = true;
    library.first = {0, {{260, 20, 740, 500}}};
    EXPECT_EQ(Run(), kFrameTooLargeUnattended);
    EXPECT_EQ(FramingMessage(result, true), "");
}

TEST_F(FramingPass, MissingCascadeStopsBeforeTheLibrary) {
    std::filesystem::remove(app.Path() / kFaceCascadeName);
    EXPECT_EQ(Run(), kFrameNoCascade);
    EXPECT_TRUE(library.calls.empty());
}

// The working file is coded while the library loads; when it cannot be
// written nothing is searched, the library is released, and the file's
// failure is the one reported, also when the library failed as well.
TEST_F(FramingPass, UnwritableTemporaryImage) {
    options.tempImagePath = app.Dir() + "no/such/folder/t.jpg";
    for (const int loadCode : {0, -3, -6}) {
        library.calls.clear();
        library.loadCode = loadCode;
        EXPECT_EQ(Run(), kFrameTempNotWritten) << loadCode;
        const std::vector<std::string> calls = loadCode == 0
                                                   ? std::vector<std::string>{"load", "release"}
                                                   : std::vector<std::string>{"load"};
        EXPECT_EQ(library.calls, calls) << loadCode;
        EXPECT_FALSE(library.loaded) << loadCode;
    }
}

class LoadFailure : public FramingPass, public ::testing::WithParamInterface<int> {};
TEST_P(LoadFailure, EndsThePassWithTheLibrarysCode) {
    library.loadCode = GetParam();
    EXPECT_EQ(Run(), GetParam());
    EXPECT_EQ(library.calls, std::vector<std::string>{"load"});
    EXPECT_FALSE(FramingMessage(result, true).empty());  // shown even unattended
}
INSTANTIATE_TEST_SUITE_P(Codes, LoadFailure, ::testing::Values(-3, -4, -5, -6));

TEST_F(FramingPass, ExceptionInTheLibraryReleasesIt) {
    library.throwOnDetect = true;
    EXPECT_EQ(Run(), kFaceLibraryException);
    EXPECT_FALSE(library.loaded);
    EXPECT_EQ(FramingMessage(result, false), "DLLの読み込みに失敗しました。");
    EXPECT_FALSE(FileExists(result.tempImagePath));
}

TEST_F(FramingPass, LayoutThatCannotFrameIsNoFace) {
    layout.slots[0].hny = 300;
    layout.slots[0].bny = 255;  // height 555 = hny + bny
    library.first = {0, {{400, 300, 600, 500}}};
    EXPECT_EQ(Run(), kFrameNotDetected);
    EXPECT_EQ(result.marker, FramingLogMarker::NotDetected);
}

TEST_F(FramingPass, WaitsAndStatusTexts) {
    std::vector<int> waits;
    std::vector<std::string> texts;
    hooks.wait = [&](int ms) { waits.push_back(ms); };
    hooks.status = [&](const std::string& t) { texts.push_back(t); };
    options.saveFace = true;
    library.first = {0, {}};
    library.second = {0, {{400, 300, 600, 500}}};
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(waits, (std::vector<int>{500, 50}));
    EXPECT_EQ(texts, std::vector<std::string>{kStatusRecognisingAgain});
}

TEST(FramingMessages, TextsOfTheFailureTable) {
    FramingResult r;
    r.code = kFrameLibraryFailed;
    r.marker = FramingLogMarker::InternalError;
    r.libraryCode = -5;
    EXPECT_EQ(FramingMessage(r, false), "自動認識処理が失敗しました。(-5)");
    EXPECT_EQ(FramingMessage(r, true), "");
    r.code = kFrameNotDetected;
    r.marker = FramingLogMarker::FalseDetection;
    EXPECT_EQ(FramingMessage(r, false),
              "自動顔認識処理では認識出来ませんでした。（サイズ過大による誤検出判定）");
    r.code = kFrameFaceNotSaved;
    r.marker = FramingLogMarker::None;
    EXPECT_EQ(FramingMessage(r, true), "ファイルの保存に失敗しました。");
    EXPECT_EQ(FramingLogMarkerText(FramingLogMarker::InternalError),
              "  自動顔認識エラー（内部エラー）:  ");
    EXPECT_EQ(FramingLogMarkerText(FramingLogMarker::NotDetected), "  自動顔認識エラー(非検出):  ");
    EXPECT_EQ(FramingLogMarkerText(FramingLogMarker::FalseDetection),
              "  自動顔認識エラー(誤検出):  ");
}

}  // namespace
