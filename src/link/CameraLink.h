// SPDX-License-Identifier: MIT
#pragma once
// The camera link: the senders of command, block and control frames, the receive handler that
// acts on what r_data reports according to the link status, and the 1500 ms link timer that
// searches the ports before the camera first answers and runs the answer time-outs after.
// Everything here runs on the window thread.
//
// One exchange is on the wire at a time. A command asked for while one is in flight waits and
// goes out, in order, when that exchange ends: with its answer (or the ACK that ends it), or
// with its second time-out. Each answer is handed over with the command it answers
// (Answered()); an answer that cannot belong to that command is stale and dropped.
#include "Exchange.h"
#include "FrameReceiver.h"
#include "Frames.h"
#include "LinkHost.h"
#include "SerialPort.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace r8 {

class CameraLink {
public:
    CameraLink(SerialPort& comm, LinkHost& host);
    CameraLink(const CameraLink&) = delete;
    CameraLink& operator=(const CameraLink&) = delete;

    static constexpr int32_t kCommandTicks = 20, kCommandRetries = 2;
    static constexpr int32_t kBlockTicks = 100, kBlockRetries = 10;
    static constexpr int16_t kHourglass = -11;
    static constexpr int kSendTimerMs = 1500;
    static constexpr int kCursorTimerMs = 10;

    // Link variables.
    uint8_t LINK_STATUS = 0; // 0 no first ACK yet, 1 idle or ACK awaited, 2 answer awaited
    uint8_t LinkBusy = 0;
    int32_t AnswerCount = kCommandTicks; // -1 = disarmed
    int32_t RetryCount = 0;
    int32_t PortAttempt = 0;
    // ACKs still to come for enquiries of the search that went out on the connection that
    // answered (a network port the search kept); they are not answers.
    int32_t EnqAcksDue = 0;

    // The last command frame sent; handlers write P1..Pn at positions 1..n.
    CommandFrame SendFrame{};
    BlockFrameBytes BlockFrame{};
    FrameReceiver Rx;

    void SendSeq(uint8_t byte);
    void IdEnq();
    // Completes SendFrame for payload length n (P(n+1)..P15 become zero) and sends it, or
    // queues it behind the exchange in flight (SendFrame then keeps the frame on the wire).
    // Sends nothing while LinkBusy is set and no exchange is in flight. Returns 0.
    int StxCommand(CommandFrame& buffer, int n);
    // The same for a request; done, if given, gets its reply exactly once (a link that is not
    // up answers LinkLost at once).
    void Submit(const Request& request, ReplyFn done = {});
    // Sends the 2053-byte block built from bits 7-0 of the 2048 setting entries (queued like a
    // command while an exchange is in flight; the table must live until it goes out).
    void SohCommand(const int32_t* settingTable, ReplyFn done = {});
    void CnctDataLink(uint8_t port, int32_t baud);
    void Trans_Create();
    bool DR_check() const;

    int r_data(int b) { return Rx.r_data(b); }
    void Comm1CommReceive(SerialPort& sender, uint16_t size);
    void SendTimerTimer();
    void Cursor_set(int16_t cursor);
    void cursor_timerTimer();

    SerialPort& Comm1() { return comm_; }

    // The command that the answer being handed over answers (the last one handed over).
    const Payload15& Answered() const { return answered_; }
    // An exchange is on the wire and still awaited (not yet given up).
    bool InFlight() const { return current_ && !current_->abandoned; }
    // While an answer is handed over: someone asked for it and gets it as its reply.
    bool AnswerRequested() const { return requested_; }
    size_t Waiting() const { return waiting_.size(); }
    // Ends the exchange in flight and every waiting one with `why` (the device went away);
    // replies run now, in order. Nothing is sent.
    void DropExchanges(ExchangeError why);
    // Forgets every exchange without a reply (the program ends).
    void Forget() {
        current_.reset();
        waiting_.clear();
    }

private:
    struct Pending {
        Request request;
        ReplyFn done;
        const int32_t* block = nullptr; // a settings block built from this table
        bool abandoned = false;         // given up: still re-sent, but nobody waits for it
    };

    void busyCursorOn() { Cursor_set(kHourglass); }
    void busyCursorOff() { Cursor_set(0); }
    void arm(int32_t ticks, int32_t retries) {
        AnswerCount = ticks;
        RetryCount = retries;
    }
    void onEvent(int e);
    void onAnswer(int e);
    void finishAckOnly();
    void sendBlock(const int32_t* settingTable);
    // A broken frame came since the last command or enquiry went out: an ACK now is as likely
    // line noise as the camera's, and stands neither for the first answer nor for an answer.
    bool noiseSinceSend() const { return Rx.BadFrames != badAtSend_; }
    // The search's tick before the camera first answered: the next port, the enquiry again.
    void searchTick();
    // The search's enquiry; a port that fails under it is the search's to open again.
    void enquire();
    // Writes BlockFrame in pieces that the transmit queue takes.
    void writeBlock();
    void submit(Pending p);
    void transmit(Pending p);
    // Sends the oldest waiting command when the link is free.
    void pump();
    // The exchange in flight has ended: its reply, then the next waiting command.
    void finish(Reply r, bool toHost);
    static void reply(Pending& p, Reply r);

    std::optional<Pending> current_;
    std::deque<Pending> waiting_;
    CommandFrame wire_{}; // the frame on the wire, as SendFrame held it after sending
    Payload15 answered_{};
    int handingOver_ = 0;    // an answer is being handed over: new commands wait until it is
    bool requested_ = false; // ... and someone asked for it
    bool recvTaken_ = false; // RecvFrame holds a frame that was handed over as an answer

    SerialPort& comm_;
    LinkHost& host_;
    uint64_t badAtSend_ = 0;
};

} // namespace r8
