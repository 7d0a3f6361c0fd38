// The three windows together: where they open, which window a box belongs
// to, and the language of Qt's own dialogs.
#include <QApplication>
#include <QScreen>

#include "app/qt_host.h"
#include "app/ui_text.h"
#include "gui/form_fixture.h"

TEST_F(FormTest, WindowsOpenCentredOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (QWidget* w : std::initializer_list<QWidget*>{form1.get(), form2.get(), form3.get()}) {
        SCOPED_TRACE(w->metaObject()->className());
        w->show();
        QCoreApplication::processEvents();
        const QRect g = w->frameGeometry();
        // Centred; a window larger than the screen keeps its top-left corner on it.
        const int left = std::max(area.left(), area.left() + (area.width() - g.width()) / 2);
        const int top = std::max(area.top(), area.top() + (area.height() - g.height()) / 2);
        // Within the window border, which is not known before the window is shown.
        EXPECT_NEAR(g.left(), left, 4);
        EXPECT_NEAR(g.top(), top, 4);
    }
    EXPECT_GT(form2->frameGeometry().left(), area.left() + 4);
}

TEST_F(FormTest, BoxesBelongToTheWindowTheUserIsIn) {
    QtDialogs dialogs(form1.get());
    ShowMain();
    form2->show();
    QApplication::setActiveWindow(form2.get());
    EXPECT_EQ(dialogs.Owner(), form2.get());  // the settings' own file dialog stays over it
    QApplication::setActiveWindow(form1.get());
    EXPECT_EQ(dialogs.Owner(), form1.get());
}

TEST(QtTranslationsTest, StandardDialogsAndButtonsSpeakJapanese) {
    ASSERT_TRUE(InstallQtTranslations());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
              QString::fromUtf8("キャンセル"));
    for (const char* text : {"Look in:", "&Open"})
        EXPECT_NE(QCoreApplication::translate("QFileDialog", text), QString::fromUtf8(text))
            << text;
}
