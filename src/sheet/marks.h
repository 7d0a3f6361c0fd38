#pragma once
// The printer's marks on a fresh sheet: a centre cross for every place, the
// L-shaped corner marks at every place's finished size and a 5 cm scale at
// the bottom of the page. Lines are one pixel wide and black; every line
// leaves out its end point, as a pen's line-to does.
#include "layout/layout.h"
#include "platform/bitmap.h"

struct MarkOptions {
    bool centreMarks = true;  // settings "センタートンボ出力"
    bool cornerMarks = true;  // settings "コーナートンボ出力"
    bool scale = true;        // settings "目盛の出力"
};

// Sheet pixels of m millimetres at dpi: trunc(dpi * m * 10 / 254).
int MillimetresToPixels(int dpi, int millimetres);

// Draws, in this order and each only when asked for: the centre crosses
// (1.2 x the place, ends clamped to the sheet), the corner marks (arms of
// 5 mm pointing away from the finished rectangle) for all photo_ct places, and
// the scale (six 1 mm ticks standing on a 5 cm base line, centred across the
// page about 4 mm above its bottom edge). Anything
// outside the sheet is cut off; absurd place values draw nothing outside it.
void DrawCropMarks(Bitmap& sheet, const TLayout& layout, const MarkOptions& options);
