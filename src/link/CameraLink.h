#pragma once
// The camera link: the senders of command, block and control frames, the receive handler that
// acts on what r_data reports according to the link status, and the 1500 ms link timer that
// searches the ports before the camera first answers and runs the answer time-outs after.
// Everything here runs on the window thread.
#include "FrameReceiver.h"
#include "Frames.h"
#include "LinkHost.h"
#include "SerialPort.h"

#include <cstdint>

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
    // Completes SendFrame for payload length n (P(n+1)..P15 become zero) and sends it.
    // Sends nothing while LinkBusy is set. Returns 0.
    int StxCommand(CommandFrame& buffer, int n);
    // Sends the 2053-byte block built from bits 7-0 of the 2048 setting entries.
    void SohCommand(const int32_t* settingTable);
    void CnctDataLink(uint8_t port, int32_t baud);
    void Trans_Create();
    bool DR_check() const;

    int r_data(int b) { return Rx.r_data(b); }
    void Comm1CommReceive(SerialPort& sender, uint16_t size);
    void SendTimerTimer();
    void Cursor_set(int16_t cursor);
    void cursor_timerTimer();

    SerialPort& Comm1() { return comm_; }

private:
    void busyCursorOn() { Cursor_set(kHourglass); }
    void busyCursorOff() { Cursor_set(0); }
    void arm(int32_t ticks, int32_t retries) {
        AnswerCount = ticks;
        RetryCount = retries;
    }
    void onEvent(int e);
    // A broken frame came since the last command or enquiry went out: an ACK now is as likely
    // line noise as the camera's, and stands neither for the first answer nor for an answer.
    bool noiseSinceSend() const { return Rx.BadFrames != badAtSend_; }
    // The search's tick before the camera first answered: the next port, the enquiry again.
    void searchTick();
    // Writes BlockFrame in pieces that the transmit queue takes.
    void writeBlock();

    SerialPort& comm_;
    LinkHost& host_;
    uint64_t badAtSend_ = 0;
};

} // namespace r8
