// Running out of memory in the window, and the busy flag around operations.
#include <QComboBox>
#include <QPushButton>

#include "app/timage.h"
#include "app/tresizecontrol.h"
#include "gui/alloc_limit.h"
#include "gui/form_fixture.h"
#include "platform/jpeg.h"
#include "platform/memory.h"

namespace {
class MemoryTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        SetRecognitionOnLoad(false);
        ShowMain();
    }
    std::string Photo(const std::string& name, int w, int h) {
        const std::string path = (photos.Path() / name).string();
        EXPECT_EQ(EncodeJpegFile(path, Bitmap(w, h, {90, 120, 150}), 90), 0);
        return path;
    }
    void OpenByDialog(const std::string& path) {
        host.dialogs.fileAnswers = {{path}};
        form1->BitBtn2->click();
    }
    void ExpectOneNoMemoryMessage() {
        std::vector<ShownMessage> noMemory;
        for (const ShownMessage& m : host.dialogs.shown)
            if (m.text == kNoMemoryText) noMemory.push_back(m);
        ASSERT_EQ(noMemory.size(), 1u);
        EXPECT_EQ(noMemory[0].caption, "Tessomar");
    }
    // After the failure the window takes commands again.
    void ExpectTheWindowStillWorks() {
        EXPECT_FALSE(form1->FBusy);
        EXPECT_TRUE(form1->BitBtn2->isEnabled());
        const std::string next = Photo("next.jpg", 900, 700);
        OpenByDialog(next);
        EXPECT_EQ(form1->FFileName, next);
        EXPECT_TRUE(form1->Image3->isVisible());
    }

    TempFolder photos;
    // The view and the photos here need at most about 2 MB at a time; the
    // overlays made to fail need over 15 MB.
    static constexpr std::size_t kLimit = 8u << 20;
};
}  // namespace

TEST_F(MemoryTest, OverlayOfAZoomedFrameWithoutMemory) {
    OpenByDialog(Photo("zoom.jpg", 800, 600));
    form1->Image3->setGeometry(0, 0, 2000, 2000);
    {
        LargeAllocationsFail fail(kLimit);
        form1->ComboBox1->setCurrentIndex(1);
        EXPECT_GT(LargeAllocationsFail::Refused(), 0);
    }
    ExpectOneNoMemoryMessage();
    EXPECT_TRUE(form1->BitBtn3->isEnabled());  // the controls are given back
    ExpectTheWindowStillWorks();
}

// A 100 x 100 photo with the default layout's 378 x 496 minimum once asked for
// a frame of about 22 x 29 times the view's side (19 MB of overlay); the
// frame is now kept to the view, so the photo opens within the limit.
TEST_F(MemoryTest, TinyPhotoAsksForNoOverlayLargerThanTheView) {
    {
        LargeAllocationsFail fail(kLimit);
        OpenByDialog(Photo("tiny.jpg", 100, 100));
        EXPECT_EQ(LargeAllocationsFail::Refused(), 0);
    }
    for (const ShownMessage& m : host.dialogs.shown) EXPECT_NE(m.text, kNoMemoryText);
    EXPECT_EQ(form1->FResize->Control(), form1->Image3);
    EXPECT_LE(form1->Image3->width(), form1->Image1->width());
    EXPECT_LE(form1->Image3->height(), form1->Image1->height());
    ExpectTheWindowStillWorks();
}

TEST_F(MemoryTest, LoadingHoldsTheBusyFlagAtEveryPump) {
    const std::string first = Photo("first.jpg", 800, 600);
    const std::string second = Photo("second.jpg", 800, 600);
    int pumpsWhileFree = 0;
    host.pump.action = [&] {
        if (form1->FFileName == first) return;  // loaded: the report's pump after it is free
        if (!form1->FBusy) ++pumpsWhileFree;
        // What a user may do meanwhile: all refused while the photo loads.
        form1->BitBtn1->click();
        form1->HandleDroppedFiles({second}, std::nullopt);
    };
    OpenByDialog(first);
    host.pump.action = nullptr;
    EXPECT_GT(host.pump.pumps, 0);
    EXPECT_EQ(pumpsWhileFree, 0);
    EXPECT_EQ(form1->FFileName, first);
    EXPECT_TRUE(form1->Image3->isVisible());
    EXPECT_FALSE(form1->FBusy);
}
