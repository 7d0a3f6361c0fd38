#include "imaging/rotation_angle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct AngleCase {
    int tenths;
    int kept, normalised;
    std::string box, status;
};

void PrintTo(const AngleCase& c, std::ostream* os) {
    *os << c.tenths;
}

class AngleTable : public testing::TestWithParam<AngleCase> {};

TEST_P(AngleTable, KeptNormalisedAndShown) {
    const AngleCase& c = GetParam();
    EXPECT_EQ(KeptAngle(c.tenths), c.kept);
    EXPECT_EQ(NormalisedAngle(c.tenths), c.normalised);
    EXPECT_EQ(AngleBoxText(c.kept), c.box);
    EXPECT_EQ(RotationStatusText(c.kept), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AngleTable,
    testing::Values(AngleCase{0, 0, 0, "0", "回転角 0.000000"},
                    AngleCase{-900, -900, 2700, "-90", "回転角 270.000000"},
                    AngleCase{5, 5, 5, "0.5", "回転角 0.500000"},
                    // single precision shows through
                    AngleCase{1, 1, 1, "0.100000001490116", "回転角 0.100000"},
                    AngleCase{-1, -1, 3599, "-0.100000001490116", "回転角 359.900000"},
                    AngleCase{3600, 0, 0, "0", "回転角 0.000000"},
                    AngleCase{-3600, 0, 0, "0", "回転角 0.000000"},
                    AngleCase{3650, 50, 50, "5", "回転角 5.000000"},
                    AngleCase{-3650, -50, 3550, "-5", "回転角 355.000000"},
                    // the status never shows a negative angle, even past a turn
                    AngleCase{-7201, -1, 3599, "-0.100000001490116", "回転角 359.900000"}));

}  // namespace
