#pragma once
// Test helpers for pictures: the first differing pixel of two bitmaps as
// readable text, and pictures that exercise kernels better than flat colour.
#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "platform/bitmap.h"

// Empty when equal; otherwise the sizes or the first pixel, channel and values.
inline std::string FirstDifference(const Bitmap& expected, const Bitmap& actual) {
    std::ostringstream text;
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height()) {
        text << "size " << actual.Width() << "x" << actual.Height() << ", expected "
             << expected.Width() << "x" << expected.Height();
        return text.str();
    }
    static const char* const kChannel[] = {"blue", "green", "red"};
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Stride(); ++x)
            if (expected.Row(y)[x] != actual.Row(y)[x]) {
                text << "pixel (" << x / 3 << ", " << y << ") " << kChannel[x % 3] << ": "
                     << int(actual.Row(y)[x]) << ", expected " << int(expected.Row(y)[x]);
                return text.str();
            }
    return {};
}

enum class Picture { Noise, Edges, Ramp, Checker };

// Noise averages out; the structured ones keep sharp steps, long ramps and
// one-pixel alternation where a wrong neighbour or weight shows at once.
inline Bitmap MakePicture(Picture kind, int width, int height, unsigned seed = 1) {
    Bitmap b(width, height);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb c;
            switch (kind) {
                case Picture::Noise:
                    c = {std::uint8_t(value(random)), std::uint8_t(value(random)),
                         std::uint8_t(value(random))};
                    break;
                case Picture::Edges:
                    c = (x * 3 < width) == (y * 2 < height) ? Rgb{250, 240, 5} : Rgb{3, 20, 255};
                    if (x % 7 == 0 && y % 5 == 0) c = kPureBlue;
                    break;
                case Picture::Ramp:
                    c = {std::uint8_t(x * 255 / std::max(1, width - 1)),
                         std::uint8_t(y * 255 / std::max(1, height - 1)),
                         std::uint8_t((x + y) % 256)};
                    break;
                case Picture::Checker:
                    c = (x + y) % 2 ? kWhite : Rgb{0, 0, 1};
                    break;
            }
            b.SetPixel(x, y, c);
        }
    return b;
}
