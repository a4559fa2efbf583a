// SPDX-License-Identifier: MIT
#include "MainWindow.h"
#include "AboutBox.h"
#include "Comm.h"

#include "PortCandidates.h"
#include "PortChooser.h"
#include "SideWindows.h"
#include "TrafficWindow.h"
#include "tabs/AdjustTab.h"
#include "tabs/CopyTab.h"
#include "tabs/DebugTab.h"
#include "tabs/DefectTab.h"
#include "tabs/EasyTab.h"
#include "tabs/LineTab.h"
#include "tabs/MaskTab.h"
#include "tabs/easy/EasyLens.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace r8::ui {

namespace {

constexpr int kClientWidth = 740;
constexpr int kClientHeight = 570;

// Tab captions in page order; the page index is also the page group.
const char* const kTabCaptions[kPageGroups] = {"Adjust", "Debug", "CCD Defect", "Copy",
                                               "Easy",   "Line",  "MASK"};

} // namespace

TFR8V2::TFR8V2(SerialPort* port, QWidget* parent) : QMainWindow(parent) {
    setObjectName("FR8V2");
    setWindowTitle("R8V5MC");
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    session_ = std::make_unique<Session>(loop_, *this, port, &traffic_);
    session_->GatherSearchReport(true);
    trafficWindow_ = std::make_unique<TrafficWindow>(traffic_);

    Adjust = addRoom<AdjustTab>(kAdjustGroup);
    Debug = addRoom<DebugTab>(kDebugGroup);
    Defect = addRoom<DefectTab>(kDefectGroup, [this] { ShowAdjustInfo(); });
    // The Copy tab's engine puts the settings block on the line through the link.
    Copy = addRoom<CopyTab>(kCopyGroup,
                            [this](const int32_t* table) { session_->Link().SohCommand(table); });
    Copy->OnRunning = [this](bool on) { CopyRunning(on); };
    Easy = addRoom<EasyTab>(kEasyGroup);
    Line = addRoom<LineTab>(kLineGroup);
    Mask = addRoom<MaskTab>(kMaskGroup);
    // The end of the Adjust tab's save chain shows the Copy tab without loading it.
    Adjust->ShowCopyTab = [this] { SetActivePage(kCopyGroup); };
    // A raw command that cannot be sent says why where the command would have shown.
    Debug->ShowStatus = [this](const std::string& text) { StatusText(1, text); };

    // The Line procedures go on through the lens answers, which the Easy tab decodes.
    Line->Lens_answer = [this] { Easy->Lens->Lens_answer(); };
    Easy->Lens->DigitalZoomSetOnLine = [this] { Line->DigitalZoomSet(); };
    Easy->Lens->LensAdjustAnswered = [this](uint8_t done) { Line->LensAdjustAnswer(done); };

    for (int i = 0; i < kPageGroups; ++i)
        session_->SetRoom(static_cast<uint8_t>(i), rooms_[i].get());
    session_->OnResolution(
        [this](bool hi) { Resolution->SetCaption(hi ? "Hi-Resolution" : "Lo-Resolution"); });
    session_->OnTvSystem([this](bool pal) { TV->SetCaption(pal ? "PAL" : "NTSC"); });

    SendTimer = &session_->SendTimer();
    cursor_timer = &session_->CursorTimer();
    ReloadTimer = new Timer(this, 2000, false);
    ReloadTimer->setObjectName("ReloadTimer");
    ReloadTimer->OnTimer = [this] { ReloadTimerTimer(); };

    buildFrame();
    buildMenu();
}

TFR8V2::~TFR8V2() {
    // The tab control changes pages while it is torn down; nothing may react to that now.
    disconnect(PageControl1, nullptr, this, nullptr);
    session_->Close();
}

template <class Room, class... Args> Room* TFR8V2::addRoom(int page, Args&&... args) {
    auto room = std::make_unique<Room>(*session_, std::forward<Args>(args)...);
    Room* typed = room.get();
    rooms_[page] = std::move(room);
    return typed;
}

