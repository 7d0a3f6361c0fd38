// The head-top finder on the shared portraits, each with its head top marked
// by hand in truth.csv. The face box is the one the face library reports,
// rebuilt from the marked face (square, a quarter wider than the marked
// jaw, the chin 7 % of its height below it), so that the test needs no
// library and no landmark model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "detect/head_top_contour.h"
#include "eval_truth.h"
#include "support/temp_folder.h"

namespace {

Bitmap ToBitmap(const cv::Mat& bgr) {
    Bitmap b(bgr.cols, bgr.rows);
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(b.Row(y), bgr.ptr<unsigned char>(y), static_cast<std::size_t>(b.Stride()));
    return b;
}

// |error| in percent of the marked face height (brow to chin), per photo.
std::vector<double> HeadTopErrors(const std::string& folder) {
    std::vector<Truth> truths;
    if (!ReadTruth(std::filesystem::path(folder) / "truth.csv", truths)) return {};
    std::vector<double> errors;
    for (const Truth& t : truths) {
        if (!t.face || !t.chinY || !t.headTopY) continue;
        const auto photo = PreparePhoto(std::filesystem::path(folder) / t.file, t);
        if (!photo) continue;
        const Box f = photo->place.Map(*t.face);
        const int chin = photo->place.Y(*t.chinY);
        const double fh = chin - f.t;
        const int width = (f.r - f.l) * 5 / 4;
        if (width < 200) continue;  // faces the program does not search for
        const int left = f.Cx() - width / 2, top = chin - width;
        const HeadTopFace face{{left, top, left + width, top + static_cast<int>(width / 1.07)},
                               chin};
        const Bitmap image = ToBitmap(photo->square);
        const std::optional<int> found = FindHeadTopContour(image, face);
        const int row = found.value_or(top - width * 30 / 100);
        errors.push_back(std::abs(row - photo->place.Y(*t.headTopY)) * 100 / fh);
    }
    return errors;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

class HeadTopAccuracy : public ::testing::TestWithParam<const char*> {};

TEST_P(HeadTopAccuracy, MedianAndNinetiethPercentileOnTheSharedPortraits) {
    const std::string folder = PortraitsFolder(GetParam());
    if (folder.empty()) GTEST_SKIP() << "the shared portraits (" << GetParam() << ") are absent";
    const std::vector<double> errors = HeadTopErrors(folder);
    ASSERT_GE(errors.size(), 10u);
    // Measured with this rebuilt box: medians 1-3 %, 90th percentiles 11 %
    // (portraits) and 18 % (portraits2: grey hair on grey, a turned head in a
    // patterned wrap, a shaved head filling the photo's width).
    EXPECT_LE(Percentile(errors, 0.5), 3.5);
    EXPECT_LE(Percentile(errors, 0.9), 20.0);
}

INSTANTIATE_TEST_SUITE_P(Sets, HeadTopAccuracy, ::testing::Values("portraits", "portraits2"));

}  // namespace
