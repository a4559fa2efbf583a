// SPDX-License-Identifier: MIT
#include "TrafficWindow.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

namespace r8::ui {

TrafficWindow::TrafficWindow(Trace& trace, QWidget* parent)
    : QWidget(parent, Qt::Window), trace_(trace) {
    setObjectName("Traffic");
    setWindowTitle("Traffic");
    resize(900, 420);

    View = new QPlainTextEdit(this);
    View->setObjectName("TrafficView");
    View->setReadOnly(true);
    View->setLineWrapMode(QPlainTextEdit::NoWrap);
    View->setMaximumBlockCount(kMaxLines);
    View->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    PauseButton = new Button("Pause", this);
    PauseButton->setObjectName("PauseButton");
    PauseButton->setCheckable(true);
    PauseButton->OnClick = [this] { PauseClick(); };
    ClearButton = new Button("Clear", this);
    ClearButton->setObjectName("ClearButton");
    ClearButton->OnClick = [this] { ClearClick(); };
    SaveButton = new Button("Save...", this);
    SaveButton->setObjectName("SaveButton");
    SaveButton->OnClick = [this] { SaveClick(); };
    Info = new QLabel(this);
    Info->setObjectName("TrafficInfo");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PauseButton);
    buttons->addWidget(ClearButton);
    buttons->addWidget(SaveButton);
    buttons->addSpacing(12);
    buttons->addWidget(Info, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(View, 1);
    layout->addLayout(buttons);

    AskSavePath = [this] {
        return QFileDialog::getSaveFileName(this, "Save traffic", "r8v5mc-traffic.txt",
                                            "Text files (*.txt);;All files (*)");
    };
    sink_ =
        trace_.AddSink([this](const std::string& line) { AddLine(QString::fromStdString(line)); });
    updateInfo();
}

TrafficWindow::~TrafficWindow() {
    trace_.RemoveSink(sink_);
}

void TrafficWindow::AddLine(const QString& line) {
    if (!paused_ && isVisible()) {
        View->appendPlainText(line);
    } else {
        waiting_.push_back(line);
        if (waiting_.size() > static_cast<size_t>(kMaxLines)) waiting_.pop_front();
    }
    if (isVisible()) updateInfo();
}

void TrafficWindow::flushWaiting() {
    if (paused_ || !isVisible()) return;
    for (const QString& line : waiting_)
        View->appendPlainText(line);
    waiting_.clear();
}

void TrafficWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    flushWaiting();
    updateInfo();
}

void TrafficWindow::PauseClick() {
    paused_ = !paused_;
    PauseButton->setChecked(paused_);
    PauseButton->setText(paused_ ? "Resume" : "Pause");
    flushWaiting();
    updateInfo();
}

void TrafficWindow::ClearClick() {
    View->clear();
    waiting_.clear();
    updateInfo();
}

void TrafficWindow::SaveClick() {
    const QString path = AskSavePath ? AskSavePath() : QString();
    if (path.isEmpty()) return;
    QFile file(path);
    QString text = View->toPlainText();
    if (!text.isEmpty()) text += '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
        file.write(text.toUtf8()) < 0 || !file.flush()) {
        MessageBox("Cannot write " + path + ": " + file.errorString(), "Traffic", MbOk);
        return;
    }
    Info->setText("Saved " + path);
}

QStringList TrafficWindow::Lines() const {
    if (View->document()->isEmpty()) return {};
    return View->toPlainText().split('\n');
}

void TrafficWindow::updateInfo() {
    const int shown = View->document()->isEmpty() ? 0 : View->document()->blockCount();
    QString text = QString("%1 lines").arg(shown);
    if (paused_) text += QString(", paused: %1 new lines held").arg(waiting_.size());
    Info->setText(text);
}

} // namespace r8::ui