void TFR8V2::buildFrame() {
    auto* client = new QWidget;
    setupUi(client);
    Panel1->OnDblClick = [this] { Panel1DblClick(); };
    Title->OnDblClick = [this] { Panel1DblClick(); };
    ResetButton->OnClick = [this] { Reset1Click(); };
    ExitButton->OnClick = [this] { ExitClick(); };
    pwl->OnChange = [this] { pwlChange(); };
    auto* unlock = new QShortcut(QKeySequence("Ctrl+Shift+P"), this);
    connect(unlock, &QShortcut::activated, this, [this] { ShowServiceField(); });

    PageControl1->tabBar()->setExpanding(false);
    for (int i = 0; i < kPageGroups; ++i)
        PageControl1->addTab(rooms_[i]->Sheet(), kTabCaptions[i]);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) {
        if (!settingPage_) RunGuarded([this] { PageControl1Change(); });
    });

    // Panels 1 and 2 hold a whole command or answer (up to 30 hexadecimal digits); panel 0,
    // the link state with the device's path, takes what is left. A text that does not fit
    // shows whole on hover.
    const int hexPanel = fontMetrics().horizontalAdvance(QString(30, QChar('0'))) + 16;
    const int linkPanel = std::max(150, kClientWidth - 2 * hexPanel - 60);
    StatusBar1 = new StatusBar({linkPanel, hexPanel, hexPanel, 40}, this);
    StatusBar1->setObjectName("StatusBar1");
    setStatusBar(StatusBar1);

    client->setFixedSize(kClientWidth, kClientHeight - StatusBar1->sizeHint().height());
    setCentralWidget(client);
}

void TFR8V2::buildMenu() {
    QMenu* camera = menuBar()->addMenu("&Camera");
    camera->setObjectName("Camera");
    ReLoad = camera->addAction("&Load");
    ReLoad->setObjectName("ReLoad");
    connect(ReLoad, &QAction::triggered, this, [this] { RunGuarded([this] { ReLoadClick(); }); });
    Reset1 = camera->addAction("&Reset");
    Reset1->setObjectName("Reset1");
    connect(Reset1, &QAction::triggered, this, [this] { RunGuarded([this] { Reset1Click(); }); });
    PortItem = camera->addAction("&Port...");
    PortItem->setObjectName("PortItem");
    connect(PortItem, &QAction::triggered, this, [this] { RunGuarded([this] { PortClick(); }); });
    Exit = camera->addAction("&Exit");
    Exit->setObjectName("Exit");
    connect(Exit, &QAction::triggered, this, [this] { RunGuarded([this] { ExitClick(); }); });

    QMenu* option = menuBar()->addMenu("&Option");
    option->setObjectName("Option1");
    SW1 = option->addAction("&SW");
    SW1->setObjectName("SW1");
    connect(SW1, &QAction::triggered, this, [this] { RunGuarded([this] { SW1Click(); }); });
    TrafficItem = option->addAction("&Traffic");
    TrafficItem->setObjectName("TrafficItem");
    connect(TrafficItem, &QAction::triggered, this,
            [this] { RunGuarded([this] { TrafficClick(); }); });

    Help = new QMenu("&Help", this);
    Help->setObjectName("Help");
    // The two version items have never done anything and stay hidden; About tells both.
    Help->addAction("&Camera Version")->setObjectName("Version1");
    Help->addAction("&PC Version")->setObjectName("PCVersion1");
    for (QAction* unused : Help->actions())
        unused->setVisible(false);
    About1 = Help->addAction("&About R8V5MC");
    About1->setObjectName("About1");
    connect(About1, &QAction::triggered, this, [this] { RunGuarded([this] { AboutClick(); }); });
    menuBar()->addMenu(Help);

    setFixedSize(sizeHint());
}

