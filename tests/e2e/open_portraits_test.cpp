// Real portraits through the main window: every one opens, large ones are
// reduced to 3000 pixels on the long side, and the frame sits on the view.
#include <QPushButton>
#include <filesystem>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "e2e/portrait_fixture.h"

namespace {
// Opening only: no framing, the built-in layout.
class PortraitTest : public PortraitFormTest {
  protected:
    bool RecogniseOnLoad() const override { return false; }
    std::string LayoutName() const override { return {}; }
};
}  // namespace

TEST_F(PortraitTest, EveryPortraitOpensWithAFrameOnTheView) {
    int opened = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".jpg") continue;
        const std::string path = entry.path().string();
        Open(path);
        ASSERT_EQ(form1->FFileName, path) << form1->StatusText(1);
        const int w = form1->FTempBmp2.Width(), h = form1->FTempBmp2.Height();
        EXPECT_LE(std::max(w, h), 3000) << path;
        EXPECT_EQ(form1->FSourceBmp.Width(), std::max(w, h)) << path;
        const QRect frame = form1->Image3->geometry();
        EXPECT_TRUE(form1->Image3->isVisible()) << path;
        EXPECT_EQ(form1->FResize->Control(), form1->Image3) << path;
        // A photo smaller than the layout's photo gets a minimum frame larger
        // than the view: the sheet would enlarge it, and the frame says so.
        if (form1->FDispDen >= form1->FFrameBaseH) {
            EXPECT_GE(frame.left(), 0) << path;
            EXPECT_LE(frame.right(), form1->Image1->width()) << path;
        }
        ++opened;
    }
    EXPECT_GE(opened, 20);
}

TEST_F(PortraitTest, LargePortraitIsReducedToThreeThousandOnItsLongSide) {
    Open(folder + "/unsplash_portrait_3000x4495.jpg");
    EXPECT_EQ(form1->FTempBmp2.Width(), 3000 * 3000 / 4495);
    EXPECT_EQ(form1->FTempBmp2.Height(), 3000);
    EXPECT_EQ(form1->FDispDen, 3000);
    EXPECT_TRUE(host.dialogs.shown.empty());
}

TEST_F(PortraitTest, TinyPortraitWarnsOfItsLowResolution) {
    Open(folder + "/codait_bryan_tiny_115px.jpg");
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_NE(host.dialogs.shown[0].text.find("横ピクセル数:115 縦ピクセル数: 115"),
              std::string::npos);
}
