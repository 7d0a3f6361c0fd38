#include "imaging/orientation.h"

#include <cstring>
#include <utility>

namespace {

// Where output pixel (x, y) comes from, for a source w x h.
struct SourceOf {
    int orientation, w, h;
    std::pair<int, int> operator()(int x, int y) const {
        switch (orientation) {
            case 2:
                return {w - 1 - x, y};
            case 3:
                return {w - 1 - x, h - 1 - y};
            case 4:
                return {x, h - 1 - y};
            case 5:
                return {y, x};
            case 6:
                return {y, h - 1 - x};
            case 7:
                return {w - 1 - y, h - 1 - x};
            case 8:
                return {w - 1 - y, x};
            default:
                return {x, y};
        }
    }
};

}  // namespace

void ApplyExifOrientation(Bitmap& photo, int orientation) {
    if (orientation < 2 || orientation > 8 || photo.Empty()) return;
    const int w = photo.Width(), h = photo.Height();
    const bool swapped = orientation >= 5;
    Bitmap out(swapped ? h : w, swapped ? w : h);
    const SourceOf source{orientation, w, h};
    for (int y = 0; y < out.Height(); ++y) {
        std::uint8_t* row = out.Row(y);
        for (int x = 0; x < out.Width(); ++x) {
            const auto [sx, sy] = source(x, y);
            std::memcpy(row + x * 3, photo.Row(sy) + sx * 3, 3);
        }
    }
    photo = std::move(out);
}