void TFR8V2::FormCreate() {
    Loader().Orders = {};
    OrderCount(0);
    for (int i = 0; i < kPageGroups; ++i)
        SetTabVisible(i, i == kEasyGroup || i == kMaskGroup);
    Copy->complete2->hide();
    pwl->SetText("");
    PageControl1->setEnabled(false);
    SetActivePage(kEasyGroup);
    // Debug echo flags and the pwm_ref step belong to their tabs and start cleared there.
    Title->SetCaption(" R8V5MC Camera Adjust Tool");
    Easy->Lens->CurrentCheck->SetChecked(false);
    session_->Start();
}

void TFR8V2::SetActivePage(int index) {
    settingPage_ = true;
    PageControl1->setCurrentIndex(index);
    settingPage_ = false;
}

void TFR8V2::SetTabVisible(int index, bool on) {
    // Hiding the active tab moves the selection; that is no change made by the operator.
    settingPage_ = true;
    PageControl1->setTabVisible(index, on);
    settingPage_ = false;
}

void TFR8V2::ShowServiceField() {
    pwl->show();
    pwl->raise();
    pwl->setFocus();
}

void TFR8V2::PageControl1Change() {
    session_->PageControl1Change();
}

void TFR8V2::pwlChange() {
    const QString text = pwl->Text();
    if (text == "tmwr" || text == "TMWR") {
        for (int i : {0, 1, 2, 3, 5})
            SetTabVisible(i, true);
        Copy->CtopOK2->show();
        Copy->ptocOk->show();
        pwl->hide();
        return;
    }
    if (UnlockCount < 3) {
        if (!text.isEmpty()) ++UnlockCount;
        return;
    }
    pwl->hide();
    UnlockCount = 0;
}

void TFR8V2::ExitClick() {
    close();
}

void TFR8V2::Quit() {
    quitting_ = true;
    close();
}

void TFR8V2::FormDestroy() {
    session_->Close();
}

// Every way out (Exit, the close box, the link's give-up) ends here: the queued load orders go,
// then the port.
void TFR8V2::closeEvent(QCloseEvent* e) {
    // A copy half-way leaves the camera with part of a file: the operator decides (Exit, the
    // menu and the close box all end here); a signal or the link's give-up does not ask.
    if (!quitting_ && !terminated_ && !Copy->MayClose()) {
        e->ignore();
        return;
    }
    Copy->Engine().Abort();
    session_->Close();
    // The side windows go with the main window, so that the program ends whatever is open.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isWindow() && w->isVisible()) w->hide();
    QMainWindow::closeEvent(e);
}

namespace {
constexpr char kPortKey[] = "port/last";
QSettings PortSettings() {
    return QSettings("r8v5mc", "r8v5mc");
}
} // namespace

std::string TFR8V2::RememberedPort() {
    return PortSettings().value(kPortKey).toString().toStdString();
}

void TFR8V2::SearchAllPorts() {
    session_->SearchPorts([remembered = RememberedPort()] { return CandidatePaths(remembered); });
}

void TFR8V2::PortClick() {
    if (chooser_) {
        chooser_->raise();
        chooser_->activateWindow();
        return;
    }
    chooser_ = new PortChooser(RememberedPort(), PortPath(Comm1().Port()), this);
    chooser_->setAttribute(Qt::WA_DeleteOnClose);
    chooser_->OnChosen = [this](const std::string& path) {
        RunGuarded([this, path] { session_->ConnectTo(path); });
    };
    // The search does not end the program while the operator picks a port.
    session_->HoldGiveUp(true);
    connect(chooser_, &QDialog::finished, this, [this] {
        session_->HoldGiveUp(false);
        chooser_ = nullptr;
    });
    chooser_->open();
}

void TFR8V2::SearchNote(const std::string& text) {
    std::fprintf(stderr, "r8v5mc: %s\n", text.c_str());
}

void TFR8V2::TrafficClick() {
    trafficWindow_->show();
    trafficWindow_->raise();
    trafficWindow_->activateWindow();
}

void TFR8V2::SW1Click() {
    if (!switchPanel_) return;
    switchPanel_->show();
    switchPanel_->raise();
}

