#include "app/tresizecontrol.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <string>

#include "frame/frame_overlay.h"

namespace {

// A 700 x 640 window whose 530 x 530 view holds a 72 x 93 frame at (229, 218),
// the smallest frame of a 3000-pixel square shown at 530 for a 413 x 531
// layout photo, with the grips attached as the main window attaches them.
class GripsOnView : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(700, 640);
        view = new QWidget(window.get());
        view->setGeometry(0, 0, 530, 530);
        frame = new TImage(view);
        frame->setGeometry(229, 218, 72, 93);
        frame->SetTransparent(true);
        Bitmap overlay(72, 93);
        DrawFrameOverlay(overlay, 72, 93, false);
        frame->SetPicture(overlay);
        res = new TResizeControl(view);
        ForwardFrameEvents();
        RecordHostEvents();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        res->SetXYSize(nullptr, 364, 469, 72, 93, 530, 530, true);
        res->SetControl(frame);
    }

    void ForwardFrameEvents() {
        frame->OnMouseDown = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                    int y) {
            if (res->Control() == frame) res->PtMouseDown(res, b, m, x, y);
        };
        frame->OnMouseMove = [this](TImage*, Qt::KeyboardModifiers m, int x, int y) {
            if (res->Control() == frame) res->PtMouseMove(res, m, x, y);
        };
        frame->OnMouseUp = [this](TImage*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x,
                                  int y) {
            if (res->Control() == frame) res->PtMouseUp(res, b, m, x, y);
        };
    }

    void RecordHostEvents() {
        res->OnMouseDown = [this](TImage* s, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            events.push_back('d');
            events.push_back(static_cast<char>('0' + s->Tag));
            if (b == Qt::RightButton) events.push_back('r');
            frameAtHostDown = frame->geometry();
        };
        res->OnMouseMove = [this](TImage*, Qt::KeyboardModifiers, int, int) { ++hostMoves; };
        res->OnMouseUp = [this](TImage* s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            events.push_back('u');
            events.push_back(static_cast<char>('0' + s->Tag));
        };
    }

    QWindow* Win() const { return window->windowHandle(); }
    static QPoint Centre(const QWidget* w) { return w->geometry().center(); }

    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseMove(Win(), at);
        QTest::mousePress(Win(), button, {}, at);
    }
    // Moves the pressed pointer from `from` by `by` in `steps` equal steps.
    QPoint Steps(QPoint from, QPoint by, int steps) {
        for (int i = 1; i <= steps; ++i) QTest::mouseMove(Win(), from + by * i / steps);
        return from + by;
    }
    void Drag(QPoint from, QPoint by, int steps, Qt::MouseButton button = Qt::LeftButton) {
        Press(from, button);
        const QPoint to = Steps(from, by, steps);
        QTest::mouseRelease(Win(), button, {}, to);
    }

    std::unique_ptr<QWidget> window;
    QWidget* view = nullptr;
    TImage* frame = nullptr;
    TResizeControl* res = nullptr;
    std::string events;
    int hostMoves = 0;
    QRect frameAtHostDown;
};

