// Captions are drawn with Qt's text engine, which needs a QGuiApplication:
// one offscreen application for the whole test program.
#include <gtest/gtest.h>

#include <QGuiApplication>

namespace {

class GuiApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        if (QGuiApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QGuiApplication(argc_, argv_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[20] = "kambrix_unit_sheet";
    char* argv_[2] = {name_, nullptr};
    QGuiApplication* app_ = nullptr;
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

}  // namespace
