#pragma once
// Captions under the photos on a sheet: the mode chosen by the layout's
// `text`, the name list "NameList.txt" kept beside the photos, and drawing one
// caption line centred on a point of the sheet.
#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmap.h"

enum class CaptionMode {
    None,          // any other `text`, also empty or in another case
    FileName,      // "FILENAME": the photo's file name up to its first "."
    FileNameList,  // "FILENAMELIST": the name list's text for the photo's file name
};
// Exact, case-sensitive comparison.
CaptionMode CaptionModeOf(const std::string& text);

// The photo's file name without folder, cut before its first "."; "" when the
// name starts with "." or has no "." at all.
std::string FileNameCaption(const std::string& photoPath);

struct NameListEntry {
    std::string fileName;  // field 1, UTF-8
    std::string caption;   // field 2, UTF-8, possibly empty
};
using NameList = std::vector<NameListEntry>;

constexpr char kNameListFile[] = "NameList.txt";

// The fields of one line: a comma ends a field, so does any byte 1..32
// outside quotes (such bytes at the line's start and around a comma are
// skipped); a field may be quoted, a doubled quote inside standing for one;
// with `cp932` a double-byte character is always taken whole. Fields are
// returned as the bytes of the line (not converted).
std::vector<std::string> SplitNameListLine(std::string_view line, bool cp932 = true);
// Entries of a whole file's bytes (CP932; UTF-8 when it starts with a UTF-8
// byte-order mark), in file order; lines with fewer than two fields are left
// out. Lines end at CR LF, CR or LF.
NameList ParseNameList(std::string_view bytes);
// The name list in `photoDir` (which ends with a separator); empty when the
// file is missing or unreadable.
NameList LoadNameList(const std::string& photoDir);
// The caption of the first entry whose file name equals `fileName` byte for
// byte; "" when there is none (or its caption is empty).
std::string NameListCaption(const NameList& list, const std::string& fileName);

// The caption of the current photo in `mode` ("" = nothing to draw). The
// name list is only consulted in the FileNameList mode.
std::string CaptionFor(CaptionMode mode, const std::string& photoPath, const NameList& list);

// At most maxBytes bytes of the text as the sheet's Shift-JIS would count
// them (one byte for ASCII and half-width katakana, two for every other
// character), cut between characters, never inside one.
constexpr int kCaptionMaxBytes = 198;
std::string CutCaption(const std::string& text, int maxBytes = kCaptionMaxBytes);

// The font of a caption: `face`, or an installed Japanese Gothic face when the
// named face is not installed (layouts name Windows faces such as
// "ＭＳ ゴシック"); regular style; the pixel size chosen so that the font's
// cell height (ascent + descent) is `size` pixels.
// Draws `text` (cut by CutCaption) in black with a transparent background,
// centred horizontally on x, its cell centred vertically on y: the box is
// left = x - w / 2, top = y - size / 2, w wide and size high (w the text's
// width), and nothing outside it is touched. Nothing is drawn for an empty
// text or size <= 0. Needs a QGuiApplication (QT_QPA_PLATFORM=offscreen
// serves a program without windows); returns 0 when drawn or nothing was to
// be drawn, -1 when there is no application to draw text with.
int DrawSheetText(Bitmap& sheet, int x, int y, const std::string& text, int size,
                  const std::string& face);

// The face a caption in `face` is really drawn with, and the cell height
// (ascent + descent) of the font DrawSheetText picks for `size`. Need a
// QGuiApplication like DrawSheetText.
std::string CaptionFontFamily(const std::string& face);
int CaptionCellHeight(const std::string& face, int size);

// The box DrawSheetText uses for a text `width` pixels wide.
PixelRect SheetTextBox(int x, int y, int width, int size);