TEST_F(GripsOnView, AttachesAroundFrameWithGripsOnTop) {
    EXPECT_TRUE(res->isVisible());
    EXPECT_EQ(res->parentWidget(), view);
    EXPECT_EQ(res->geometry(), QRect(222, 211, 86, 107));
    EXPECT_EQ(res->LastAccepted(), (FrameBounds{229, 218, 72, 93}));
    EXPECT_EQ(res->Tag, 8);
    const QPoint expected[kGripCount] = {{222, 211}, {261, 211}, {300, 211}, {300, 260},
                                         {300, 310}, {261, 310}, {222, 310}, {222, 260}};
    for (int i = 0; i < kGripCount; ++i) {
        EXPECT_TRUE(res->Grip(i)->isVisible()) << i;
        EXPECT_EQ(res->Grip(i)->geometry(), QRect(expected[i], QSize(7, 7))) << i;
        EXPECT_EQ(view->childAt(Centre(res->Grip(i))), res->Grip(i)) << i;
    }
    EXPECT_EQ(view->childAt(Centre(frame)), frame);
    EXPECT_EQ(view->childAt(224, 230), res);  // the margin ring
    EXPECT_EQ(res->cursor().shape(), Qt::SizeAllCursor);
    EXPECT_EQ(res->Grip(0)->cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(res->Grip(4)->cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(res->Grip(2)->cursor().shape(), Qt::SizeBDiagCursor);
    EXPECT_EQ(res->Grip(6)->cursor().shape(), Qt::SizeBDiagCursor);
    EXPECT_EQ(res->Grip(5)->cursor().shape(), Qt::SizeAllCursor);
}

TEST_F(GripsOnView, GripPaintsBlackWithWhiteOutline) {
    const QImage grip = res->Grip(3)->grab().toImage();
    EXPECT_EQ(grip.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(grip.pixelColor(6, 6), QColor(Qt::white));
    EXPECT_EQ(grip.pixelColor(3, 3), QColor(Qt::black));
}

TEST_F(GripsOnView, BottomRightGripFollowsPointer) {
    const QPoint start = Centre(res->Grip(4));
    Press(start);
    // The press itself raises the frame to minimum + 1 and the grip moves with it.
    EXPECT_EQ(frame->geometry(), QRect(229, 218, 73, 94));
    const QPoint offset = start - res->Grip(4)->pos();
    Steps(start, {28, 0}, 7);
    // The grip keeps its place under the pointer, give or take the pixel that
    // the aspect takes back.
    EXPECT_LE(std::abs(start.x() + 28 - offset.x() - res->Grip(4)->x()), 1);
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, start + QPoint(28, 0));
    const QRect f = frame->geometry();
    EXPECT_EQ(f, QRect(229, 218, 100, 129));
    EXPECT_EQ(res->geometry(), f.adjusted(-7, -7, 7, 7));
    EXPECT_EQ(res->LastAccepted(), (FrameBounds{229, 218, 100, 129}));
    EXPECT_FALSE(res->Dragging());
}

TEST_F(GripsOnView, BottomRightGripStopsAtMinimum) {
    Drag(Centre(res->Grip(4)), {-40, -40}, 8);
    EXPECT_EQ(frame->geometry(), QRect(229, 218, 73, 94));
}

TEST_F(GripsOnView, TopLeftGripKeepsBottomRightCorner) {
    const QPoint start = Centre(res->Grip(0));
    Press(start);
    const QPoint corner = frame->geometry().bottomRight();
    Steps(start, {-28, -36}, 6);
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, start + QPoint(-28, -36));
    EXPECT_EQ(frame->geometry().bottomRight(), corner);
    EXPECT_EQ(frame->geometry(), QRect(201, 182, 101, 130));
}

TEST_F(GripsOnView, FrameDragMovesWithPointerAndHidesGrips) {
    const QPoint start = Centre(frame);
    Press(start);
    EXPECT_EQ(events, "d8");
    EXPECT_FALSE(res->Grip(0)->isVisible());
    Steps(start, {20, 15}, 5);
    EXPECT_EQ(frame->geometry(), QRect(249, 233, 73, 94));
    EXPECT_FALSE(res->Grip(0)->isVisible());
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, start + QPoint(20, 15));
    EXPECT_EQ(events, "d8u8");
    EXPECT_EQ(frame->geometry(), QRect(249, 233, 73, 94));
    EXPECT_TRUE(res->Grip(0)->isVisible());
    EXPECT_EQ(res->Grip(0)->pos(), QPoint(242, 226));
    EXPECT_EQ(res->geometry(), QRect(242, 226, 87, 108));
}

TEST_F(GripsOnView, MarginRingMovesFrame) {
    Drag({224, 230}, {10, 4}, 2);
    EXPECT_EQ(frame->geometry(), QRect(239, 222, 73, 94));
}

