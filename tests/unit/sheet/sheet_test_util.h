#pragma once
// Helpers shared by the sheet tests: black-pixel maps and a one-place layout.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "layout/layout.h"
#include "platform/bitmap.h"

using PixelSet = std::set<std::pair<int, int>>;  // (x, y)

// The black pixels of a picture.
inline PixelSet BlackPixels(const Bitmap& b) {
    PixelSet s;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) == kBlack) s.insert({x, y});
    return s;
}

// Inclusive runs of pixels, as the expected sets are written.
inline void AddRow(PixelSet& s, int y, int x0, int x1) {
    for (int x = x0; x <= x1; ++x) s.insert({x, y});
}
inline void AddColumn(PixelSet& s, int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y) s.insert({x, y});
}

// The built-in layout with only its first `places` places.
inline TLayout DefaultLayoutWith(int places) {
    TLayout l = DefaultLayout();
    l.paper.photo_ct = l.paper.photo_ct_per_person = places;
    return l;
}

// The first difference of two sets, for failure messages.
inline std::string FirstDifference(const PixelSet& got, const PixelSet& want) {
    for (const auto& p : got)
        if (!want.count(p))
            return "extra (" + std::to_string(p.first) + ", " + std::to_string(p.second) + ")";
    for (const auto& p : want)
        if (!got.count(p))
            return "missing (" + std::to_string(p.first) + ", " + std::to_string(p.second) + ")";
    return "none";
}

// A smooth photo-like picture (no noise, so that its PNG stays small): light
// background, a darker head-like ellipse with a hard edge, colour ramps.
inline Bitmap PortraitLike(int width, int height) {
    Bitmap b(width, height);
    const double cx = width * 0.5, cy = height * 0.45, rx = width * 0.3, ry = height * 0.32;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            const bool head = dx * dx + dy * dy < 1.0;
            const int base = head ? 110 : 200;
            const int r = base + int(40 * std::sin(6.0 * x / width + 2.0 * y / height));
            const int g = base - 25 + int(30 * std::cos(4.0 * y / height));
            const int bl = base - 50 + (x * 7 / width) * 8;
            b.SetPixel(x, y,
                       Rgb{std::uint8_t(std::clamp(r, 0, 255)), std::uint8_t(std::clamp(g, 0, 255)),
                           std::uint8_t(std::clamp(bl, 0, 255))});
        }
    return b;
}
