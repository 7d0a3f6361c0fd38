#pragma once
// Test doubles of the host services: answers are queued in advance and every
// text shown is recorded.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/host.h"

struct ShownMessage {
    std::string text;
    std::string caption;
    bool question = false;
};

class ScriptedDialogs : public IDialogs {
  public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageKind) override {
        shown.push_back({text, caption, false});
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption, true});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> OpenFiles(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (fileAnswers.empty()) return {};
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown) t.push_back(m.text);
        return t;
    }

    std::vector<ShownMessage> shown;
    std::deque<bool> answers;                          // Yes = true
    std::deque<std::vector<std::string>> fileAnswers;  // {} = cancel
    std::vector<FileDialogRequest> requests;
};

class ScriptedShell : public IShell {
  public:
    bool Open(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    std::vector<std::string> opened;
};

class ScriptedPump : public IEventPump {
  public:
    // `action`, when set, runs inside every pump: what a user does while an
    // operation lets the window's events through (a click, a drop).
    void ProcessEvents() override {
        ++pumps;
        if (action) action();
    }
    void Wait(int milliseconds) override { waited += milliseconds; }
    int pumps = 0;
    int waited = 0;
    std::function<void()> action;
};

struct ScriptedHost {
    ScriptedDialogs dialogs;
    ScriptedShell shell;
    ScriptedPump pump;
    Host Get() { return {&dialogs, &shell, &pump}; }
};
