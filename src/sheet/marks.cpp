// Crop marks and the scale. Every mark is an axis-parallel segment, so the
// segments are clipped to the sheet before any pixel is visited: a layout
// with absurd values costs no more than the sheet's own size.
#include "sheet/marks.h"

#include <algorithm>
#include <cstdint>

namespace {

// Coordinates in 64 bits: layout values are whatever the file held.
using Coord = std::int64_t;

// Pixels from `from` towards `to` on row y, `to` itself left out.
void HorizontalLine(Bitmap& sheet, Coord from, Coord to, Coord y) {
    if (from == to || y < 0 || y >= sheet.Height()) return;
    Coord lo = from < to ? from : to + 1;
    Coord hi = from < to ? to - 1 : from;
    lo = std::max<Coord>(lo, 0);
    hi = std::min<Coord>(hi, sheet.Width() - 1);
    if (lo > hi) return;
    sheet.FillRect({int(lo), int(y), int(hi + 1), int(y + 1)}, kBlack);
}

// Pixels from `from` towards `to` in column x, `to` itself left out.
void VerticalLine(Bitmap& sheet, Coord x, Coord from, Coord to) {
    if (from == to || x < 0 || x >= sheet.Width()) return;
    Coord lo = from < to ? from : to + 1;
    Coord hi = from < to ? to - 1 : from;
    lo = std::max<Coord>(lo, 0);
    hi = std::min<Coord>(hi, sheet.Height() - 1);
    if (lo > hi) return;
    sheet.FillRect({int(x), int(lo), int(x + 1), int(hi + 1)}, kBlack);
}

int PlacesInUse(const TLayout& layout) {
    return std::clamp(layout.paper.photo_ct, 0, kMaxPhotoSlots);
}

// The cross is 1.2 times the place, so it shows 10 % beyond each edge of the
// photo that later covers its middle.
void DrawCentreMark(Bitmap& sheet, const TPhotoSlot& s) {
    const Coord W = sheet.Width(), H = sheet.Height();
    const Coord hw = (Coord(s.width) * 6 / 5) / 2, hh = (Coord(s.height) * 6 / 5) / 2;
    const Coord x1 = std::max<Coord>(s.cx - hw, 0), x2 = std::min<Coord>(s.cx + hw, W);
    const Coord y1 = std::max<Coord>(s.cy - hh, 0), y2 = std::min<Coord>(s.cy + hh, H);
    HorizontalLine(sheet, x1, x2, s.cy);
    VerticalLine(sheet, s.cx, y1, y2);
}

// One L: the horizontal arm ends at the corner, the vertical arm starts there,
// so the corner pixel belongs to the vertical arm. The outer y is left
// unclamped: an arm aiming above the sheet is simply cut off.
void DrawCorner(Bitmap& sheet, Coord outerX, Coord cornerX, Coord cornerY, Coord outerY) {
    outerX = std::max<Coord>(outerX, 0);
    cornerX = std::min<Coord>(cornerX, sheet.Width());
    cornerY = std::max<Coord>(cornerY, 0);
    HorizontalLine(sheet, outerX, cornerX, cornerY);
    VerticalLine(sheet, cornerX, cornerY, outerY);
}

void DrawCornerMarks(Bitmap& sheet, const TPhotoSlot& s, Coord arm) {
    const Coord hwi = s.widthIn / 2, hhi = s.heightIn / 2;
    const Coord left = s.cx - hwi, right = s.cx + hwi, top = s.cy - hhi, bottom = s.cy + hhi;
    DrawCorner(sheet, left - arm, left, top, top - arm);
    DrawCorner(sheet, right + arm, right, top, top - arm);
    DrawCorner(sheet, left - arm, left, bottom, bottom + arm);
    DrawCorner(sheet, right + arm, right, bottom, bottom + arm);
}

void DrawScale(Bitmap& sheet, int dpi) {
    const Coord t = MillimetresToPixels(dpi, 1), u = MillimetresToPixels(dpi, 10);
    const Coord yTop = sheet.Height() - u / 2, yBase = yTop + t;
    const Coord x0 = (sheet.Width() - 5 * u) / 2;
    for (int k = 0; k <= 5; ++k) VerticalLine(sheet, x0 + k * u, yTop, yBase);
    HorizontalLine(sheet, x0, x0 + 5 * u, yBase);
}

}  // namespace

int MillimetresToPixels(int dpi, int millimetres) {
    return static_cast<int>(std::int64_t(dpi) * millimetres * 10 / 254);
}

void DrawCropMarks(Bitmap& sheet, const TLayout& layout, const MarkOptions& options) {
    const int places = PlacesInUse(layout);
    if (options.centreMarks)
        for (int i = 0; i < places; ++i) DrawCentreMark(sheet, layout.slots[i]);
    if (options.cornerMarks) {
        const Coord arm = MillimetresToPixels(layout.paper.dpi, 5);
        for (int i = 0; i < places; ++i) DrawCornerMarks(sheet, layout.slots[i], arm);
    }
    if (options.scale) DrawScale(sheet, layout.paper.dpi);
}