TEST_F(GripsOnView, TopMiddleGripMovesFrame) {
    Drag(Centre(res->Grip(1)), {10, 5}, 5);
    EXPECT_EQ(frame->geometry(), QRect(239, 223, 73, 94));
    EXPECT_EQ(events, "d1u1");
}

TEST_F(GripsOnView, FrameStopsAtViewEdges) {
    const QPoint start = Centre(frame);
    Press(start);
    QPoint at = Steps(start, {420, 0}, 6);
    EXPECT_EQ(frame->geometry(), QRect(530 - 73, 218, 73, 94));
    at = Steps(at, {-680, 0}, 8);
    EXPECT_EQ(frame->x(), 0);
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, at);
}

TEST_F(GripsOnView, RightButtonOnlyCallsHostEvents) {
    Drag(Centre(res->Grip(4)), {30, 30}, 3, Qt::RightButton);
    Drag(Centre(frame), {30, 30}, 3, Qt::RightButton);
    EXPECT_EQ(events, "d4ru4d8ru8");
    EXPECT_GE(hostMoves, 6);
    EXPECT_EQ(frame->geometry(), QRect(229, 218, 72, 93));
    EXPECT_TRUE(res->Grip(0)->isVisible());
    EXPECT_FALSE(res->Dragging());
}

TEST_F(GripsOnView, HostEventsRunBeforeTheStep) {
    Press(Centre(res->Grip(4)));
    EXPECT_EQ(frameAtHostDown, QRect(229, 218, 72, 93));
    EXPECT_EQ(frame->geometry(), QRect(229, 218, 73, 94));
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, Centre(res->Grip(4)));
}

TEST_F(GripsOnView, DetachHidesAndReattachTakesNewAspect) {
    res->SetControl(nullptr);
    EXPECT_EQ(res->Control(), nullptr);
    EXPECT_FALSE(res->isVisible());
    for (int i = 0; i < kGripCount; ++i) EXPECT_FALSE(res->Grip(i)->isVisible());
    Press(Centre(frame));  // the frame alone: nothing forwarded
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, Centre(frame));
    EXPECT_EQ(events, "");
    frame->setGeometry(10, 10, 100, 100);
    res->SetControl(frame);
    EXPECT_EQ(res->Limits().aspectW, 100);
    EXPECT_EQ(res->Limits().aspectH, 100);
    Drag(Centre(res->Grip(4)), {0, 0}, 1);
    EXPECT_EQ(frame->geometry(), QRect(10, 10, 100, 100));
}

TEST_F(GripsOnView, CoordinateHintWhenShown) {
    res->SetShowHint(true);
    const QPoint start = Centre(frame);
    Press(start);
    Steps(start, {20, 15}, 1);
    EXPECT_EQ(res->HintText().rfind("X: 249, Y: 233 (", 0), 0u) << res->HintText();
    QTest::mouseRelease(Win(), Qt::LeftButton, {}, start + QPoint(20, 15));
    Drag(Centre(res->Grip(4)), {8, 0}, 1);
    EXPECT_EQ(res->HintText().rfind("LX: 249, TY: 233 W:", 0), 0u) << res->HintText();
}

TEST_F(GripsOnView, ReparentingDetaches) {
    auto* other = new QWidget(window.get());
    res->SetParent(other);
    EXPECT_EQ(res->parentWidget(), other);
    EXPECT_EQ(res->Control(), nullptr);
    EXPECT_FALSE(res->Grip(0)->isVisible());
}

TEST(ResizeControlLifetime, GripsFreedWithComponentOrParent) {
    auto view = std::make_unique<QWidget>();
    auto* frame = new QWidget(view.get());
    frame->setGeometry(20, 20, 30, 40);
    auto* res = new TResizeControl(view.get());
    res->SetControl(frame);
    QPointer<TResizeGrip> grip = res->Grip(2);
    delete res;
    EXPECT_TRUE(grip.isNull());
    res = new TResizeControl(view.get());
    res->SetControl(frame);
    grip = res->Grip(2);
    view.reset();  // the grips are siblings of the component
    EXPECT_TRUE(grip.isNull());
}

}  // namespace
