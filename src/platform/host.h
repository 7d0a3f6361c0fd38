#pragma once
// The services the program asks of its surroundings: message boxes and
// questions, file dialogs, the shell's "open", the event pump and waiting.
// The windows give Qt implementations; the tests give scripted ones.
#include <functional>
#include <string>
#include <vector>

enum class MessageKind { Plain, Information, Warning, Error };

struct FileDialogRequest {
    std::string title;
    std::string initialFolder;
    std::string filter;     // "Name (*.ext)|*.ext" pairs, as the layout dialog gives them
    bool pictures = false;  // the picture dialog (photos) rather than the plain file dialog
    bool multiSelect = false;
};

class IDialogs {
  public:
    virtual ~IDialogs() = default;
    // A modal box with an OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageKind kind = MessageKind::Plain) = 0;
    // A modal question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // The chosen paths; empty when the user cancelled.
    virtual std::vector<std::string> OpenFiles(const FileDialogRequest& request) = 0;
};

class IShell {
  public:
    virtual ~IShell() = default;
    // Opens a folder or document with the desktop's default handler.
    virtual bool Open(const std::string& path) = 0;
};

class IEventPump {
  public:
    virtual ~IEventPump() = default;
    // Lets pending window events run.
    virtual void ProcessEvents() = 0;
    // Waits, keeping the window alive.
    virtual void Wait(int milliseconds) = 0;
};

// Long kernels call this between bands of rows; empty = nothing to pump.
using YieldFn = std::function<void()>;

// Everything the windows need from outside, in one bundle.
struct Host {
    IDialogs* dialogs = nullptr;
    IShell* shell = nullptr;
    IEventPump* pump = nullptr;
};
