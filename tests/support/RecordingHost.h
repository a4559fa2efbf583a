// SPDX-License-Identifier: MIT
#pragma once
// A link host that records what the link asks of the window.
#include "LinkHost.h"

#include <functional>
#include <string>
#include <vector>

namespace r8::test {

struct Message {
    std::string text, caption;
    int buttons;
};

class RecordingHost : public LinkHost {
public:
    void SetStatusText(int panel, const std::string& text) override { status[panel] = text; }
    void ShowMessage(const std::string& text, const std::string& caption, int buttons) override {
        messages.push_back({text, caption, buttons});
    }
    void SetPageControlEnabled(bool on) override { pageControlEnabled = on; }
    void SetScreenCursor(bool busy) override { busyCursor = busy; }
    void SetCursorTimerEnabled(bool on) override { cursorTimer = on; }
    void SetSendTimerEnabled(bool on) override { sendTimer = on; }
    void CopyProgressToMax() override { ++progressToMax; }
    void ReLoadClick() override {
        ++reloads;
        if (onReload) onReload();
    }
    void AnswerArrived() override {
        ++answers;
        if (onAnswer) onAnswer();
    }
    void CloseCopyFile() override { ++copyFileCloses; }
    void Terminate() override { ++terminations; }

    std::string status[4];
    std::vector<Message> messages;
    bool pageControlEnabled = false;
    bool busyCursor = false;
    bool cursorTimer = false;
    bool sendTimer = false;
    int progressToMax = 0;
    int reloads = 0;
    int answers = 0;
    int copyFileCloses = 0;
    int terminations = 0;
    std::function<void()> onReload;
    std::function<void()> onAnswer;
};

} // namespace r8::test
