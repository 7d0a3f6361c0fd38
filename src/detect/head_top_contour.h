#pragma once
// Finding the top of the head from the outline of the head rather than from
// one reference colour.
//
// The face box ends at the brows, and the head above it may be hair of any
// colour, a hat or a bare scalp against any background. A fixed share of the
// box height misses tall hair and hats; a scan against the colour of one
// pixel beside the forehead fails when that pixel is hair, or when the
// background is dark or busy. Here the head is separated from the background
// in a reduced crop around it (a colour-model segmentation seeded by the
// face), and the head top is where the segmented head ends above the face.
#include <optional>

#include "platform/bitmap.h"

// What is known of the face: its box (right and bottom exclusive, bottom near
// the chin) and, when found, the chin row.
struct HeadTopFace {
    PixelRect box;
    std::optional<int> chinRow;
};

// How the head top is found.
enum class HeadTopMethod {
    kContour,     // the head's outline (FindHeadTopContour)
    kBackground,  // the scan against the colour beside the forehead
    kEstimate,    // a fixed share of the face box above its top
};

// The head-top row of `image` (the square working image) for `face`, at or
// above the face box's top; nothing when the image or the face box is empty
// or the head cannot be told from the background.
std::optional<int> FindHeadTopContour(const Bitmap& image, const HeadTopFace& face);

// The same outline taken from a simpler model: the colours of the upper
// corners and sides around the head stand for the background, and the head
// top is the first row above the face where they dominate the middle of the
// head. A colour counts as one of them within a step that follows the
// background's grain: a few levels on a studio's flat black, more on foliage.
// The outline consults it; kept public for measuring the two apart.
std::optional<int> FindHeadTopByBackgroundModel(const Bitmap& image, const HeadTopFace& face);
