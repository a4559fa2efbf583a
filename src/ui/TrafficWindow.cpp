// SPDX-License-Identifier: MIT
#include "TrafficWindow.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QTextBlock>

namespace r8::ui {

TrafficWindow::TrafficWindow(Trace& trace, QWidget* parent)
    : QWidget(parent, Qt::Window), trace_(trace) {
    setObjectName("Traffic");
    setupUi(this);
    TrafficView->setMaximumBlockCount(kMaxLines);
    TrafficView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    PauseButton->OnClick = [this] { PauseClick(); };
    ClearButton->OnClick = [this] { ClearClick(); };
    SaveButton->OnClick = [this] { SaveClick(); };

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
        TrafficView->appendPlainText(line);
    } else {
        waiting_.push_back(line);
        if (waiting_.size() > static_cast<size_t>(kMaxLines)) waiting_.pop_front();
    }
    if (isVisible()) updateInfo();
}

void TrafficWindow::flushWaiting() {
    if (paused_ || !isVisible()) return;
    for (const QString& line : waiting_)
        TrafficView->appendPlainText(line);
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
    TrafficView->clear();
    waiting_.clear();
    updateInfo();
}

void TrafficWindow::SaveClick() {
    const QString path = AskSavePath ? AskSavePath() : QString();
    if (path.isEmpty()) return;
    QFile file(path);
    QString text = TrafficView->toPlainText();
    if (!text.isEmpty()) text += '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
        file.write(text.toUtf8()) < 0 || !file.flush()) {
        MessageBox("Cannot write " + path + ": " + file.errorString(), "Traffic", MbOk);
        return;
    }
    TrafficInfo->setText("Saved " + path);
}

QStringList TrafficWindow::Lines() const {
    if (TrafficView->document()->isEmpty()) return {};
    return TrafficView->toPlainText().split('\n');
}

void TrafficWindow::updateInfo() {
    const int shown =
        TrafficView->document()->isEmpty() ? 0 : TrafficView->document()->blockCount();
    QString text = QString("%1 lines").arg(shown);
    if (paused_) text += QString(", paused: %1 new lines held").arg(waiting_.size());
    TrafficInfo->setText(text);
}

} // namespace r8::ui
