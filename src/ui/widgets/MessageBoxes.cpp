// SPDX-License-Identifier: MIT
// Message boxes: a replaceable sink, by default modal QMessageBoxes.
#include "Controls.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>

#include <cstdio>

namespace r8::ui {
namespace {

// Every box is also one line on stderr (time, caption, text), written before the box waits for
// the operator, so that a report survives a box nobody reads.
void logShown(const QString& text, const QString& caption) {
    QString flat = text;
    flat.replace("\r\n", " | ").replace('\n', " | ").replace('\r', " | ");
    const QString line = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz") + " " +
                         caption + ": " + flat + "\n";
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QMessageBox::StandardButtons buttonsFor(int code) {
    switch (code) {
    case MbOkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MbAbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    default:
        return QMessageBox::Ok;
    }
}

class DialogSink final : public MessageSink {
public:
    int Show(const QString& text, const QString& caption, int buttons) override {
        logShown(text, caption);
        QMessageBox box(QMessageBox::NoIcon, caption, text, buttonsFor(buttons),
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        return box.exec();
    }

    bool Confirm(const QString& text, const QString& caption) override {
        logShown(text, caption);
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }
};

DialogSink dialogSink;
MessageSink* currentSink = &dialogSink;

} // namespace

void SetMessageSink(MessageSink* sink) {
    currentSink = sink ? sink : &dialogSink;
}

MessageSink& Messages() {
    return *currentSink;
}

int MessageBox(const QString& text, const QString& caption, int buttons) {
    return Messages().Show(text, caption, buttons);
}

} // namespace r8::ui
