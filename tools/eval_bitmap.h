#pragma once
// The prepared square photo as the program's image type.
#include <cstring>
#include <opencv2/core.hpp>

#include "platform/bitmap.h"

inline Bitmap ToBitmap(const cv::Mat& bgr) {
    Bitmap b(bgr.cols, bgr.rows);
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(b.Row(y), bgr.ptr<unsigned char>(y), static_cast<std::size_t>(b.Stride()));
    return b;
}
