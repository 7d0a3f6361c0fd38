#pragma once
// The host services on Qt: message boxes, file dialogs, the desktop's "open",
// the event pump.
#include <QWidget>

#include "platform/host.h"

class QtDialogs : public IDialogs {
  public:
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageKind kind) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    std::vector<std::string> OpenFiles(const FileDialogRequest& request) override;
    // The window a box or dialog belongs to: the active one (the settings
    // dialog when its button asked), else the main window. A box owned by
    // the main window would bring it up over the settings.
    QWidget* Owner() const;

  private:
    QWidget* owner_;
};

class QtShell : public IShell {
  public:
    bool Open(const std::string& path) override;
};

class QtEventPump : public IEventPump {
  public:
    void ProcessEvents() override;
    void Wait(int milliseconds) override;
};

// The three together, for the program.
struct QtHost {
    QtDialogs dialogs;
    QtShell shell;
    QtEventPump pump;
    Host Get() { return {&dialogs, &shell, &pump}; }
};

// Qt's file-dialog filter from "Name (*.ext)|*.ext|..." pairs.
QString QtFilterFromPairs(const std::string& pairs);
