#include <gtest/gtest.h>

#include "cli/batch_options.h"

namespace {

ParseResult Parse(std::vector<std::string> args) {
    return ParseBatchOptions(args);
}

TEST(BatchOptions, DefaultsAreTheWindowsDefaults) {
    const ParseResult r = Parse({"photo.jpg"});
    ASSERT_EQ(r.status, ParseStatus::Run);
    const BatchSettings& s = r.options.settings;
    EXPECT_EQ(s.accuracy, 3);
    EXPECT_EQ(s.minFace, 200);
    EXPECT_EQ(s.quality, 90);
    EXPECT_EQ(s.headTopRange, 50);
    EXPECT_EQ(s.headTopThreshold, 80);
    EXPECT_TRUE(s.reduceLarge && s.chin && s.headTopCorrection && s.upperHalf && s.sizeCheck);
    EXPECT_EQ(s.headTopMethod, HeadTopMethod::kContour);
    EXPECT_TRUE(s.sharpen && s.trimmed && s.centreMarks && s.cornerMarks && s.scale);
    EXPECT_TRUE(s.recognitionImages && s.exif);
    EXPECT_FALSE(s.rotateRetry || s.enlargeSmall);
    EXPECT_EQ(r.options.jobs, 0);
    EXPECT_FALSE(r.options.shard.Active());
    EXPECT_EQ(r.options.reportFormat, ReportFormat::None);
}

TEST(BatchOptions, ValuesInEitherFormAndInputsAnywhere) {
    const ParseResult r =
        Parse({"--layout", "a.ini", "one.jpg", "--out=out", "--jobs", "3", "folder", "--quality=75",
               "--no-chin", "--rotate-retry", "--report", "r.CSV", "--shard", "1/4", "--frame-only",
               "--skip-existing", "--", "--odd-name.jpg"});
    ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
    const BatchOptions& o = r.options;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"one.jpg", "folder", "--odd-name.jpg"}));
    EXPECT_EQ(o.layoutPath, "a.ini");
    EXPECT_EQ(o.outDir, "out");
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.settings.quality, 75);
    EXPECT_FALSE(o.settings.chin);
    EXPECT_TRUE(o.settings.rotateRetry);
    EXPECT_EQ(o.reportFormat, ReportFormat::Csv);
    EXPECT_EQ(o.shard.index, 1);
    EXPECT_EQ(o.shard.count, 4);
    EXPECT_TRUE(o.frameOnly && o.skipExisting);
}

TEST(BatchOptions, LaterSwitchWins) {
    EXPECT_TRUE(Parse({"a.jpg", "--no-sharpen", "--sharpen"}).options.settings.sharpen);
    EXPECT_FALSE(Parse({"a.jpg", "--sharpen", "--no-sharpen"}).options.settings.sharpen);
}

struct BadLine {
    std::vector<std::string> args;
    const char* expected;  // part of the one-line error
};

class BatchOptionErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(BatchOptionErrors, OneLineErrorNamingTheProblem) {
    const ParseResult r = Parse(GetParam().args);
    ASSERT_EQ(r.status, ParseStatus::Error);
    EXPECT_NE(r.error.find(GetParam().expected), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BatchOptionErrors,
    ::testing::Values(
        BadLine{{}, "no photo"}, BadLine{{"--quality", "90"}, "no photo"},
        BadLine{{"a.jpg", "--bogus"}, "'--bogus'"}, BadLine{{"a.jpg", "-x"}, "'-x'"},
        BadLine{{"a.jpg", "--quality", "101"}, "0 to 100"},
        BadLine{{"a.jpg", "--quality", "9x"}, "'9x'"},
        BadLine{{"a.jpg", "--accuracy=0"}, "1 to 10"},
        BadLine{{"a.jpg", "--min-face", "99"}, "100 to 1000"},
        BadLine{{"a.jpg", "--head-top-threshold", "49"}, "50 to 100"},
        BadLine{{"a.jpg", "--quality"}, "needs a value"},
        BadLine{{"a.jpg", "--layout="}, "needs a value"},
        BadLine{{"a.jpg", "--jobs", "0"}, "--jobs"}, BadLine{{"a.jpg", "--jobs", "-2"}, "--jobs"},
        BadLine{{"a.jpg", "--report", "r.txt"}, ".json or .csv"},
        BadLine{{"a.jpg", "--shard", "4/4"}, "K/N"}, BadLine{{"a.jpg", "--shard", "1"}, "K/N"},
        BadLine{{"a.jpg", "--shard", "-1/3"}, "K/N"}, BadLine{{"a.jpg", "--shard", "0/0"}, "K/N"},
        BadLine{{"a.jpg", "--sharpen=yes"}, "takes no value"},
        BadLine{{"a.jpg", "--frame-only=1"}, "takes no value"},
        BadLine{{"a.jpg", "--no-quality"}, "'--no-quality'"},
        BadLine{{"a.jpg", "--head-top"}, "needs a value"},
        BadLine{{"a.jpg", "--head-top", "Contour"}, "contour, background or estimate"},
        BadLine{{"a.jpg", "--head-top=outline"}, "'outline'"},
        BadLine{{"a.jpg", "--no-head-top"}, "'--no-head-top'"}));

struct MethodLine {
    std::vector<std::string> args;
    HeadTopMethod method;
};

class HeadTopMethodOption : public ::testing::TestWithParam<MethodLine> {};

TEST_P(HeadTopMethodOption, EveryMethodInEitherForm) {
    const ParseResult r = Parse(GetParam().args);
    ASSERT_EQ(r.status, ParseStatus::Run) << r.error;
    EXPECT_EQ(r.options.settings.headTopMethod, GetParam().method);
    // A photo named after a method is not taken as the method's value.
    EXPECT_EQ(r.options.inputs, std::vector<std::string>{"a.jpg"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeadTopMethodOption,
    ::testing::Values(MethodLine{{"a.jpg", "--head-top", "background"}, HeadTopMethod::kBackground},
                      MethodLine{{"--head-top=estimate", "a.jpg"}, HeadTopMethod::kEstimate},
                      MethodLine{{"--head-top", "estimate", "--head-top", "contour", "a.jpg"},
                                 HeadTopMethod::kContour},
                      MethodLine{{"a.jpg", "--no-head-top-correction"}, HeadTopMethod::kContour}));

TEST(BatchOptions, HelpListsEveryOptionAnEarlierErrorStillCounts) {
    EXPECT_EQ(Parse({"a.jpg", "--bogus", "--help"}).status, ParseStatus::Error);
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"-h", "a.jpg"}).status, ParseStatus::Help);
    const std::string help = BatchHelpText();
    for (const char* option : {"--layout",
                               "--out",
                               "--jobs",
                               "--report",
                               "--frame-only",
                               "--skip-existing",
                               "--shard",
                               "--accuracy",
                               "--min-face",
                               "--quality",
                               "--head-top-range",
                               "--head-top-threshold",
                               "[no-]chin",
                               "--head-top METHOD",
                               "[no-]head-top-correction",
                               "[no-]upper-half",
                               "[no-]size-check",
                               "[no-]rotate-retry",
                               "[no-]sharpen",
                               "[no-]trimmed",
                               "[no-]centre-marks",
                               "[no-]corner-marks",
                               "[no-]scale",
                               "[no-]reduce",
                               "[no-]enlarge-small",
                               "[no-]recognition-images"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
