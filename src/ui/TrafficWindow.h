// SPDX-License-Identifier: MIT
#pragma once
// The Traffic window: the traffic trace of the camera line, live, for service engineers.
// Pause holds new lines back until it is pressed again; Clear empties the view; Save writes
// the lines shown to a text file. While the window is hidden its lines wait outside the view,
// so that the trace costs the window thread next to nothing until someone looks.
//
// Lines arrive from the trace on the thread that reads and writes the port, which is the
// window thread; the window adds them directly.
#include "Trace.h"
#include "ui_TrafficWindow.h"
#include "widgets/Controls.h"

#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>

namespace r8::ui {

class TrafficWindow : public QWidget, public Ui::TrafficWindowForm {
    Q_OBJECT
public:
    // Lines kept in the view, and waiting while paused or hidden; older ones give way.
    static constexpr int kMaxLines = 5000;

    // Collects the trace's lines from now on, shown or not.
    explicit TrafficWindow(Trace& trace, QWidget* parent = nullptr);
    ~TrafficWindow() override;

    void AddLine(const QString& line);
    void PauseClick();
    void ClearClick();
    void SaveClick();

    bool Paused() const { return paused_; }
    // The lines in the view, oldest first.
    QStringList Lines() const;
    // Lines not in the view yet (paused or hidden).
    int Held() const { return static_cast<int>(waiting_.size()); }

    // Asks for the file Save writes; an empty answer writes nothing. The default is a save
    // dialog; tests put an answer of their own here.
    std::function<QString()> AskSavePath;

    // The form gives the view TrafficView, PauseButton, ClearButton, SaveButton and the line
    // count TrafficInfo.

protected:
    void showEvent(QShowEvent* e) override;

private:
    void flushWaiting();
    void updateInfo();

    Trace& trace_;
    int sink_;
    bool paused_ = false;
    std::deque<QString> waiting_;
};

} // namespace r8::ui
