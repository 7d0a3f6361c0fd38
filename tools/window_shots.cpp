// Pictures of the three windows for the documentation and for looking at the
// program as a user does: kambrix_window_shots OUT_FOLDER [PHOTO]. Opens the
// photo (when given) in the main window, shows the settings dialog and the
// preview, and writes main_window.png, settings.png and preview.png.
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <string>

#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/qt_host.h"
#include "app/ui_text.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(WindowFont());
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUT_FOLDER [PHOTO]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QtHost host;
    TForm1 form1(ExecutableFolder(), host.Get());
    TForm2 form2(&form1, host.Get());
    TForm3 form3;
    form1.AttachWindows(&form2, &form3);
    form2.CheckBox4->blockSignals(true);
    form2.CheckBox4->setChecked(false);  // no recognition: framing is shown as loaded
    form1.show();
    if (argc > 2) {
        form1.ResetWorkspace();
        form1.FPhotoDir = FolderOf(argv[2]);
        form1.OpenPhoto(argv[2], true);
    }
    form2.show();
    form3.show();
    QTimer::singleShot(500, [&] {
        form1.grab().save(out + "/main_window.png");
        form2.grab().save(out + "/settings.png");
        form3.grab().save(out + "/preview.png");
        app.quit();
    });
    return app.exec();
}
