// The flat landmark model against dlib's own shape predictor: the same points
// to the pixel for every start box, fitted alone or in a batch, read from
// dlib's file or from the packed flat one, and a broken model file refused
// instead of read. Also the face detector stored in the library.
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_processing/shape_predictor.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "fd_box_finder.h"
#include "fd_shape_model.h"
#include "support/temp_folder.h"

namespace fd {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSystemModel = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";
constexpr const char* kPackedModel = "shape_predictor_68_face_landmarks.flat";

ShapeModel::Image SampleFace() {
    const cv::Mat grey =
        cv::imread((SourceDir() / "tests/unit/facedetect/face_frontal_400px_cc0.jpg").string(),
                   cv::IMREAD_GRAYSCALE);
    ShapeModel::Image image;
    image.set_size(grey.rows, grey.cols);
    for (int y = 0; y < grey.rows; ++y)
        std::memcpy(&image[y][0], grey.ptr<unsigned char>(y), static_cast<std::size_t>(grey.cols));
    return image;
}

// Start boxes over and around the sample's face, some reaching past the picture.
std::vector<dlib::rectangle> StartBoxes(const ShapeModel::Image& image) {
    std::vector<dlib::rectangle> boxes;
    const long w = image.nc(), h = image.nr();
    for (long side : {w / 4, w / 2, w * 3 / 4})
        for (long x : {-side / 4, w / 4, w / 2, w - side / 2})
            for (long y : {-side / 3, h / 5, h / 2})
                boxes.emplace_back(x, y, x + side - 1, y + side - 1);
    return boxes;
}

void ExpectSame(const dlib::full_object_detection& a, const dlib::full_object_detection& b,
                const std::string& what) {
    ASSERT_EQ(a.num_parts(), b.num_parts()) << what;
    EXPECT_EQ(a.get_rect(), b.get_rect()) << what;
    for (unsigned long i = 0; i < a.num_parts(); ++i)
        EXPECT_EQ(a.part(i), b.part(i)) << what << ", point " << i;
}

// A small model in dlib's format: two points, two levels of two trees of
// depth 2 over three pixels each; `badSplit` points a split past the pixels.
std::string TinyModel(unsigned long badSplit = 0) {
    dlib::matrix<float, 0, 1> initial(4);
    initial = 0.3f, 0.4f, 0.7f, 0.6f;
    std::vector<std::vector<dlib::impl::regression_tree>> forests(2);
    float v = 0.01f;
    for (auto& forest : forests) {
        for (int t = 0; t < 2; ++t) {
            dlib::impl::regression_tree tree;
            tree.splits = {{0, 1, 3.0f}, {1, 2, -5.0f}, {2, 0, 0.0f}};
            for (int leaf = 0; leaf < 4; ++leaf) {
                dlib::matrix<float, 0, 1> values(4);
                values = v, -v, 2 * v, v / 2;
                v += 0.013f;
                tree.leaf_values.push_back(values);
            }
            forest.push_back(tree);
        }
    }
    forests[1][1].splits[2].idx1 = badSplit == 0 ? 2 : badSplit;
    const std::vector<std::vector<dlib::vector<float, 2>>> pixels(
        2, {{0.2f, 0.3f}, {0.5f, 0.8f}, {0.9f, 0.1f}});
    // dlib's constructor encodes the pixels against the initial shape.
    const dlib::shape_predictor predictor(initial, forests, pixels);
    std::ostringstream out;
    dlib::serialize(predictor, out);
    return out.str();
}

TEST(ShapeModel, TinyModelFitsAsDlibDoes) {
    const std::string bytes = TinyModel();
    dlib::shape_predictor reference;
    ShapeModel model;
    std::istringstream a(bytes), b(bytes);
    dlib::deserialize(reference, a);
    deserialize(model, b);
    ASSERT_EQ(model.num_parts(), 2u);
    const ShapeModel::Image image = SampleFace();
    for (const dlib::rectangle& box : StartBoxes(image))
        ExpectSame(model(image, box), reference(image, box), "box " + std::to_string(box.left()));
}

TEST(ShapeModel, BrokenModelsAreRefused) {
    const std::string good = TinyModel();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"split past the level's pixels", TinyModel(3)},
        {"split far past the pixels", TinyModel(1u << 30)},
        {"cut short", good.substr(0, good.size() / 2)},
        {"empty", ""},
        {"other version", std::string(1, '\x02') + good.substr(1)},
    };
    for (const auto& [what, bytes] : cases) {
        ShapeModel model;
        std::istringstream in(bytes);
        EXPECT_THROW(deserialize(model, in), dlib::serialization_error) << what;
    }
}

