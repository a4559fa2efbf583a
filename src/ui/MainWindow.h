// SPDX-License-Identifier: MIT
#pragma once
// The main window: title line, the seven tabs, Reset and Exit, the status bar and the menu.
// It is a front end of the session core: it observes the session, lends it Qt's event loop and
// assembles the tab rooms.
#include "QtEventLoop.h"
#include "Session.h"
#include "Trace.h"
#include "ui_MainWindow.h"
#include "widgets/Controls.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QTabWidget;

namespace r8::ui {

class TabRoom;
class AdjustTab;
class DebugTab;
class DefectTab;
class CopyTab;
class EasyTab;
class LineTab;
class MaskTab;
class TFMR8V2;
class TFSR8V2;
class TKizuInfo;
class TrafficWindow;
class PortChooser;

class TFR8V2 : public QMainWindow, public Ui::MainWindowForm, public SessionObserver {
    Q_OBJECT
public:
    // port is the serial component to use; nullptr makes the window own a TComm.
    explicit TFR8V2(SerialPort* port = nullptr, QWidget* parent = nullptr);
    ~TFR8V2() override;

    // Window events.
    void FormCreate();
    void FormDestroy();
    void ExitClick();
    // Closes without asking (a signal): a running copy is stopped first.
    void Quit();
    void SW1Click();
    // Menu "Option" > "Traffic": the traffic trace window.
    void TrafficClick();
    // Menu "Help" > "About": version, licence, the port and what the camera reported.
    void AboutClick();
    // Menu "Camera" > "Port...": the port chooser; the port picked there is connected to.
    void PortClick();
    PortChooser* Chooser() const { return chooser_; }
    // Searches the camera on every serial port of the machine (the program started without
    // --com1/--com2), the port it last answered on first.
    void SearchAllPorts();
    // The port the camera answers on is kept (QSettings) for the next start.
    void RememberPort(bool on) { rememberPort_ = on; }
    static std::string RememberedPort();
    void PageControl1Change();
    void pwlChange();
    void Panel1DblClick() {}
    void SW_push(uint8_t sw);

    // Makes a page active from code; the tab-change handler runs only for the operator's changes.
    void SetActivePage(int index);
    void SetTabVisible(int index, bool on);
    // Shows and focuses the hidden service field.
    void ShowServiceField();
    void SetSwitchPanel(TFSR8V2* panel);
    void SetAdjustInfoWindow(TKizuInfo* window) { adjustInfo_ = window; }
    // The defect tab's "Info": the adjust-parameter window for the camera's TV system.
    void ShowAdjustInfo();
    // The MASK tab shows its masks in this window.
    void SetMaskPreview(TFMR8V2* preview);

    void ReLoadClick() { session_->ReLoadClick(); }
    // After every answer: the Adjust tab's ATW presets follow its "ATW" box.
    void Trans_cstm_hidden();

    // SessionObserver
    int ActivePage() const override;
    void StatusText(int panel, const std::string& text) override;
    void Message(const std::string& text, const std::string& caption, int buttons) override;
    void Busy(bool on) override;
    void LinkUp(bool on) override;
    void PanelsEnabled(bool on) override;
    void OrderCount(int count) override;
    void AnswerArrived() override { Trans_cstm_hidden(); }
    void ResetAcknowledged() override;
    void LinkLost() override;
    void RefreshCursor() override;
    void SearchNote(const std::string& text) override;

    Session& Core() { return *session_; }
    // Every byte of the session's port, as text; the Traffic window and --trace read it.
    r8::Trace& Traffic() { return traffic_; }
    TrafficWindow& TrafficView() { return *trafficWindow_; }
    SerialPort& Comm1() { return session_->Port(); }
    CameraLink& Link() { return session_->Link(); }
    PageLoader& Loader() { return session_->Loader(); }
    TabRoom& Room(int page) const { return *rooms_[page]; }
    bool Terminated() const { return terminated_; }

    // The frame's controls come with its form (Panelbase, Title, PageControl1, pwl...).
    StatusBar* StatusBar1;
    QAction* ReLoad;
    QAction* PortItem;
    QAction* Reset1;
    QAction* Exit;
    QAction* SW1;
    QAction* TrafficItem;
    QMenu* Help;
    QAction* About1;

    LoopTimer* SendTimer;
    LoopTimer* cursor_timer;
    Timer* ReloadTimer;

    AdjustTab* Adjust;
    DebugTab* Debug;
    DefectTab* Defect;
    CopyTab* Copy;
    EasyTab* Easy;
    LineTab* Line;
    MaskTab* Mask;

    int32_t UnlockCount = 0;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    template <class Room, class... Args> Room* addRoom(int page, Args&&... args);
    void buildFrame();
    void buildMenu();
    void Reset1Click();
    void ReloadTimerTimer();
    void CopyRunning(bool on);

    QtEventLoop loop_{this};
    r8::Trace traffic_; // outlives the session, whose port it traces
    std::unique_ptr<Session> session_;
    std::array<std::unique_ptr<TabRoom>, kPageGroups> rooms_;
    std::unique_ptr<TrafficWindow> trafficWindow_; // collects from the start, shown on demand
    TFSR8V2* switchPanel_ = nullptr;
    TKizuInfo* adjustInfo_ = nullptr;
    TFMR8V2* maskPreview_ = nullptr;
    bool copyRunning_ = false;
    bool quitting_ = false; // close without asking
    bool busyCursor_ = false;
    bool settingPage_ = false;
    bool terminated_ = false;
    bool linkUp_ = false;
    bool rememberPort_ = false;
    std::string remembered_; // what was last written
    PortChooser* chooser_ = nullptr;
};

} // namespace r8::ui
