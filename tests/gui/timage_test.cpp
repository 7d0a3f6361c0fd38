#include "app/timage.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>
#include <memory>
#include <vector>

namespace {

const QColor kGreen(0, 160, 0);

// A green window holding one image control at (5, 5), 12 x 10, whose picture
// is 10 x 8: blue with a red pixel at (2, 2).
class ImageOnGreen : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(40, 30);
        window->setAutoFillBackground(true);
        QPalette pal = window->palette();
        pal.setColor(QPalette::Window, kGreen);
        window->setPalette(pal);
        image = new TImage(window.get());
        image->setGeometry(5, 5, 12, 10);
        Bitmap picture(10, 8, kPureBlue);
        picture.SetPixel(2, 2, kPureRed);
        image->SetPicture(picture);
    }
    // Colour on the window at a point of the image's client area.
    QColor At(int x, int y) const { return window->grab().toImage().pixelColor(5 + x, 5 + y); }

    std::unique_ptr<QWidget> window;
    TImage* image = nullptr;
};

TEST_F(ImageOnGreen, OpaquePaintsPictureAtOriginUnscaled) {
    EXPECT_EQ(At(2, 2), QColor(Qt::red));
    EXPECT_EQ(At(3, 3), QColor(Qt::blue));
    EXPECT_EQ(At(0, 7), QColor(Qt::blue));
    EXPECT_EQ(At(11, 9), kGreen);  // beyond the picture: the parent shows
}

TEST_F(ImageOnGreen, TransparentKeyIsBottomLeftColour) {
    image->SetTransparent(true);
    EXPECT_EQ(At(2, 2), QColor(Qt::red));
    EXPECT_EQ(At(3, 3), kGreen);
    EXPECT_EQ(At(0, 7), kGreen);
    // A new bottom-left colour changes the key once the change is reported.
    image->Picture().SetPixel(0, 7, kPureRed);
    image->PictureChanged();
    EXPECT_EQ(At(2, 2), kGreen);
    EXPECT_EQ(At(3, 3), QColor(Qt::blue));
    image->SetTransparent(false);
    EXPECT_EQ(At(2, 2), QColor(Qt::red));
}

TEST_F(ImageOnGreen, ReplacedAndClearedPicture) {
    image->SetTransparent(true);
    image->SetPicture(Bitmap(3, 3, kWhite));  // all key colour: nothing painted
    EXPECT_EQ(At(1, 1), kGreen);
    image->SetTransparent(false);
    image->FillPicture(kBlack);
    EXPECT_EQ(At(1, 1), QColor(Qt::black));
    EXPECT_EQ(At(3, 3), kGreen);
    image->ClearPicture();
    EXPECT_TRUE(image->Picture().Empty());
    EXPECT_EQ(At(1, 1), kGreen);
}

TEST_F(ImageOnGreen, HintShownOnlyWithShowHint) {
    image->SetHint(QStringLiteral("hint"));
    EXPECT_TRUE(image->toolTip().isEmpty());
    image->SetShowHint(true);
    EXPECT_EQ(image->toolTip(), QStringLiteral("hint"));
    image->SetShowHint(false);
    EXPECT_TRUE(image->toolTip().isEmpty());
}

struct MouseCall {
    char kind;
    TImage* sender;
    Qt::MouseButton button;
    Qt::KeyboardModifiers shift;
    int x, y;
};

TEST_F(ImageOnGreen, MouseEventsInClientCoordinatesOverWholeBounds) {
    image->SetTransparent(true);
    std::vector<MouseCall> calls;
    image->OnMouseDown = [&](TImage* s, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        calls.push_back({'d', s, b, m, x, y});
    };
    image->OnMouseMove = [&](TImage* s, Qt::KeyboardModifiers m, int x, int y) {
        calls.push_back({'m', s, Qt::NoButton, m, x, y});
    };
    image->OnMouseUp = [&](TImage* s, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        calls.push_back({'u', s, b, m, x, y});
    };
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QWindow* w = window->windowHandle();
    QTest::mouseMove(w, {8, 8});  // no button: tracked all the same
    QTest::mousePress(w, Qt::LeftButton, Qt::ShiftModifier, {8, 8});  // a see-through pixel
    QTest::mouseMove(w, {25, 20});  // outside the control while pressed
    QTest::mouseRelease(w, Qt::LeftButton, Qt::ShiftModifier, {25, 20});
    QTest::mouseMove(w, {16, 14});
    QTest::mousePress(w, Qt::RightButton, {}, {16, 14});  // beyond the picture, inside bounds
    QTest::mouseRelease(w, Qt::RightButton, {}, {16, 14});

    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].kind, 'm');
    EXPECT_EQ(calls[0].x, 3);
    EXPECT_EQ(calls[0].y, 3);
    EXPECT_EQ(calls[1].kind, 'd');
    EXPECT_EQ(calls[1].sender, image);
    EXPECT_EQ(calls[1].button, Qt::LeftButton);
    EXPECT_EQ(calls[1].shift, Qt::ShiftModifier);
    EXPECT_EQ(calls[1].x, 3);
    EXPECT_EQ(calls[1].y, 3);
    EXPECT_EQ(calls[2].kind, 'm');
    EXPECT_EQ(calls[2].x, 20);
    EXPECT_EQ(calls[2].y, 15);
    EXPECT_EQ(calls[3].kind, 'u');
    EXPECT_EQ(calls[3].button, Qt::LeftButton);
    EXPECT_EQ(calls[4].kind, 'm');
    EXPECT_EQ(calls[5].kind, 'd');
    EXPECT_EQ(calls[5].button, Qt::RightButton);
    EXPECT_EQ(calls[5].x, 11);
    EXPECT_EQ(calls[5].y, 9);
    EXPECT_EQ(calls[6].kind, 'u');
}

}  // namespace
