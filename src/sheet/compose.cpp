// Sheet composition. The order of the steps is what the user sees on paper:
// white, background, marks, then each place's photo and caption in index
// order, so a photo covers the marks under it and a later photo may cover an
// earlier caption.
#include "sheet/compose.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "imaging/reduce.h"
#include "imaging/rotate.h"
#include "imaging/sharpen.h"
#include "platform/jpeg.h"
#include "platform/paths.h"
#include "sheet/caption.h"
#include "sheet/save.h"

const char* const kMsgEnlarge =
    "選択範囲が出力先サイズより小さいので拡大されます。\n画質が悪くなる可能性があります。\n中断"
    "しますか？";
const char* const kMsgBackgroundError = "背景画像サイズエラー(エラーコード):";
const char* const kMsgReductionFailed = "縮小に失敗しました。中断しますか？";
const char* const kMsgSaved = "保存しました。";
const char* const kStatusSaved = "保存しました。:";
const char* const kMsgBackgroundExtension =
    "背景画像には.jpgまたは.bmpファイルを指定してください。";

namespace {

// A background counts only when it is more than a placeholder.
constexpr int kBackgroundMinSide = 10;

int PlacesInUse(const TPaperInfo& paper) {
    return std::clamp(paper.photo_ct, 0, kMaxPhotoSlots);
}

bool OnePersonPerSheet(const TPaperInfo& paper) {
    return paper.photo_ct_per_person == paper.photo_ct;
}

bool BelongsToPerson(const TPaperInfo& paper, int slot, int place) {
    if (OnePersonPerSheet(paper)) return true;
    return place >= slot && static_cast<long long>(place) < 1LL * slot + paper.photo_ct_per_person;
}

// Rotation of a place in tenths of a degree. The file gives degrees as a
// float; rounding keeps 2.3 at 23 tenths, where truncating its binary value
// would give 22.
int PlaceAngle(float degrees) {
    const double tenths = std::round(static_cast<double>(degrees) * 10.0);
    return static_cast<int>(std::clamp(tenths, -3600000.0, 3600000.0));
}

bool UnattendedSkip(const SheetOptions& o) {
    return o.batchMode && o.autoContinuous && o.skipUnrecognised;
}

// White, the background when there is one, the marks. Returns the
// background reduction's code (0 when there was none to reduce).
int StartFreshSheet(const TLayout& layout, const SheetOptions& o, const Bitmap& back,
                    SheetState& state, IDialogs& dialogs, const YieldFn& yield) {
    const TPaperInfo& paper = layout.paper;
    state.sheet.SetSize(paper.width, paper.height, kWhite);
    int status = 0;
    if (!paper.bg_img_name.empty() && back.Width() > kBackgroundMinSide &&
        back.Height() > kBackgroundMinSide) {
        std::string reason;
        status = ReduceHighQuality(back, state.sheet, paper.width, paper.height, reason, yield);
        if (status != 0) dialogs.ShowMessage(kMsgBackgroundError + std::to_string(status), o.title);
    }
    DrawCropMarks(state.sheet, layout, o.marks);
    return status;
}

// The place's photo in state.cell at the place's size: reduced, or when the
// reduction refuses (enlargement, other aspect, sizes beyond its limits)
// stretched whole, distorted if need be; then sharpened and turned.
void MakePlacePhoto(const Bitmap& trim, const TPhotoSlot& place, const SheetOptions& o,
                    SheetState& state, const YieldFn& yield) {
    std::string reason;  // the reduction sizes and writes the whole cell itself
    if (ReduceHighQuality(trim, state.cell, place.width, place.height, reason, yield) != 0) {
        state.cell.SetSize(place.width, place.height, kWhite);
        StretchDraw(trim, state.cell);
    }
    if (o.sharpen) SharpenBitmap(state.cell, yield);
    if (place.r != 0.0f) {
        state.cellRot.SetSize(state.cell.Width(), state.cell.Height(), kWhite);
        if (RotateBitmap(state.cell, state.cellRot, PlaceAngle(place.r), yield) == 0) {
            state.cell.Fill(kWhite);
            Draw(state.cellRot, state.cell, 0, 0);
        }
    }
}

bool SamePhoto(const TPhotoSlot& a, const TPhotoSlot& b) {
    return a.width == b.width && a.height == b.height && a.r == b.r;
}

void DrawCaption(const TPaperInfo& paper, const TPhotoSlot& place, const std::string& caption,
                 Bitmap& sheet) {
    const long long y = 1LL * place.cy + place.height / 2 + paper.fontsize;
    DrawSheetText(sheet, std::max(place.cx, 0),
                  static_cast<int>(std::clamp<long long>(y, 0, 0x7FFFFFFF)), caption,
                  paper.fontsize, paper.font);
}

}  // namespace

