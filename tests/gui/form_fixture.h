#pragma once
// The three windows on a temporary program folder with scripted dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <memory>

#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

class FormTest : public ::testing::Test {
  protected:
    // Files to place in the program folder before the windows are made.
    virtual void PrepareProgramFolder(const TempFolder&) {}

    void SetUp() override {
        PrepareProgramFolder(app);
        form1 = std::make_unique<TForm1>(app.Dir(), host.Get());
        form2 = std::make_unique<TForm2>(form1.get(), host.Get());
        form3 = std::make_unique<TForm3>();
        form1->AttachWindows(form2.get(), form3.get());
    }
    void TearDown() override {
        form1.reset();
        form2.reset();
        form3.reset();
    }
    // Sets the settings' "recognise on load" box without its click handler
    // (which checks for the cascade file).
    void SetRecognitionOnLoad(bool on) {
        form2->CheckBox4->blockSignals(true);
        form2->CheckBox4->setChecked(on);
        form2->CheckBox4->blockSignals(false);
    }
    void ShowMain() {
        form1->show();
        QCoreApplication::processEvents();
    }

    TempFolder app;
    ScriptedHost host;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
};

// A minimal layout file text: paper keys and `count` equal places.
std::string LayoutText(int width, int height, int count, int slotW = 378, int slotH = 496);
