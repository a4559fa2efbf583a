#pragma once
// The main window: title line, the seven tabs, Reset and Exit, the status bar and the menu.
// It owns the serial port, the camera link and the page loader, and assembles the tab rooms.
#include "CameraLink.h"
#include "Comm.h"
#include "PageLoader.h"
#include "TransferHost.h"
#include "widgets/Controls.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QSocketNotifier;
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
class TFSR8V2;

class TFR8V2 : public QMainWindow, public LinkHost, public TransferHost {
    Q_OBJECT
public:
    // port is the serial component to use; nullptr makes the window own a TComm.
    explicit TFR8V2(SerialPort* port = nullptr, QWidget* parent = nullptr);
    ~TFR8V2() override;

    // Window events.
    void FormCreate();
    void FormDestroy();
    void ExitClick();
    void SW1Click();
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

    // LinkHost
    void SetStatusText(int panel, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption, int buttons) override;
    void SetPageControlEnabled(bool on) override;
    void SetScreenCursor(bool busy) override;
    void SetCursorTimerEnabled(bool on) override;
    void SetSendTimerEnabled(bool on) override;
    void CopyProgressToMax() override;
    void ReLoadClick() override;
    void AnswerArrived() override;
    void CloseCopyFile() override;
    void Terminate() override;

    // TransferHost
    int ActivePage() const override;
    void SetTabPanelsEnabled(bool on) override;
    void ShowOrderCount(int count) override;
    void EnableWhiteBalanceControls() override;
    void RefreshCursor() override;
    void Post(std::function<void()> fn) override;
    void Trans_end_common() override;
    void TabAnswer(int page) override;
    void Trans_cstm_hidden() override;

    SerialPort& Comm1() { return *comm_; }
    CameraLink& Link() { return *link_; }
    PageLoader& Loader() { return *loader_; }
    TabRoom& Room(int page) const { return *rooms_[page]; }
    bool Terminated() const { return terminated_; }

    // Controls of the frame.
    Panel* Panelbase;
    Panel* Panel1;
    Label* Title;
    Label* TV;
    Label* Resolution;
    Label* Order;
    QTabWidget* PageControl1;
    Button* ResetButton;
    Button* ExitButton;
    Edit* pwl;
    StatusBar* StatusBar1;
    QAction* ReLoad;
    QAction* Reset1;
    QAction* Exit;
    QAction* SW1;
    QMenu* Help;

    Timer* SendTimer;
    Timer* cursor_timer;
    Timer* ReloadTimer;

    AdjustTab* Adjust;
    DebugTab* Debug;
    DefectTab* Defect;
    CopyTab* Copy;
    EasyTab* Easy;
    LineTab* Line;
    MaskTab* Mask;

    uint8_t IrLoading = 0;
    int32_t UnlockCount = 0;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    template <class Room> Room* addRoom(int page);
    void buildFrame();
    void buildMenu();
    void Reset1Click();
    void ReloadTimerTimer();

    std::unique_ptr<TComm> ownComm_;
    SerialPort* comm_;
    std::unique_ptr<CameraLink> link_;
    std::unique_ptr<PageLoader> loader_;
    std::array<std::unique_ptr<TabRoom>, kPageGroups> rooms_;
    QSocketNotifier* commNotifier_ = nullptr;
    TFSR8V2* switchPanel_ = nullptr;
    bool busyCursor_ = false;
    bool settingPage_ = false;
    bool terminated_ = false;
};

} // namespace r8::ui