SaveOptions SaveOptionsFor(const TLayout& layout, const SheetOptions& o,
                           const std::string& photoPath) {
    SaveOptions s;
    s.saveFolder = o.saveFolder;
    s.photoDir = o.photoDir;
    s.photoPath = photoPath;
    s.quality = o.quality;
    s.dpi = layout.paper.dpi;
    s.photoCount = layout.paper.photo_ct;
    s.photosPerPerson = layout.paper.photo_ct_per_person;
    return s;
}

int ViewToWorking(int v, int side, int viewWidth) {
    if (viewWidth <= 0) return 0;
    const long long w = 1LL * v * side * 10 / viewWidth;
    return static_cast<int>(w / 10 + (w % 10 >= 5 ? 1 : 0));
}

int CropTrimmedPhoto(const Bitmap& source, const ViewFrame& frame, int viewWidth, Bitmap& trim) {
    const int side = source.Width();
    if (viewWidth <= 0 || source.Empty()) {
        trim.SetSizeForOverwrite(0, 0);
        return -1;
    }
    const int left = ViewToWorking(std::max(frame.left, 0), side, viewWidth);
    const int top = ViewToWorking(std::max(frame.top, 0), side, viewWidth);
    const int width = std::max(ViewToWorking(frame.width, side, viewWidth), 0);
    const int height = std::max(ViewToWorking(frame.height, side, viewWidth), 0);
    const int right = std::min(left + width, source.Width());
    const int bottom = std::min(top + height, source.Height());
    const PixelRect strip{left, top, right, bottom};
    if (strip.Width() <= 0 || strip.Height() <= 0) {  // wholly outside: black
        trim.SetSize(width, height, kBlack);
        return 0;
    }
    trim.SetSizeForOverwrite(width, height);  // the copy or the stretch covers every pixel
    if (strip.Width() == width && strip.Height() == height)
        CopyRect(source, strip, trim, 0, 0);
    else
        StretchDraw(source, strip, trim, {0, 0, width, height});
    return 0;
}

PlaceSize LargestPlace(const TLayout& layout) {
    PlaceSize size;
    for (int i = 0; i < PlacesInUse(layout.paper); ++i) {
        size.width = std::max(size.width, layout.slots[i].width);
        size.height = std::max(size.height, layout.slots[i].height);
    }
    return size;
}

bool StartsFreshSheet(const TPaperInfo& paper, int slot) {
    return OnePersonPerSheet(paper) || slot == 0;
}

bool FillsSheet(const TPaperInfo& paper, int slot) {
    return OnePersonPerSheet(paper) || 1LL * slot + paper.photo_ct_per_person >= paper.photo_ct;
}

int NextSheetSlot(const TPaperInfo& paper, int slot) {
    const long long next = 1LL * slot + paper.photo_ct_per_person;
    return next >= paper.photo_ct ? 0 : static_cast<int>(next);
}

