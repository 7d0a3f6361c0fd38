// The shape checks on their own: every cascade OpenCV ships passes, and each
// fault that would make OpenCV read or search out of bounds is refused.
#include "cascade_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <opencv2/objdetect.hpp>
#include <string>

#include "fd_detector.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Check(const std::string& text) {
    if (const int r = fd::CheckDescriptionText(text); r != fd::kOk) return r;
    try {
        const cv::FileStorage storage(text, cv::FileStorage::READ | cv::FileStorage::MEMORY);
        return fd::CheckCascadeShape(storage.getFirstTopLevelNode());
    } catch (const cv::Exception&) {
        return fd::kCascadeBroken;
    }
}

// Two stages of OpenCV's frontal face cascade: 25 stumps, 25 features.
std::string SmallCascade() {
    return ReadText(SourceDir() / "fuzz" / "corpus" / "cascade" / "haar_two_stages.xml");
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

const std::string kFirstNode = "0 -1 0 -3.1511999666690826e-02";
const std::string kFirstLeaves = "2.0875380039215088e+00 -2.2172100543975830e+00";
const std::string kFirstRect = "6 4 12 9 -1.";

}  // namespace

// Cascades of the old format (one ships with OpenCV) are not read at all.
bool OpenCvReads(const std::string& text) {
    const cv::FileStorage storage(text, cv::FileStorage::READ | cv::FileStorage::MEMORY);
    cv::CascadeClassifier cascade;
    return cascade.read(storage.getFirstTopLevelNode()) && !cascade.empty();
}

TEST(CascadeCheck, EveryShippedCascadeOpenCvReadsPasses) {
    int checked = 0;
    for (const char* folder :
         {"/usr/share/opencv4/haarcascades", "/usr/share/opencv4/lbpcascades"}) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string text = ReadText(entry.path());
            if (!OpenCvReads(text)) continue;
            EXPECT_EQ(Check(text), fd::kOk) << entry.path();
            ++checked;
        }
    }
    EXPECT_GT(checked, 0) << "OpenCV's cascades (opencv-data) are not installed";
    EXPECT_EQ(Check(SmallCascade()), fd::kOk);
    EXPECT_EQ(fd::CheckDescriptionText(ReadText(SourceDir() / "data" / "ago.xml")), fd::kOk);
}

TEST(CascadeCheck, TwoNodeTreesAmongStumpsPass) {
    const std::string text = Replaced(
        Replaced(SmallCascade(), kFirstNode, "0 1 0 -0.03 -1 -2 1 0.01"), kFirstLeaves, "1 -1 0.5");
    EXPECT_EQ(Check(text), fd::kOk);
}

struct Fault {
    const char* name;
    std::string from, to;
};

class CascadeFault : public testing::TestWithParam<Fault> {};

TEST_P(CascadeFault, IsRefused) {
    const Fault& f = GetParam();
    EXPECT_EQ(Check(Replaced(SmallCascade(), f.from, f.to)), fd::kCascadeBroken);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CascadeFault,
    testing::Values(Fault{"FeatureIndexEqualToTheCount", kFirstNode, "0 -1 25 -0.03"},
                    Fault{"NegativeFeatureIndex", kFirstNode, "0 -1 -1 -0.03"},
                    Fault{"FractionalFeatureIndex", kFirstNode, "0 -1 0.5 -0.03"},
                    Fault{"LeafPastTheLeaves", kFirstNode, "0 -2 0 -0.03"},
                    Fault{"NodeOfThreeNumbers", kFirstNode, "0 -1 0"},
                    Fault{"ChildPointingAtItsParent", kFirstNode + "</internalNodes>",
                          "0 1 0 -0.03 1 -2 1 0.01</internalNodes>"},
                    Fault{"TreeWithTooFewLeaves", kFirstNode, "0 1 0 -0.03 -1 -2 1 0.01"},
                    Fault{"RectangleOutsideTheWindow", kFirstRect, "16 4 12 9 -1."},
                    Fault{"RectangleOfFourNumbers", kFirstRect, "6 4 12 9"},
                    Fault{"FourRectangles", "<_>\n          " + kFirstRect + "</_>",
                          "<_>" + kFirstRect + "</_><_>0 0 1 1 1.</_><_>0 0 1 1 1.</_>"},
                    Fault{"TiltedRectangleLeavingTheWindow", "6 7 12 3 3.</_></rects>",
                          "6 7 12 3 3.</_></rects><tilted>1</tilted>"},
                    Fault{"EmptyWindow", "<width>24</width>", "<width>0</width>"},
                    Fault{"HugeWindow", "<width>24</width>", "<width>100000</width>"},
                    Fault{"UnknownFeatureType", "<featureType>HAAR", "<featureType>HOG"},
                    Fault{"CategoriesOnHaar", "<maxCatCount>0<", "<maxCatCount>256<"},
                    Fault{"NotXml", "<?xml", "%YAML:1.0\n#"}),
    [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(CascadeCheck, NestingIsCountedAsTheReaderCountsIt) {
    const std::string head = "<?xml version=\"1.0\"?>\n<opencv_storage>";
    auto nested = [](int depth, const std::string& open) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += open;
        return s;
    };
    EXPECT_EQ(fd::CheckDescriptionText(head + nested(31, "<a>")), fd::kOk);
    EXPECT_EQ(fd::CheckDescriptionText(head + nested(32, "<a>")), fd::kCascadeBroken);
    // Self-closing tags, comments and quoted '>' do not nest.
    EXPECT_EQ(fd::CheckDescriptionText(head + nested(1000, "<a/>") + nested(1000, "<!-- <a> -->") +
                                       nested(1000, "<a x=\"/>\"></a>")),
              fd::kOk);
    // A comment cannot hide closing tags that would let deeper nesting pass.
    EXPECT_EQ(
        fd::CheckDescriptionText(head + "<!-- " + nested(100, "</a>") + " -->" + nested(40, "<a>")),
        fd::kCascadeBroken);
}
