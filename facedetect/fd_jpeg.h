#pragma once
// Grey decoding of a JPEG file for the searches, reduced in the DCT domain
// when the caller asks for it. A header announcing a picture larger than
// kMaxImageSide on a side is refused before any pixel memory is taken.
#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

namespace fd {

constexpr int kMaxImageSide = 20000;

struct GrayPicture {
    cv::Mat pixels;     // CV_8UC1, the decoded picture (reduced by the chosen factor)
    int fullWidth = 0;  // the size the header announces
    int fullHeight = 0;
};

// Picks the DCT reduction 1, 2, 4 or 8 from the announced size.
using DenominatorChooser = std::function<int(int width, int height)>;

// 0: decoded; -2: not a JPEG, unsupported or broken beyond decoding;
// -3: the header announces an empty or too large picture.
int DecodeJpegGray(const std::vector<unsigned char>& data, const DenominatorChooser& choose,
                   GrayPicture& out);

// Reads the file and decodes it in grey, reduced in the DCT domain by the
// largest factor 1, 2, 4 or 8 not above `reduction` (and by as much as keeps
// the long side at kMaxWorkSide or less). 0, or a failure value of Result.
constexpr int kMaxWorkSide = 4096;
int LoadGrayFile(const std::filesystem::path& path, double reduction, GrayPicture& out);

}  // namespace fd
