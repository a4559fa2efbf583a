// SPDX-License-Identifier: MIT
#pragma once
// The session core: the serial port, the camera link, page loading and the camera state that
// the read decoder fills, without any window. A front end observes it (SessionObserver), lends
// it an event loop (EventLoop) and gives it one Room per page it shows; the rooms talk to the
// camera through the session's RoomContext.
#include "CameraLink.h"
#include "CameraState.h"
#include "EventLoop.h"
#include "PageLoader.h"
#include "Room.h"
#include "SessionObserver.h"

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace r8 {

class TComm;
class Trace;
class TracingPort;

class Session : public RoomContext, private LinkHost, private TransferHost {
public:
    // port: the serial component to use; nullptr makes the session own a TComm and watch it
    // on the loop. trace, if given, sees every byte of that port both ways (Port() is then the
    // tracing port); it must outlive the session.
    Session(EventLoop& loop, SessionObserver& observer, SerialPort* port = nullptr,
            Trace* trace = nullptr);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The room of a page: its page table and its answer handler.
    void SetRoom(uint8_t page, Room* room);
    // Opens port 1 and sends the enquiry; the first ACK loads the active page. The link timer
    // runs from here on, so the port search goes on even when port 1 cannot be opened; that
    // open error is thrown (and counts as shown for its device).
    void Start();
    // Drops the queued load orders and closes the port; no handler of the port runs after, and
    // a handler still on the stack (in a message box's loop) ends without an error report.
    void Close();
    // The link timer's tick (SendTimer): the port search, then the answer time-outs. An open
    // error of the search is reported once per device, after the tick has returned, so that a
    // message box left open does not hold the search up.
    void SendTimerTimer();

    // The camera's device went away after the link was up (hang-up, I/O error, end of file).
    // Reported once; the port is closed and nothing of the dead link runs. The session then
    // waits, without polling, for a device to appear at the same path and reconnects by itself
    // (ENQ, ACK, EOT, the active page loaded again). Only for the session's own TComm. A
    // network port (socket://, rfc2217://) is reported with its cause and connected again on
    // the back-off timer below.
    bool Disconnected() const { return disconnected_; }
    // While disconnected, an open that failed (the device busy in another program, not there
    // yet, its permissions not set yet) is tried again on this timer, whose interval doubles
    // from kRetryFirstMs up to kRetryMaxMs; a folder change still tries at once.
    static constexpr int kRetryFirstMs = 1000, kRetryMaxMs = 16000;
    LoopTimer& RetryTimer() { return *retryTimer_; }
    void RetryTimerTimer();

    // The camera has answered the enquiry: commands can be sent.
    bool LinkUp() const { return link_->LINK_STATUS != 0; }
    // The link is up and free: no page load runs or is queued, nothing is on the wire.
    bool Free() const {
        return LinkUp() && Trans_chk() && loader_->Orders.bOrder == 0 && !ExchangeInFlight();
    }
    // An exchange is on the wire and awaited, or a command waits for it.
    bool ExchangeInFlight() const { return link_->InFlight() || link_->Waiting() > 0; }

    // The search over the ports that list() gives (the window without pinned ports): it is
    // asked afresh at the start and at every tick, and each tick tries the next port in its
    // order; a port that was not there before is tried at the next tick. The ticks and the
    // give-up stay as they are. Port 1's path is set to the port being tried. Without it, ports
    // 1 and 2 take turns in fours.
    void SearchPorts(std::function<std::vector<std::string>()> list);
    // Open failures of the search are not reported one by one (no pile of boxes): each is told
    // once per search as a note (SessionObserver::SearchNote) and status panel 0 names the port
    // being tried; the give-up's message lists every port tried with what went wrong there.
    void GatherSearchReport(bool on) { gather_ = on; }
    struct TriedPort {
        std::string path;
        std::string cause; // a sentence that starts with the path
    };
    // The ports of this search, in the order first tried, each with its last outcome.
    const std::vector<TriedPort>& Tried() const { return tried_; }
    // The give-up's message of a gathered search.
    std::string GiveUpText() const;
    // The operator picked a port: the search is pinned to it and starts over there (a link
    // that was up is dropped first). The new search has its full time.
    void ConnectTo(const std::string& path);
    // While on (the operator is picking a port) the search goes on but does not give up.
    void HoldGiveUp(bool on) { holdGiveUp_ = on; }

    CameraLink& Link() { return *link_; }
    PageLoader& Loader() { return *loader_; }
    SerialPort& Port() { return *port_; }
    LoopTimer& SendTimer() { return *sendTimer_; }
    LoopTimer& CursorTimer() { return *cursorTimer_; }
    bool GaveUp() const { return gaveUp_; }

    // Menu "&Load", tab changes; also the link's first ACK.
    void ReLoadClick() override;
    void PageControl1Change();

    // The common read decoder: the gate, SettingTable, the resolution and TV rules, the mark
    // limits; then the decoders the rooms registered for the answer's group.
    void Trans_end_common() override;

    // RoomContext
    bool Trans_chk() const override { return loader_->Trans_chk(); }
    int32_t TransStep() const override { return loader_->TransStep; }
    CommandFrame& SendFrame() override { return link_->SendFrame; }
    void StxCommand(int n) override;
    void Exchange(const Request& request, ReplyFn done = {}) override;
    void ExchangeBlock(const int32_t* settingTable, ReplyFn done) override;
    AnswerView Answer() const override;
    CameraState& State() override { return state_; }
    int ActivePage() const override { return observer_.ActivePage(); }
    // Line errors (a frame without ETX, an answer in error) come in bursts on a noisy line:
    // the first of a burst is shown, the rest are counted in status panel 3; a burst ends at a
    // tick of the link timer without one. Every other message is shown as it comes.
    void ShowMessage(const std::string& text, const std::string& caption, int buttons) override;
    // Ticks in a row with broken frames and no good one after which the line counts as sending
    // garbage: the link is dropped and the port searched again.
    static constexpr int kGarbageTicks = 3;
    void OnGroup(uint8_t group, int item, GroupDecoder decode) override;
    void OnResolution(std::function<void(bool hi)> show) override;
    void OnTvSystem(std::function<void(bool pal)> show) override;

private:
    // LinkHost
    void SetStatusText(int panel, const std::string& text) override;
    void SetPageControlEnabled(bool on) override;
    void SetScreenCursor(bool busy) override { observer_.Busy(busy); }
    void SetCursorTimerEnabled(bool on) override { cursorTimer_->SetEnabled(on); }
    void SetSendTimerEnabled(bool on) override { sendTimer_->SetEnabled(on); }
    void CopyProgressToMax() override { observer_.BlockSent(); }
    void AnswerArrived() override;
    void CloseCopyFile() override { observer_.ResetAcknowledged(); }
    void Terminate() override;
    uint8_t SearchPort(int32_t attempt) override;
    void Resending(bool block) override { observer_.Resending(block); }
    void AnswerLost() override;
    // Rooms are told that the answer they waited for will not come.
    void roomsLost();
    void StaleAnswer(const uint8_t* answer, const Payload15& command) override;

    // TransferHost
    void SetTabPanelsEnabled(bool on) override { observer_.PanelsEnabled(on); }
    void ShowOrderCount(int count) override { observer_.OrderCount(count); }
    void PageStarting(uint8_t group) override;
    void RefreshCursor() override { observer_.RefreshCursor(); }
    void Post(std::function<void()> fn) override;
    void TabAnswer(int page) override;
    void AnswerHandled() override { observer_.AnswerArrived(); }

    void watchLine();
    void endBurst();
    void lineSendsGarbage();
    void resolutionRule(uint16_t v);
    void tvRule(uint16_t v);

    // Runs a call into the link. A write that fails because the device went away ends in
    // deviceGone() instead of an I/O error report; once disconnected, errors of the closed
    // port are dropped. Anything else propagates.
    template <class Fn> void linkCall(const Fn& fn);
    bool goneCounts() const;
    void onPortEvents();
    void deviceGone();
    void searchConnectFailed();
    void resetLink();
    void watchForDevice();
    void unwatchDevice();
    void onDeviceFolderChanged();
    void tryReconnect();
    void retryLater();
    // The search tries path now (setPath: port 1 is set to it); its outcome starts as no answer.
    void tryingPort(const std::string& path, bool setPath);
    // The search could not use path: text says why.
    void searchFailed(const std::string& path, const std::string& text);
    // The cause kept for a port of this search (the give-up box lists them).
    void noteTried(const std::string& path, const std::string& cause);
    void startSearch();

    struct Decoder {
        int item;
        GroupDecoder decode;
    };

    EventLoop& loop_;
    SessionObserver& observer_;
    std::unique_ptr<TComm> ownComm_;
    std::unique_ptr<TracingPort> tracing_;
    Trace* trace_ = nullptr;
    SerialPort* port_;
    std::unique_ptr<CameraLink> link_;
    std::unique_ptr<PageLoader> loader_;
    std::unique_ptr<LoopTimer> sendTimer_;
    std::unique_ptr<LoopTimer> cursorTimer_;
    std::unique_ptr<LoopTimer> retryTimer_;
    int retryMs_ = kRetryFirstMs; // the interval of the next retry
    std::array<Room*, kPageGroups> rooms_{};
    CameraState state_;
    std::array<std::vector<Decoder>, 256> decoders_;
    std::vector<std::function<void(bool)>> resolutionShows_;
    std::vector<std::function<void(bool)>> tvShows_;
    bool gaveUp_ = false;
    struct ErrorBurst {
        std::string text, caption;
        int count = 0;
        bool fresh = false;   // one came since the last tick
        bool showing = false; // its first message is on show (a modal box)
    } burst_;
    uint64_t goodSeen_ = 0, badSeen_ = 0; // the receiver's frame counts at the last tick
    int noisyTicks_ = 0;
    uint64_t goodAtAnswer_ = 0; // the receiver's good frames at the last answer
    bool garbageShown_ = false; // in this burst
    std::string linkState_;     // what status panel 0 shows

    std::function<std::vector<std::string>()> searchList_;
    std::vector<std::string> searchOrder_; // the ports the list gave last
    std::set<std::string> searchSeen_;     // every port it gave in this search
    std::string searching_;                // the port being tried
    std::vector<TriedPort> tried_;
    bool gather_ = false;
    bool holdGiveUp_ = false;

    // Devices whose open error the port search has shown.
    std::set<std::string> openReported_;
    bool closed_ = false;
    bool disconnected_ = false;
    int dispatchDepth_ = 0;
    bool reconnectPending_ = false;
    int32_t enqTicks_ = 0; // ticks until the enquiry of a reconnection is sent again
    int inotifyFd_ = -1;
    std::set<int> folderWatches_;
};

} // namespace r8