// The real 68-point model (Debian's libdlib-data): every fit of the batch is
// the one dlib gives for that box alone.
// The real 68-point model (Debian's libdlib-data), read from dlib's file and
// from the flat file the build packed beside the library: every fit of a
// batch is the one dlib gives for that box alone.
TEST(ShapeModel, RealModelFitsAsDlibDoesAloneAndInBatches) {
    if (!fs::exists(kSystemModel)) GTEST_SKIP() << "no " << kSystemModel;
    dlib::shape_predictor reference;
    ShapeModel fromDlib, packed;
    {
        std::ifstream in(kSystemModel, std::ios::binary);
        dlib::deserialize(reference, in);
    }
    {
        std::ifstream in(kSystemModel, std::ios::binary);
        deserialize(fromDlib, in);
    }
    const fs::path packedPath = ProgramDir() / kPackedModel;
    ASSERT_TRUE(ShapeModel::IsFlatFile(packedPath)) << packedPath;
    packed.ReadFlat(packedPath);
    const ShapeModel::Image image = SampleFace();
    const std::vector<dlib::rectangle> boxes = StartBoxes(image);
    std::vector<ShapeModel::Start> starts;
    for (const dlib::rectangle& box : boxes) starts.push_back({&image, box});
    for (const auto& [what, model] : {std::pair{"dlib's file", &fromDlib}, {"flat", &packed}}) {
        ASSERT_EQ(model->num_parts(), 68u) << what;
        const std::vector<dlib::full_object_detection> batch = model->Fit(starts);
        ASSERT_EQ(batch.size(), boxes.size()) << what;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const dlib::full_object_detection expected = reference(image, boxes[i]);
            ExpectSame(batch[i], expected, std::string(what) + ", batch fit " + std::to_string(i));
            if (i % 4 == 0)
                ExpectSame((*model)(image, boxes[i]), expected,
                           std::string(what) + ", fit " + std::to_string(i));
        }
    }
}

// The tiny model written flat and read back fits as dlib does; the model it
// was read from may go away, the mapped leaves stay.
TEST(ShapeModel, FlatFileReadsBackTheSameModel) {
    TempFolder temp;
    const fs::path path = temp.Path() / "tiny.flat";
    dlib::shape_predictor reference;
    ShapeModel model;
    {
        const std::string bytes = TinyModel();
        std::istringstream a(bytes), b(bytes);
        dlib::deserialize(reference, a);
        ShapeModel original;
        deserialize(original, b);
        std::ofstream out(path, std::ios::binary);
        original.WriteFlat(out);
    }
    ASSERT_TRUE(ShapeModel::IsFlatFile(path));
    model.ReadFlat(path);
    fs::remove(path);
    ASSERT_EQ(model.num_parts(), 2u);
    const ShapeModel::Image image = SampleFace();
    for (const dlib::rectangle& box : StartBoxes(image))
        ExpectSame(model(image, box), reference(image, box), "box " + std::to_string(box.left()));
}

// Flat files that are cut short, grown, from another format, or whose indexes
// point outside their lists are refused; nothing is read past the file.
TEST(ShapeModel, BrokenFlatFilesAreRefused) {
    std::string good;
    {
        ShapeModel original;
        std::istringstream in(TinyModel());
        deserialize(original, in);
        std::ostringstream out;
        original.WriteFlat(out);
        good = out.str();
    }
    // The tiny model's lists, each padded to 64 bytes: header, initial shape,
    // levels, anchors, deltas, trees, splits, leaves.
    constexpr std::size_t kVersion = 8, kLayout = 12, kLeafValues = 56;
    constexpr std::size_t kTrees = 5 * 64, kSplits = 6 * 64;
    ASSERT_EQ(good.size(), 13u * 64);
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        std::memcpy(&bytes[at], &value, sizeof value);
        return bytes;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"cut short", good.substr(0, good.size() - 64)},
        {"grown", good + std::string(64, '\0')},
        {"header only", good.substr(0, 64)},
        {"other version", patched(kVersion, 2)},
        {"other layout", patched(kLayout, 0)},
        {"more leaves than the file holds", patched(kLeafValues, 1000)},
        {"split past the level's pixels", patched(kSplits, 3)},
        {"split far past the pixels", patched(kSplits + 4, 1u << 30)},
        {"tree's splits past the list", patched(kTrees + 3 * 16, 60)},
        {"tree's leaves past the list", patched(kTrees + 3 * 16 + 8, 60)},
    };
    TempFolder temp;
    for (const auto& [what, bytes] : cases) {
        const fs::path path = temp.Path() / "model.flat";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ShapeModel model;
        EXPECT_THROW(model.ReadFlat(path), dlib::serialization_error) << what;
    }
    ShapeModel model;
    EXPECT_THROW(model.ReadFlat(temp.Path() / "absent.flat"), dlib::serialization_error);
    EXPECT_FALSE(ShapeModel::IsFlatFile(temp.Path() / "absent.flat"));
    EXPECT_FALSE(ShapeModel::IsFlatFile(kSystemModel));
}

// The face detector the library unpacks is dlib's own, to the byte.
TEST(BoxFinder, StoredCopyIsDlibsDetector) {
    dlib::frontal_face_detector stored;
    UnpackBoxFinder(stored);
    std::ostringstream a, b;
    dlib::serialize(stored, a);
    dlib::serialize(dlib::get_frontal_face_detector(), b);
    EXPECT_EQ(a.str(), b.str());
    EXPECT_EQ(stored.num_detectors(), 5u);
}

}  // namespace
}  // namespace fd
