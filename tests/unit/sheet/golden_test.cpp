// Whole sheets compared pixel for pixel with the golden pictures kept in
// tests/data (PNG, lossless), before any JPEG encoding. Set
// KAMBRIX_UPDATE_GOLDEN=1 to write them anew after a deliberate change, and
// look at them before committing.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <sstream>

#include "sheet/compose.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"
#include "unit/sheet/sheet_test_util.h"

namespace fs = std::filesystem;

namespace {

Bitmap LoadPng(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path), "PNG")) return {};
    image = image.convertToFormat(QImage::Format_BGR888);
    Bitmap b(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(y), b.Stride(), b.Row(y));
    return b;
}

bool SavePng(const Bitmap& b, const std::string& path) {
    const QImage view(b.Data(), b.Width(), b.Height(), b.Stride(), QImage::Format_BGR888);
    return view.save(QString::fromStdString(path), "PNG");
}

std::string FirstPixelDifference(const Bitmap& got, const Bitmap& want) {
    std::ostringstream out;
    if (got.Width() != want.Width() || got.Height() != want.Height()) {
        out << "size " << got.Width() << "x" << got.Height() << " instead of " << want.Width()
            << "x" << want.Height();
        return out.str();
    }
    int count = 0;
    for (int y = 0; y < got.Height(); ++y)
        for (int x = 0; x < got.Width(); ++x) {
            const Rgb g = got.Pixel(x, y), w = want.Pixel(x, y);
            if (g == w || count++ > 0) continue;
            out << "first at (" << x << ", " << y << "): " << int(g.r) << "," << int(g.g) << ","
                << int(g.b) << " instead of " << int(w.r) << "," << int(w.g) << "," << int(w.b)
                << "; ";
        }
    out << count << " pixels differ";
    return out.str();
}

class GoldenSheet : public testing::Test {
  protected:
    void SetUp() override {
        start_ = fs::current_path();
        options_.photoDir = folder_.Dir();
        options_.saveTrimmed = false;
        options_.title = "Kambrix";
    }
    void TearDown() override { fs::current_path(start_); }

    void Compose(const TLayout& layout, const Bitmap& trim, const std::string& name) {
        ASSERT_EQ(ComposeSheet(layout, options_, trim, Bitmap(), folder_.Dir() + name, state_,
                               host_.dialogs),
                  0);
        state_.slot = NextSheetSlot(layout.paper, state_.slot);
        EXPECT_TRUE(host_.dialogs.shown.empty());
    }
    void ExpectGolden(const std::string& name) {
        const std::string path = TestDataPath(name);
        if (qEnvironmentVariableIsSet("KAMBRIX_UPDATE_GOLDEN")) {
            ASSERT_TRUE(SavePng(state_.sheet, path));
            return;
        }
        const Bitmap want = LoadPng(path);
        ASSERT_FALSE(want.Empty()) << path;
        EXPECT_TRUE(state_.sheet == want)
            << name << ": " << FirstPixelDifference(state_.sheet, want);
    }

    TempFolder folder_;
    fs::path start_;
    SheetOptions options_;
    SheetState state_;
    ScriptedHost host_;
};

// A frame three times the place's size cut from a 3000-pixel working image.
Bitmap FramedPhoto() {
    const Bitmap source = PortraitLike(3000, 3000);
    Bitmap trim;
    CropTrimmedPhoto(source, {300, 200, 378, 496}, 1000, trim);
    return trim;
}

// The built-in layout with file-name captions: four places, marks, scale,
// sharpening.
TEST_F(GoldenSheet, BuiltInLayout) {
    TLayout layout = DefaultLayout();
    layout.paper.text = "FILENAME";
    Compose(layout, FramedPhoto(), "IMG_0001.JPG");
    ExpectGolden("sheet_builtin_layout.png");
}

// Turned places: a quarter turn of a non-square place (black ends), a small
// tilt, and a half turn, on a small sheet at 150 dpi.
TEST_F(GoldenSheet, RotatedPlaces) {
    TLayout layout;
    layout.paper = TPaperInfo{150, 640, 420, 3, 3, 24, "ＭＳ ゴシック", "FILENAME", ""};
    layout.slots[0] = TPhotoSlot{200, 120, 180, 100, 130, 110, 0, 0, 90.0f};
    layout.slots[1] = TPhotoSlot{150, 200, 140, 186, 380, 160, 0, 0, 7.5f};
    layout.slots[2] = TPhotoSlot{150, 200, 140, 186, 540, 200, 0, 0, 180.0f};
    Compose(layout, PortraitLike(450, 600), "tilt.jpg");
    ExpectGolden("sheet_rotated_places.png");
}

// Two persons on one sheet, each with its own caption.
TEST_F(GoldenSheet, TwoPersons) {
    TLayout layout = DefaultLayout();
    layout.paper.photo_ct_per_person = 2;
    layout.paper.text = "FILENAME";
    Compose(layout, FramedPhoto(), "first.jpg");
    Bitmap second = PortraitLike(800, 1050);
    Compose(layout, second, "second.jpg");
    ExpectGolden("sheet_two_persons.png");
}

}  // namespace
