#include "reference/sharpen_reference.h"

#include <algorithm>

int SharpenBitmapReference(Bitmap& image) {
    const Bitmap input = image;  // every neighbourhood reads the input
    const int w = input.Width(), h = input.Height();
    const int kernel[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    const auto brightness = [](int r, int g, int b) { return (28 * r + 77 * g + 151 * b) / 255; };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x == 0 || x == w - 1 || y == 0 || y == h - 1) continue;
            const Rgb in = input.Pixel(x, y);
            if (in.r == 0 && in.g == 0 && in.b == 255) continue;
            int sr = 0, sg = 0, sb = 0;
            for (int ky = -1; ky <= 1; ++ky)
                for (int kx = -1; kx <= 1; ++kx) {
                    const Rgb n = input.Pixel(x + kx, y + ky);
                    const int k = kernel[ky + 1][kx + 1];
                    sr += k * n.r;
                    sg += k * n.g;
                    sb += k * n.b;
                }
            const int rb = sr / 16, gb = sg / 16, bb = sb / 16;
            const int y0 = brightness(in.r, in.g, in.b);
            const int y1 = brightness(rb, gb, bb);
            Rgb out{0, 0, 0};
            if (y0 != 0) {
                const int t = y0 - (y1 - y0) / 2;
                const auto scale = [&](int c) {
                    return static_cast<std::uint8_t>(std::clamp(c * t / y0, 0, 255));
                };
                out = {scale(in.r), scale(in.g), scale(in.b)};
            }
            image.SetPixel(x, y, out);
        }
    }
    return 0;
}