void TFR8V2::SetSwitchPanel(TFSR8V2* panel) {
    switchPanel_ = panel;
}

void TFR8V2::ShowAdjustInfo() {
    if (adjustInfo_) adjustInfo_->ShowFor(session_->State().TvIsNtsc != 0);
}

void TFR8V2::SetMaskPreview(TFMR8V2* preview) {
    maskPreview_ = preview;
    // The first time, the preview opens beside the main window; later where the operator left it.
    Mask->ShowPreview = [this, preview, placed = false]() mutable {
        if (!placed) preview->move(frameGeometry().topRight() + QPoint(8, 0));
        placed = true;
        preview->show();
        preview->raise();
    };
    Mask->PreviewMask = [preview](int mask, const MaskView& view) { preview->SetMask(mask, view); };
    Mask->UpdatePreview();
}

void TFR8V2::SW_push(uint8_t sw) {
    if (copyRunning_ || !session_->Trans_chk()) return;
    session_->Send({0x21, 0x32, sw});
}

void TFR8V2::Reset1Click() {
    if (!session_->Trans_chk()) return;
    session_->Send({0xF1});
}

// While a copy runs its answers must reach the Copy tab, and nothing else may talk to the
// camera: the other tabs, the load and the reset wait until it ends.
void TFR8V2::CopyRunning(bool on) {
    copyRunning_ = on; // the push-switch panel is a window of its own: it asks here
    for (int i = 0; i < kPageGroups; ++i)
        if (i != kCopyGroup) PageControl1->setTabEnabled(i, !on);
    ReLoad->setEnabled(!on);
    Reset1->setEnabled(!on);
    ResetButton->setEnabled(!on);
}

void TFR8V2::Trans_cstm_hidden() {
    Adjust->Trans_cstm_hidden();
}

void TFR8V2::ReloadTimerTimer() {
    ReloadTimer->SetEnabled(false);
    ReLoadClick();
}

// SessionObserver

int TFR8V2::ActivePage() const {
    return PageControl1->currentIndex();
}

void TFR8V2::StatusText(int panel, const std::string& text) {
    StatusBar1->SetPanelText(panel, Q(text));
}

void TFR8V2::Message(const std::string& text, const std::string& caption, int buttons) {
    MessageBox(Q(text), Q(caption), buttons);
}

void TFR8V2::LinkUp(bool on) {
    linkUp_ = on;
    if (on && rememberPort_ && PortPath(Comm1().Port()) != remembered_) {
        remembered_ = PortPath(Comm1().Port());
        PortSettings().setValue(kPortKey, Q(remembered_));
    }
    PageControl1->setEnabled(on);
}

void TFR8V2::AboutClick() {
    ShowAbout(this, {QCoreApplication::applicationVersion().toStdString(), PortPath(Comm1().Port()),
                     linkUp_, Core().State()});
}

void TFR8V2::Busy(bool on) {
    if (on == busyCursor_) return;
    busyCursor_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TFR8V2::ResetAcknowledged() {
    Copy->ResetAcknowledged();
}

void TFR8V2::LinkLost() {
    terminated_ = true;
    close();
    QCoreApplication::exit(1);
}

void TFR8V2::PanelsEnabled(bool on) {
    for (int page : {kAdjustGroup, kDebugGroup, kDefectGroup, kCopyGroup, kEasyGroup, kLineGroup})
        rooms_[page]->TabPanel()->setEnabled(on);
}

void TFR8V2::OrderCount(int count) {
    Order->SetCaption(QString::number(count));
}

void TFR8V2::RefreshCursor() {
    // Putting the pointer where it already is makes the window system show the right shape at
    // once, without waiting for the mouse to move.
    const QPoint global = QCursor::pos();
    const QPoint local = mapFromGlobal(global);
    const QRect r = rect();
    if (local.x() >= r.left() && local.x() <= r.right() + 1 && local.y() >= r.top() &&
        local.y() <= r.bottom() + 1)
        QCursor::setPos(mapToGlobal(local));
}

} // namespace r8::ui
