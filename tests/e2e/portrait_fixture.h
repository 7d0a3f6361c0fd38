#pragma once
// The main window on the real program folder (face library, cascades,
// layouts) with a shared portraits folder to read: skipped when that folder
// is not here. Nothing is written beside the shared photos; the outputs go
// to a temporary save folder.
#include <QCheckBox>
#include <QLineEdit>

#include "gui/form_fixture.h"

class PortraitFormTest : public FormTest {
  protected:
    static constexpr const char* kPassportLayout = "35x45mm_L判_4枚_パスポート.ini";

    // Whether opening a photo frames it (the settings' "recognise on load").
    virtual bool RecogniseOnLoad() const { return true; }
    // The layout loaded from the program folder; "" keeps the built-in one.
    virtual std::string LayoutName() const { return kPassportLayout; }

    void SetUp() override {
        folder = PortraitsFolder();
        if (folder.empty())
            GTEST_SKIP() << "the shared portraits (../shared/testdata/portraits) are not here";
        FormTest::SetUp();
        form1->FAppDir = ProgramDir().string() + "/";
        if (!LayoutName().empty()) {
            ASSERT_TRUE(form1->LoadLayout(form1->FAppDir + LayoutName()));
        }
        SetRecognitionOnLoad(RecogniseOnLoad());
        form2->CheckBox6->setChecked(false);  // no faces or training lines written
        form1->Edit3->setText(QString::fromStdString(out.Dir()));
        form1->show();
    }
    // Opens `path` through the open button's dialog.
    void Open(const std::string& path) {
        host.dialogs.fileAnswers = {{path}};
        form1->BitBtn2Click();
    }

    std::string folder;
    TempFolder out;
};
