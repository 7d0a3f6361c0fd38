// The main window, the settings dialog and the preview after start-up.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <map>

#include "app/timage.h"
#include "app/ui_text.h"
#include "gui/form_fixture.h"

namespace {
QString T(const char* s) {
    return QString::fromUtf8(s);
}
}  // namespace

TEST_F(FormTest, StartsWithTitleDefaultLayoutAndOnlyEntryControlsUsable) {
    ShowMain();
    EXPECT_EQ(form1->windowTitle(), "Kambrix");
    EXPECT_EQ(form1->FTitle, "Kambrix");
    EXPECT_EQ(form1->FAppDir, app.Dir());
    EXPECT_EQ(form1->FPhotoDir, app.Dir());
    EXPECT_FALSE(form1->FStartingUp);
    EXPECT_EQ(form1->FPaper.width, 1051);
    EXPECT_EQ(form1->FFrameBaseW, 378);
    EXPECT_EQ(form1->FFrameMaxH, 2480);
    EXPECT_GE(form1->width(), 1024);
    EXPECT_GE(form1->height(), 755);
    for (QWidget* w :
         {(QWidget*)form1->BitBtn1, (QWidget*)form1->BitBtn2, (QWidget*)form1->BitBtn14,
          (QWidget*)form1->BitBtn16, (QWidget*)form1->ComboBox2, (QWidget*)form1->Edit3,
          (QWidget*)form1->CheckBox1, (QWidget*)form1->CheckBox2})
        EXPECT_TRUE(w->isEnabled()) << w->metaObject()->className();
    for (QWidget* w :
         {(QWidget*)form1->BitBtn3, (QWidget*)form1->BitBtn9, (QWidget*)form1->BitBtn4,
          (QWidget*)form1->ComboBox1, (QWidget*)form1->SpeedButton1, (QWidget*)form1->CheckBox5})
        EXPECT_FALSE(w->isEnabled()) << S(
            qobject_cast<QAbstractButton*>(w) ? qobject_cast<QAbstractButton*>(w)->text() : "");
    EXPECT_FALSE(form1->BitBtn10->isVisible());
    EXPECT_FALSE(form1->BitBtn11->isVisible());
    EXPECT_FALSE(form1->CheckBox3->isVisible());
    EXPECT_FALSE(form1->CheckBox4->isVisible());
    EXPECT_TRUE(form1->CheckBox1->isChecked());
    EXPECT_FALSE(form1->CheckBox2->isChecked());
    EXPECT_EQ(form1->ComboBox1->currentText(), "100%");
    EXPECT_EQ(form1->ComboBox1->count(), 4);
    EXPECT_EQ(form1->Edit4->text(), "0");
    EXPECT_EQ(form1->BitBtn14->text(), T("終了(&C)"));
    EXPECT_EQ(form1->BitBtn14->size(), QSize(107, 65));
    EXPECT_EQ(form1->BitBtn14->x(), form1->width() - 120);
}

TEST_F(FormTest, StatusBarPanelsFitTheWindowWithTheLastReachingItsEdge) {
    ShowMain();
    const QList<QLabel*> panels = form1->StatusBar1->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 4);
    EXPECT_EQ(form1->minimumWidth(), 1024);  // the panels do not widen the window
    for (const int width : {1024, 1400}) {
        SCOPED_TRACE(width);
        form1->resize(width, 800);
        QCoreApplication::processEvents();
        const QWidget* bar = panels[3]->parentWidget();
        const int lastRight = panels[3]->x() + panels[3]->width() + 2;
        EXPECT_EQ(lastRight, bar->width());  // not cut off, and no gap after it
        EXPECT_GE(panels[3]->width() + 2, 50);
        EXPECT_EQ(panels[0]->width() + 2, 300);
        EXPECT_EQ(panels[2]->width() + 2, 200);
        EXPECT_EQ(panels[1]->x(), 300);
        EXPECT_LE(panels[1]->width() + 2, 500);
        EXPECT_EQ(panels[2]->x(), panels[1]->x() + panels[1]->width() + 2);
    }
    form1->SetStatusText(2, "回転角 0.000000");
    EXPECT_EQ(form1->StatusText(2), "回転角 0.000000");
}

TEST_F(FormTest, SetControlsEnabledLeavesNewButtonAloneWhenDisabling) {
    ShowMain();
    form1->SetControlsEnabled(true);
    for (QWidget* w :
         {(QWidget*)form1->BitBtn3, (QWidget*)form1->BitBtn5, (QWidget*)form1->BitBtn8,
          (QWidget*)form1->ComboBox1, (QWidget*)form1->CheckBox5, (QWidget*)form1->SpeedButton1})
        EXPECT_TRUE(w->isEnabled());
    form1->BitBtn1->setEnabled(true);
    form1->SetControlsEnabled(false);
    EXPECT_TRUE(form1->BitBtn1->isEnabled());
    EXPECT_FALSE(form1->BitBtn2->isEnabled());
    EXPECT_FALSE(form1->BitBtn9->isEnabled());
    form1->BitBtn1->setEnabled(false);
    form1->SetControlsEnabled(true);
    EXPECT_TRUE(form1->BitBtn1->isEnabled());
    // Exit, settings and the layout list are never touched.
    form1->SetControlsEnabled(false);
    EXPECT_TRUE(form1->BitBtn14->isEnabled());
    EXPECT_TRUE(form1->BitBtn16->isEnabled());
    EXPECT_TRUE(form1->ComboBox2->isEnabled());
}

