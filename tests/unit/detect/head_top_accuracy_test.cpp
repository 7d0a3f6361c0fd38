// The head-top finder on the shared portraits, each with its head top marked
// by hand in truth.csv. The face box is the one the face library reports,
// rebuilt from the marked face (square, a quarter wider than the marked
// jaw, the chin 7 % of its height below it), so that the test needs no
// library and no landmark model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "detect/head_top_contour.h"
#include "eval_bitmap.h"
#include "eval_truth.h"
#include "support/temp_folder.h"

namespace {

// |error| in percent of the marked face height (brow to chin), per photo.
std::vector<double> HeadTopErrors(const std::string& folder) {
    std::vector<double> errors;
    const auto marked = [](const Truth& t) { return t.face && t.chinY && t.headTopY; };
    ForEachPortrait(folder, "", marked, [&](const Truth& t, const PreparedPhoto& photo) {
        const Box f = photo.place.Map(*t.face);
        const int chin = photo.place.Y(*t.chinY);
        const double fh = chin - f.t;
        const int width = (f.r - f.l) * 5 / 4;
        if (width < 200) return;  // faces the program does not search for
        const int left = f.Cx() - width / 2, top = chin - width;
        const HeadTopFace face{{left, top, left + width, top + static_cast<int>(width / 1.07)},
                               chin};
        const std::optional<int> found = FindHeadTopContour(ToBitmap(photo.square), face);
        const int row = found.value_or(top - width * 30 / 100);
        errors.push_back(std::abs(row - photo.place.Y(*t.headTopY)) * 100 / fh);
    });
    return errors;
}

struct AccuracyCase {
    const char* set;
    double median, ninetieth;  // bounds, % of the face height
};

class HeadTopAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(HeadTopAccuracy, MedianAndNinetiethPercentileOnTheSharedPortraits) {
    const AccuracyCase& c = GetParam();
    const std::string folder = PortraitsFolder(c.set);
    if (folder.empty()) GTEST_SKIP() << "the shared portraits (" << c.set << ") are absent";
    const std::vector<double> errors = HeadTopErrors(folder);
    ASSERT_GE(errors.size(), 10u);
    EXPECT_LE(Percentile(errors, 0.5), c.median);
    EXPECT_LE(Percentile(errors, 0.9), c.ninetieth);
}

// Measured with this rebuilt box: medians 1.9 % and 0.9 %, 90th percentiles
// 27.5 % and 2.3 %. On `portraits` the 90th percentile is the second worst
// of 14: `jurvetson_musk` (the box rebuilt from the marked jaw lies lower
// than the library's) and `pixabay_laos_two_faces` (the second head joins
// the first).
INSTANTIATE_TEST_SUITE_P(Sets, HeadTopAccuracy,
                         ::testing::Values(AccuracyCase{"portraits", 2.5, 30.0},
                                           AccuracyCase{"portraits2", 2.5, 4.0}),
                         [](const auto& info) { return std::string(info.param.set); });

}  // namespace
