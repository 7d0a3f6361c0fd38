#pragma once
// Composing print sheets: the trimmed photo cut out of the square working
// image, and the sheet made of it at this person's places of the layout, on
// the background, with marks, scale and captions; a full sheet is saved.
// Nothing here touches a window: options come in a struct, questions and
// messages go through IDialogs, the preview is made by the caller from the
// sheet (MakeSheetPreview).
#include <string>

#include "layout/layout.h"
#include "platform/bitmap.h"
#include "platform/host.h"
#include "sheet/marks.h"
#include "sheet/save.h"

// ---- The trimmed photo ----------------------------------------------------

// The crop frame within the photo view, in view pixels.
struct ViewFrame {
    int left = 0, top = 0, width = 0, height = 0;
};

// A view length in working-image pixels: w = trunc(v * side * 10 / viewWidth),
// then w / 10, plus 1 when the tenths are 5 or more.
int ViewToWorking(int v, int side, int viewWidth);

// Fills `trim` with the frame's content of the square working image `source`
// (side = its width), the frame converted by ViewToWorking (negative left and
// top taken as 0). Where the frame reaches past the right or bottom edge the
// shorter strip is stretched to the converted size; a frame wholly outside
// gives black. 0, or -1 (trim emptied) when there is no view or no image.
int CropTrimmedPhoto(const Bitmap& source, const ViewFrame& frame, int viewWidth, Bitmap& trim);

// ---- The sheet --------------------------------------------------------------

struct SheetOptions {
    bool sharpen = true;            // main "シャープ処理を行う"
    bool batchMode = false;         // a folder is being worked through
    bool autoContinuous = false;    // main "自動連続処理を行う"
    bool skipUnrecognised = false;  // settings "自動認識出来ないのをスキップ"
    MarkOptions marks;              // settings: centre marks, corner marks, scale
    bool saveTrimmed = true;        // settings "トリミング画像も保存する"
    int quality = 90;               // settings "Jpeg画質", 0..100
    std::string saveFolder;         // the save-folder field; "" = below the photo's folder
    std::string photoDir;           // the current photo's folder, with separator
    std::string title;              // caption of every message box
};

// What survives between calls: the sheet several persons share, the first
// place of the next person, and the scratch pictures of one place.
struct SheetState {
    Bitmap sheet;    // FSheetBmp
    int slot = 0;    // FSheetSlot: advanced by the caller (NextSheetSlot), never by ComposeSheet
    Bitmap cell;     // one place's photo (FCellBmp)
    Bitmap cellRot;  // its rotation scratch (FCellRotBmp)
};

// Results of ComposeSheet.
constexpr int kComposeStopped = -1;     // the user stopped it, or the photo was skipped
constexpr int kComposeSaveFailed = -4;  // the full sheet could not be written (message shown)
constexpr int kComposeNoMemory =
    -11;  // the sheet or a place is too large for memory (nothing shown)

struct ComposeReport {
    bool fresh = false;       // a fresh sheet was started
    int filled = 0;           // places filled by this call
    bool saved = false;       // the sheet was full and written
    std::string sheetPath;    // where, when saved
    std::string trimmedPath;  // the trimmed photo last written; "" when none
};

// Texts.
extern const char* const kMsgEnlarge;  // the size-check question
extern const char* const kMsgBackgroundError;  // "背景画像サイズエラー(エラーコード):" + code
extern const char* const kMsgReductionFailed;  // "縮小に失敗しました。中断しますか？"
extern const char* const kMsgSaved;            // "保存しました。"
extern const char* const kStatusSaved;         // "保存しました。:" + path

// The largest place width and height over all photo_ct places.
struct PlaceSize {
    int width = 0, height = 0;
};
PlaceSize LargestPlace(const TLayout& layout);

// Whether a call starting at `slot` begins a fresh sheet, and whether it
// leaves the sheet full.
bool StartsFreshSheet(const TPaperInfo& paper, int slot);
bool FillsSheet(const TPaperInfo& paper, int slot);
// The slot after a call, whatever its result: slot + photo_ct_per_person,
// back to 0 once it reaches photo_ct.
int NextSheetSlot(const TPaperInfo& paper, int slot);

// How a sheet of this layout is saved for the photo `photoPath`.
SaveOptions SaveOptionsFor(const TLayout& layout, const SheetOptions& options,
                           const std::string& photoPath);

// Composes the trimmed photo `trim` of the photo `photoPath` into this
// person's places (state.slot onwards) of state.sheet:
//  1. a trim smaller than the largest place is skipped (kComposeStopped,
//     nothing drawn) in an unattended run (batchMode, autoContinuous and
//     skipUnrecognised), else kMsgEnlarge is asked: Yes stops;
//  2. a fresh sheet when due: white, the background `back` reduced onto it
//     when the layout names one and it is over 10 x 10 (a refusal shows
//     kMsgBackgroundError with its code), then the marks;
//  3. each place: reduced (or, when the reduction refuses, stretched), sharpened,
//     turned by the place's rotation, copied onto the sheet, captioned, and
//     saved as the trimmed photo when asked (yield runs before each save);
//  4. a full sheet is saved (kComposeSaveFailed when it cannot be).
// Captions are drawn as DrawSheetText draws them: a program without windows
// needs a QGuiApplication (offscreen) for them.
// Returns 0, kComposeStopped, kComposeSaveFailed or kComposeNoMemory (the
// caller shows its out-of-memory message). After 0 the caller shows
// the preview, and when report.saved the status kStatusSaved + path and,
// outside batch mode, kMsgSaved.
int ComposeSheet(const TLayout& layout, const SheetOptions& options, const Bitmap& trim,
                 const Bitmap& back, const std::string& photoPath, SheetState& state,
                 IDialogs& dialogs, ComposeReport* report = nullptr, const YieldFn& yield = {});

// The preview of a sheet `previewHeight` high and trunc(width * previewHeight /
// height) wide: the high-quality reduction, or the plain stretch when that
// refuses. 0, or -1 (preview emptied) for an empty sheet or height.
int MakeSheetPreview(const Bitmap& sheet, int previewHeight, Bitmap& preview,
                     const YieldFn& yield = {});

// ---- The background picture -------------------------------------------------

constexpr int kBackgroundBadExtension = -1;
extern const char* const
    kMsgBackgroundExtension;  // "背景画像には.jpgまたは.bmpファイルを指定してください。"

// Loads the layout's background picture `name` from the program folder into
// `back` when the name is set and the file exists: ".jpg" and ".bmp" (any
// case) are read, a picture that cannot be read leaves `back` 1 x 1 (no
// picture). Another extension gives kBackgroundBadExtension with `back` 1 x 1.
// An empty name or a missing file leaves `back` as it was. 0 otherwise.
int LoadBackgroundPicture(const std::string& appDir, const std::string& name, Bitmap& back);