TEST_F(FormTest, WindowNeverShrinksBelowMinimumAndRefusesResizeWhileBusy) {
    ShowMain();
    int w = 800, h = 600;
    EXPECT_TRUE(form1->FormCanResize(w, h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 755);
    w = 1300;
    h = 900;
    EXPECT_TRUE(form1->FormCanResize(w, h));
    EXPECT_EQ(w, 1300);
    form1->resize(1300, 900);
    QCoreApplication::processEvents();
    EXPECT_EQ(form1->size(), QSize(1300, 900));
    EXPECT_EQ(form1->BitBtn14->x(), 1300 - 120);
    EXPECT_EQ(form1->ScrollBox1->width(), 1300 - 24);
    EXPECT_EQ(form1->ScrollBox1->height(), 900 - form1->ScrollBox1->y() - 65);
    form1->FBusy = true;
    EXPECT_FALSE(form1->FormCanResize(w, h));
    form1->resize(1100, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(form1->size(), QSize(1300, 900));
    form1->FBusy = false;
    // Before a photo is loaded a resize only lays out: no frame appears.
    EXPECT_FALSE(form1->Image3->isVisible());
}

TEST_F(FormTest, StartUpLocksTheSizeUntilShown) {
    int w = 1500, h = 1000;
    EXPECT_TRUE(form1->FStartingUp);
    EXPECT_TRUE(form1->FormCanResize(w, h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 755);
}

TEST_F(FormTest, MemoryReportFillsTheSettingsMemoWithElevenLines) {
    form1->ShowMemoryReport();
    const QStringList lines = form2->Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines[0].startsWith(T("プロセスID")));
    EXPECT_TRUE(lines[10].startsWith(T("現在ページングファイル")));
}

TEST_F(FormTest, SettingsButtonShowsTheDialogWithoutBlocking) {
    ShowMain();
    form1->BitBtn16->click();
    EXPECT_TRUE(form2->isVisible());
    EXPECT_FALSE(form2->isModal());
    EXPECT_EQ(form2->height(), 600);
    form2->BitBtn11->click();
    EXPECT_FALSE(form2->isVisible());
}

TEST_F(FormTest, PreviewWindowStartsWhite) {
    EXPECT_EQ(form3->windowTitle(), T("プレビュー"));
    EXPECT_EQ(form3->Image1->height(), 712);
    EXPECT_EQ(form3->Image1->Picture().Pixel(0, 0), kWhite);
    EXPECT_FALSE(form3->isVisible());
}

struct SliderDefault {
    const char* name;
    int min, max, value, page;
};

class SettingsDefaults : public FormTest, public ::testing::WithParamInterface<SliderDefault> {};

TEST_P(SettingsDefaults, SliderStartsAtItsDefault) {
    const SliderDefault d = GetParam();
    const std::map<std::string, QSlider*> sliders{{"TrackBar4", form2->TrackBar4},
                                                  {"TrackBar3", form2->TrackBar3},
                                                  {"TrackBar1", form2->TrackBar1},
                                                  {"TrackBar2", form2->TrackBar2},
                                                  {"TrackBar6", form2->TrackBar6}};
    QSlider* s = sliders.at(d.name);
    EXPECT_EQ(s->minimum(), d.min);
    EXPECT_EQ(s->maximum(), d.max);
    EXPECT_EQ(s->value(), d.value);
    EXPECT_EQ(s->pageStep(), d.page);
}

INSTANTIATE_TEST_SUITE_P(Form2, SettingsDefaults,
                         ::testing::Values(SliderDefault{"TrackBar4", 0, 100, 90, 10},
                                           SliderDefault{"TrackBar3", 50, 100, 80, 1},
                                           SliderDefault{"TrackBar1", 0, 100, 50, 1},
                                           SliderDefault{"TrackBar2", 1, 10, 3, 1},
                                           SliderDefault{"TrackBar6", 100, 1000, 200, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, SettingsCheckBoxesStartAtTheirDefaults) {
    for (QCheckBox* on : {form2->CheckBox16, form2->CheckBox7, form2->CheckBox11, form2->CheckBox12,
                          form2->CheckBox14, form2->CheckBox3, form2->CheckBox1, form2->CheckBox2,
                          form2->CheckBox5, form2->CheckBox8, form2->CheckBox10, form2->CheckBox6})
        EXPECT_TRUE(on->isChecked()) << S(on->text());
    for (QCheckBox* off : {form2->CheckBox9, form2->CheckBox15})
        EXPECT_FALSE(off->isChecked()) << S(off->text());
    EXPECT_EQ(form2->CheckBox16->text(), T("長辺が3000pixel以上の画像は縮小してから自動認識する"));
    EXPECT_FALSE(form2->BitBtn1->isDefault());
}

TEST_F(FormTest, RecogniseOnLoadNeedsTheCascadeFile) {
    form2->CheckBox4->setChecked(false);
    host.dialogs.shown.clear();
    form2->CheckBox4->setChecked(true);
    ASSERT_EQ(host.dialogs.shown.size(), 1u);
    EXPECT_EQ(host.dialogs.shown[0].text, "顔認識用のXMLデータが見つかりません。");
    EXPECT_EQ(host.dialogs.shown[0].caption, "Kambrix");
    EXPECT_FALSE(form2->CheckBox4->isChecked());

    app.Write("haarcascade_frontalface_default.xml", "<opencv_storage/>");
    host.dialogs.shown.clear();
    form2->CheckBox4->setChecked(true);
    EXPECT_TRUE(host.dialogs.shown.empty());
    EXPECT_TRUE(form2->CheckBox4->isChecked());
}

TEST_F(FormTest, KeepSelectionSwitchesRecognitionOnLoadOff) {
    SetRecognitionOnLoad(true);
    form1->CheckBox4->setChecked(true);
    EXPECT_FALSE(form2->CheckBox4->isChecked());
}