namespace {

int ComposeSteps(const TLayout& layout, const SheetOptions& options, const Bitmap& trim,
                 const Bitmap& back, const std::string& photoPath, SheetState& state,
                 IDialogs& dialogs, ComposeReport& r, const YieldFn& yield) {
    const TPaperInfo& paper = layout.paper;

    const PlaceSize largest = LargestPlace(layout);
    if (trim.Width() < largest.width || trim.Height() < largest.height) {
        if (UnattendedSkip(options)) return kComposeStopped;
        if (dialogs.AskYesNo(kMsgEnlarge, options.title)) return kComposeStopped;
    }

    // A sheet of another size (the layout changed while a sheet was shared)
    // cannot take this person's places: it is started afresh.
    const bool otherSize =
        state.sheet.Width() != paper.width || state.sheet.Height() != paper.height;
    // The background's refusal stands as the reduction status until a place
    // is drawn; only a call that draws nothing can still ask about it below.
    int status = 0;
    if (StartsFreshSheet(paper, state.slot) || otherSize) {
        status = StartFreshSheet(layout, options, back, state, dialogs, yield);
        r.fresh = true;
    }

    const CaptionMode mode = CaptionModeOf(paper.text);
    const NameList names =
        mode == CaptionMode::FileNameList ? LoadNameList(FolderOf(photoPath)) : NameList{};
    const std::string caption = CaptionFor(mode, photoPath, names);
    const SaveOptions save = SaveOptionsFor(layout, options, photoPath);

    const TPhotoSlot* made = nullptr;  // the place whose photo state.cell holds
    // The trimmed photo is saved after every place filled, always under the
    // same name, so the file ends up holding the last place's photo. Places
    // sharing one photo would write the same bytes again (and flush them to
    // the disk again): the file is written once for each photo made.
    bool cellSaved = false;
    for (int i = 0; i < PlacesInUse(paper); ++i) {
        if (!BelongsToPerson(paper, state.slot, i)) continue;
        const TPhotoSlot& place = layout.slots[i];
        // Places of one size and turn get the same photo: made once per call.
        if (!made || !SamePhoto(*made, place)) {
            MakePlacePhoto(trim, place, options, state, yield);
            cellSaved = false;
        }
        made = &place;
        Draw(state.cell, state.sheet, place.cx - place.width / 2, place.cy - place.height / 2);
        status = 0;
        if (mode != CaptionMode::None) DrawCaption(paper, place, caption, state.sheet);
        ++r.filled;
        if (options.saveTrimmed) {
            if (yield) yield();
            std::string written;
            if (!cellSaved && SaveTrimmedPhoto(state.cell, save, nullptr, {}, &written) == 0) {
                r.trimmedPath = written;
                cellSaved = true;
            }
        }
    }

    if (status != 0 && status != kReduceEnlargement &&
        dialogs.AskYesNo(kMsgReductionFailed, options.title))
        return kComposeStopped;

    if (FillsSheet(paper, state.slot)) {
        if (SaveSheet(state.sheet, save, dialogs, options.title, &r.sheetPath) != 0)
            return kComposeSaveFailed;
        r.saved = true;
    }
    return 0;
}

}  // namespace

int ComposeSheet(const TLayout& layout, const SheetOptions& options, const Bitmap& trim,
                 const Bitmap& back, const std::string& photoPath, SheetState& state,
                 IDialogs& dialogs, ComposeReport* report, const YieldFn& yield) {
    ComposeReport local;
    ComposeReport& r = report ? *report : local;
    r = {};
    // The layout's sizes are whatever its file held: a sheet or place too
    // large for memory is a result, not a crash.
    try {
        return ComposeSteps(layout, options, trim, back, photoPath, state, dialogs, r, yield);
    } catch (const std::bad_alloc&) {
        return kComposeNoMemory;
    } catch (const std::length_error&) {  // more pixels than an address space holds
        return kComposeNoMemory;
    }
}

int MakeSheetPreview(const Bitmap& sheet, int previewHeight, Bitmap& preview,
                     const YieldFn& yield) {
    if (sheet.Empty() || previewHeight <= 0) {
        preview.SetSizeForOverwrite(0, 0);
        return -1;
    }
    const int width = static_cast<int>(1LL * sheet.Width() * previewHeight / sheet.Height());
    std::string reason;
    try {
        if (ReduceHighQuality(sheet, preview, width, previewHeight, reason, yield) != 0) {
            preview.SetSize(width, previewHeight, kWhite);
            StretchDraw(sheet, preview);
        }
    } catch (const std::bad_alloc&) {
        preview.SetSizeForOverwrite(0, 0);
        return -1;
    }
    return 0;
}

int LoadBackgroundPicture(const std::string& appDir, const std::string& name, Bitmap& back) {
    if (name.empty()) return 0;
    const std::string path = appDir + name;
    if (!FileExists(path)) return 0;
    back.SetSize(1, 1, kBlack);
    std::string extension = name.substr(std::min(name.rfind('.'), name.size()));
    for (char& c : extension)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (extension == ".JPG") {
        if (DecodeJpegFile(path, back) != 0) back.SetSize(1, 1, kBlack);
        return 0;
    }
    if (extension == ".BMP") {
        std::string bytes;
        QImage image;
        if (!ReadFileBytes(path, bytes) ||
            !image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                static_cast<int>(bytes.size()), "BMP"))
            return 0;
        image = image.convertToFormat(QImage::Format_BGR888);
        back.SetSizeForOverwrite(image.width(), image.height());
        for (int y = 0; y < image.height(); ++y)
            std::copy_n(image.constScanLine(y), back.Stride(), back.Row(y));
        return 0;
    }
    return kBackgroundBadExtension;
}
