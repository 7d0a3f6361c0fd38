#include "cli/photo_geometry.h"

#include <algorithm>

namespace {

bool Transposed(const PhotoGeometry& g) {
    return g.orientation >= 5 && g.orientation <= 8;
}

long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// v square pixels past the padding `offset`, scaled from `work` to `full`
// pixels: (v - offset) * full / work, to the nearest, halves up.
int Scale(int v, int offset, int work, int full) {
    if (work <= 0) return v - offset;
    const long long n = 2LL * (v - offset) * full + work;
    return static_cast<int>(FloorDiv(n, 2LL * work));
}

int Side(const PhotoGeometry& g) {
    return std::max(g.workWidth, g.workHeight);
}

}  // namespace

int UprightWidth(const PhotoGeometry& g) {
    return Transposed(g) ? g.storedHeight : g.storedWidth;
}

int UprightHeight(const PhotoGeometry& g) {
    return Transposed(g) ? g.storedWidth : g.storedHeight;
}

int SquareColumnToPhoto(const PhotoGeometry& g, int x) {
    return Scale(x, (Side(g) - g.workWidth) / 2, g.workWidth, UprightWidth(g));
}

int SquareRowToPhoto(const PhotoGeometry& g, int y) {
    return Scale(y, (Side(g) - g.workHeight) / 2, g.workHeight, UprightHeight(g));
}

PixelRect SquareRectToPhoto(const PhotoGeometry& g, const PixelRect& r) {
    return {SquareColumnToPhoto(g, r.left), SquareRowToPhoto(g, r.top),
            SquareColumnToPhoto(g, r.right), SquareRowToPhoto(g, r.bottom)};
}
