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
#include <memory>
#include <vector>

namespace r8 {

class TComm;

class Session : public RoomContext, private LinkHost, private TransferHost {
public:
    // port: the serial component to use; nullptr makes the session own a TComm and watch it
    // on the loop.
    Session(EventLoop& loop, SessionObserver& observer, SerialPort* port = nullptr);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The room of a page: its page table and its answer handler.
    void SetRoom(uint8_t page, Room* room);
    // Opens port 1 and sends the enquiry; the first ACK loads the active page.
    void Start() { link_->Trans_Create(); }
    // Drops the queued load orders and closes the port; no handler of the port runs after.
    void Close();

    CameraLink& Link() { return *link_; }
    PageLoader& Loader() { return *loader_; }
    SerialPort& Port() { return *port_; }
    LoopTimer& SendTimer() { return *sendTimer_; }
    LoopTimer& CursorTimer() { return *cursorTimer_; }
    bool GaveUp() const { return gaveUp_; }

    // Menu "&Load", tab changes.
    void ReLoadClick() override { loader_->ReLoadClick(); }
    void PageControl1Change() { loader_->PageControl1Change(); }

    // The common read decoder: the gate, SettingTable, the resolution and TV rules, the mark
    // limits; then the decoders the rooms registered for the answer's group.
    void Trans_end_common() override;

    // RoomContext
    bool Trans_chk() const override { return loader_->Trans_chk(); }
    int32_t TransStep() const override { return loader_->TransStep; }
    CommandFrame& SendFrame() override { return link_->SendFrame; }
    void StxCommand(int n) override { link_->StxCommand(link_->SendFrame, n); }
    AnswerView Answer() const override;
    CameraState& State() override { return state_; }
    int ActivePage() const override { return observer_.ActivePage(); }
    void ShowMessage(const std::string& text, const std::string& caption, int buttons) override {
        observer_.Message(text, caption, buttons);
    }
    void OnGroup(uint8_t group, int item, GroupDecoder decode) override;
    void OnResolution(std::function<void(bool hi)> show) override;
    void OnTvSystem(std::function<void(bool pal)> show) override;

private:
    // LinkHost
    void SetStatusText(int panel, const std::string& text) override {
        observer_.StatusText(panel, text);
    }
    void SetPageControlEnabled(bool on) override { observer_.LinkUp(on); }
    void SetScreenCursor(bool busy) override { observer_.Busy(busy); }
    void SetCursorTimerEnabled(bool on) override { cursorTimer_->SetEnabled(on); }
    void SetSendTimerEnabled(bool on) override { sendTimer_->SetEnabled(on); }
    void CopyProgressToMax() override { observer_.BlockSent(); }
    void AnswerArrived() override { loader_->AnswerArrived(); }
    void CloseCopyFile() override { observer_.ResetAcknowledged(); }
    void Terminate() override;

    // TransferHost
    void SetTabPanelsEnabled(bool on) override { observer_.PanelsEnabled(on); }
    void ShowOrderCount(int count) override { observer_.OrderCount(count); }
    void PageStarting(uint8_t group) override;
    void RefreshCursor() override { observer_.RefreshCursor(); }
    void Post(std::function<void()> fn) override { loop_.Post(std::move(fn)); }
    void TabAnswer(int page) override;
    void AnswerHandled() override { observer_.AnswerArrived(); }

    void resolutionRule(uint16_t v);
    void tvRule(uint16_t v);

    struct Decoder {
        int item;
        GroupDecoder decode;
    };

    EventLoop& loop_;
    SessionObserver& observer_;
    std::unique_ptr<TComm> ownComm_;
    SerialPort* port_;
    std::unique_ptr<CameraLink> link_;
    std::unique_ptr<PageLoader> loader_;
    std::unique_ptr<LoopTimer> sendTimer_;
    std::unique_ptr<LoopTimer> cursorTimer_;
    std::array<Room*, kPageGroups> rooms_{};
    CameraState state_;
    std::array<std::vector<Decoder>, 256> decoders_;
    std::vector<std::function<void(bool)>> resolutionShows_;
    std::vector<std::function<void(bool)>> tvShows_;
    bool gaveUp_ = false;
};

} // namespace r8
