#include "app/qt_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <QUrl>

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

QWidget* QtDialogs::Owner() const {
    QWidget* active = QApplication::activeWindow();
    return active ? active : owner_;
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageKind kind) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
        case MessageKind::Information:
            icon = QMessageBox::Information;
            break;
        case MessageKind::Warning:
            icon = QMessageBox::Warning;
            break;
        case MessageKind::Error:
            icon = QMessageBox::Critical;
            break;
        case MessageKind::Plain:
            break;
    }
    QMessageBox box(icon, Q(caption), Q(text), QMessageBox::Ok, Owner());
    box.exec();
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No,
                    Owner());
    return box.exec() == QMessageBox::Yes;
}

QString QtFilterFromPairs(const std::string& pairs) {
    const QStringList parts = Q(pairs).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) filters << parts[i];
    return filters.join(";;");
}

std::vector<std::string> QtDialogs::OpenFiles(const FileDialogRequest& request) {
    QFileDialog dialog(Owner(), Q(request.title), Q(request.initialFolder));
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    if (!request.filter.empty())
        dialog.setNameFilter(QtFilterFromPairs(request.filter));
    else if (request.pictures)
        dialog.setNameFilter(QObject::tr("JPEG (*.jpg *.jpeg *.JPG *.JPEG);;* (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    std::vector<std::string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.selectedFiles()) chosen.push_back(f.toStdString());
    return chosen;
}

bool QtShell::Open(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Q(path)));
}

void QtEventPump::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::Wait(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}
