#pragma once
// Pictures and files for the codec tests.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "support/temp_folder.h"

// A file of tests/data.
inline std::string DataFile(const std::string& name) {
    return TestDataPath(name);
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Smooth colour ramps (gentle even on thin pictures) with a little noise.
inline Bitmap PhotoLike(int width, int height, unsigned seed = 1) {
    Bitmap b(width, height);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = 40 + 160 * x / (width + 256) + noise(random);
            const int g = 60 + 120 * y / (height + 256) + noise(random);
            const int bl = 200 - 100 * (x + y) / (width + height + 512) + noise(random);
            b.SetPixel(x, y, {std::uint8_t(r), std::uint8_t(g), std::uint8_t(bl)});
        }
    return b;
}

inline double MeanAbsDifference(const Bitmap& a, const Bitmap& b) {
    const std::size_t n = std::size_t(a.Stride()) * a.Height();
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += std::abs(int(a.Data()[i]) - int(b.Data()[i]));
    return n ? sum / double(n) : 0.0;
}
