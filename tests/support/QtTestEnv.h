// SPDX-License-Identifier: MIT
#pragma once
// One QApplication for a whole test program, and a message sink that records instead of
// opening modal boxes.
#include "widgets/Controls.h"

#include <QApplication>
#include <QString>
#include <gtest/gtest.h>

#include <vector>

namespace r8::test {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "r8v5mc-test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

struct ShownMessage {
    QString text, caption;
    int buttons;
};

class RecordingSink : public ui::MessageSink {
public:
    RecordingSink() { ui::SetMessageSink(this); }
    ~RecordingSink() override { ui::SetMessageSink(nullptr); }
    int Show(const QString& text, const QString& caption, int buttons) override {
        shown.push_back({text, caption, buttons});
        return 0;
    }
    bool Confirm(const QString& text, const QString& caption) override {
        shown.push_back({text, caption, 0});
        return confirmAnswer;
    }
    std::vector<ShownMessage> shown;
    bool confirmAnswer = true;
};

} // namespace r8::test
