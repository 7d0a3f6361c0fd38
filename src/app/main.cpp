// Kambrix: identity-photo print sheets from portrait photographs.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/qt_host.h"
#include "app/ui_text.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {
// Anything thrown out of an event handler ends up here and is shown, as the
// application's exception box would; the program goes on.
class KambrixApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowError(e.what());
        } catch (...) {
            ShowError("");
        }
        return false;
    }

  private:
    static void ShowError(const char* what) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kTitle), QString::fromUtf8(what));
    }
};
}  // namespace

int main(int argc, char** argv) {
    KeepPictureMemoryForReuse();
    // Relative paths on the command line are the caller's: read before the
    // window makes the program folder current.
    const std::string startFolder = CurrentFolder();
    KambrixApplication app(argc, argv);  // takes Qt's own options out of argv
    app.setApplicationName(QString::fromUtf8(kTitle));
    app.setFont(WindowFont());
    InstallQtTranslations();  // without them the standard dialogs speak English

    const std::string appDir = ExecutableFolder();
    if (appDir.size() >= kMaxPathBytes) {
        QMessageBox::critical(
            nullptr, QString::fromUtf8(kTitle),
            QString::fromUtf8("プログラムのフォルダのパスが長すぎます（%1バイト）。%2バイト未満の"
                              "フォルダに置いて起動して下さい。\n%3")
                .arg(appDir.size())
                .arg(kMaxPathBytes)
                .arg(QString::fromStdString(appDir)));
        return 1;
    }

    QtHost host;
    TForm1 form1(appDir, host.Get());
    host.dialogs.SetOwner(&form1);
    TForm2 form2(&form1, host.Get());
    TForm3 form3;
    form1.AttachWindows(&form2, &form3);
    form1.show();
    OpenStartupPaths(form1, std::vector<std::string>(argv + 1, argv + argc), startFolder);
    return app.exec();
}
