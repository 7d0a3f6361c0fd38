#pragma once
// JPEG bytes carrying an EXIF Orientation tag, as phone cameras write them.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/jpeg.h"

// An APP1 Exif segment whose IFD0 holds only the Orientation entry.
inline std::vector<std::uint8_t> ExifSegment(int orientation, bool bigEndian = false) {
    std::vector<std::uint8_t> tiff;
    const auto u16 = [&](unsigned v) {
        if (bigEndian) {
            tiff.push_back(std::uint8_t(v >> 8));
            tiff.push_back(std::uint8_t(v));
        } else {
            tiff.push_back(std::uint8_t(v));
            tiff.push_back(std::uint8_t(v >> 8));
        }
    };
    const auto u32 = [&](unsigned v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    tiff.push_back(bigEndian ? 'M' : 'I');
    tiff.push_back(bigEndian ? 'M' : 'I');
    u16(42);
    u32(8);       // IFD0 right after the header
    u16(1);       // one entry
    u16(0x0112);  // Orientation
    u16(3);       // SHORT
    u32(1);
    u16(static_cast<unsigned>(orientation));
    u16(0);
    u32(0);  // no next IFD
    const std::uint8_t head[] = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    std::vector<std::uint8_t> segment(head, head + sizeof head);
    segment.reserve(segment.size() + tiff.size());
    for (std::uint8_t b : tiff) segment.push_back(b);
    const std::size_t length = segment.size() - 2;
    segment[2] = std::uint8_t(length >> 8);
    segment[3] = std::uint8_t(length);
    return segment;
}

// `image` encoded, with `segment` inserted right after the start-of-image marker.
inline std::vector<std::uint8_t> JpegWithSegment(const Bitmap& image,
                                                 const std::vector<std::uint8_t>& segment) {
    std::vector<std::uint8_t> jpeg;
    EncodeJpegMemory(image, 95, jpeg);
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

// A picture whose corners are told apart after a JPEG round trip: red top-left,
// green top-right, blue bottom-left, white bottom-right, grey elsewhere.
inline Bitmap CornerPicture(int width, int height) {
    Bitmap b(width, height, {128, 128, 128});
    const int q = std::min(width, height) / 4;
    b.FillRect({0, 0, q, q}, {255, 0, 0});
    b.FillRect({width - q, 0, width, q}, {0, 255, 0});
    b.FillRect({0, height - q, q, height}, {0, 0, 255});
    b.FillRect({width - q, height - q, width, height}, {255, 255, 255});
    return b;
}
