// SPDX-License-Identifier: MIT
#include "CameraLink.h"

#include "Comm.h"
#include "Crc.h"
#include "HexText.h"

#include <algorithm>

namespace r8 {

namespace {
constexpr char kNotConnected[] = " Serial Port not connected ";
constexpr char kCommErrCaption[] = "Comm.ERR";
constexpr size_t kBlockPiece = 512;
} // namespace

CameraLink::CameraLink(SerialPort& comm, LinkHost& host) : comm_(comm), host_(host) {
    Rx.OnFramingError = [this] { host_.ShowMessage("sr_err1", "recv_chr", 1); };
    Rx.OnBadCrc = [this] { SendSeq(NAK); };
    comm_.OnCommReceive = [this](SerialPort& sender, uint16_t size) {
        Comm1CommReceive(sender, size);
    };
}

// The time-out is armed before the write: a write that fails (time-out, EIO) must still end in
// the retry and the link report, not leave the link waiting for ever.
void CameraLink::SendSeq(uint8_t byte) {
    busyCursorOn();
    LinkBusy = 1;
    arm(kCommandTicks, kCommandRetries);
    comm_.Write(&byte, 1);
}

void CameraLink::IdEnq() {
    badAtSend_ = Rx.BadFrames;
    SendSeq(ENQ);
    ++EnqAcksDue;
}

int CameraLink::StxCommand(CommandFrame& buffer, int n) {
    Request r;
    std::copy(buffer.begin() + 1, buffer.begin() + 1 + kPayloadSize, r.p.begin());
    r.n = n;
    const bool queued = InFlight() || handingOver_ > 0 || !waiting_.empty();
    if (LinkBusy != 0 && !InFlight()) return 0;
    Submit(r);
    // A command that waits leaves the frame on the wire where the link's rules read it.
    if (queued && &buffer == &SendFrame) SendFrame = wire_;
    return 0;
}

void CameraLink::Submit(const Request& request, ReplyFn done) {
    Pending p{request, std::move(done)};
    for (int i = std::max(p.request.n, 0); i < static_cast<int>(kPayloadSize); ++i)
        p.request.p[static_cast<size_t>(i)] = 0x00;
    submit(std::move(p));
}

void CameraLink::submit(Pending p) {
    // Not up yet (the enquiry is out), or reset after the device went away.
    if (LinkBusy != 0 && !InFlight()) {
        reply(p, {ExchangeError::LinkLost});
        return;
    }
    if (!InFlight() && handingOver_ == 0 && waiting_.empty()) {
        transmit(std::move(p));
        return;
    }
    if (p.request.replaces > 0 && !p.done && !p.block) {
        const auto k = static_cast<size_t>(p.request.replaces);
        for (Pending& w : waiting_)
            if (!w.done && !w.block && w.request.replaces == p.request.replaces &&
                std::equal(w.request.p.begin(), w.request.p.begin() + k, p.request.p.begin())) {
                w = std::move(p);
                return;
            }
    }
    waiting_.push_back(std::move(p));
    pump();
}

void CameraLink::pump() {
    if (waiting_.empty() || InFlight() || handingOver_ > 0 || LinkBusy != 0) return;
    Pending p = std::move(waiting_.front());
    waiting_.pop_front();
    transmit(std::move(p));
}

void CameraLink::transmit(Pending p) {
    if (p.block) {
        const int32_t* table = p.block;
        current_ = std::move(p);
        sendBlock(table);
        return;
    }
    busyCursorOn();
    std::copy(p.request.p.begin(), p.request.p.end(), SendFrame.begin() + 1);
    SealCommandFrame(SendFrame);
    wire_ = SendFrame;
    current_ = std::move(p);
    arm(kCommandTicks, kCommandRetries);
    badAtSend_ = Rx.BadFrames;
    host_.SetStatusText(1, HexBytes(SendFrame.data() + 1, 14));
    comm_.Write(SendFrame.data(), SendFrame.size());
}

void CameraLink::reply(Pending& p, Reply r) {
    if (!p.done) return;
    const ReplyFn done = std::move(p.done);
    p.done = nullptr;
    if (r.command == Payload15{}) r.command = p.request.p;
    done(r);
}

void CameraLink::DropExchanges(ExchangeError why) {
    std::deque<Pending> all = std::move(waiting_);
    waiting_.clear();
    if (current_) all.push_front(std::move(*current_));
    current_.reset();
    for (Pending& p : all)
        if (!p.abandoned) reply(p, {why});
}

void CameraLink::SohCommand(const int32_t* settingTable, ReplyFn done) {
    if (LinkBusy == 1) {
        host_.SetStatusText(1, "Busy");
        Pending refused{{}, std::move(done)};
        reply(refused, {ExchangeError::LinkLost});
        return;
    }
    Pending p{{}, std::move(done), settingTable};
    if (!InFlight() && handingOver_ == 0 && waiting_.empty())
        transmit(std::move(p));
    else
        waiting_.push_back(std::move(p));
}

void CameraLink::sendBlock(const int32_t* settingTable) {
    LinkBusy = 1;
    host_.SetPageControlEnabled(false);
    busyCursorOn();
    SendFrame[0] = SOH;
    wire_ = SendFrame;

    BlockFrame[0] = SOH;
    BlockFrame[1] = kBlockKind2048;
    for (size_t i = 0; i < kBlockDataSize; ++i)
        BlockFrame[2 + i] = static_cast<uint8_t>(settingTable[i] & 0xFF);
    BlockFrame[2 + kBlockDataSize] = ETX;
    const uint16_t crc = FrameCrc(BlockFrame.data() + 1, kBlockDataSize + 2);
    BlockFrame[3 + kBlockDataSize] = static_cast<uint8_t>(crc >> 8);
    BlockFrame[4 + kBlockDataSize] = static_cast<uint8_t>(crc & 0xFF);

    arm(kBlockTicks, kBlockRetries);
    badAtSend_ = Rx.BadFrames;
    writeBlock();
    host_.CopyProgressToMax();
}

void CameraLink::writeBlock() {
    comm_.Write(BlockFrame.data(), 2);
    for (size_t off = 0; off < kBlockDataSize; off += kBlockPiece)
        comm_.Write(BlockFrame.data() + 2 + off, kBlockPiece);
    comm_.Write(BlockFrame.data() + 2 + kBlockDataSize, 3);
}

void CameraLink::CnctDataLink(uint8_t port, int32_t baud) {
    comm_.Close();
    EnqAcksDue = 0; // nothing of a closed port arrives
    comm_.SetBaudRate(baud);
    comm_.SetPort(port);
    comm_.Open();   // discards what was waiting on the line
    Rx.RxState = 0; // and what the receiver had of a frame
    host_.SetSendTimerEnabled(true);
}

void CameraLink::Trans_Create() {
    host_.SetStatusText(0, "Comm. Connecting");
    CnctDataLink(1, 9600);
    enquire();
}

bool CameraLink::DR_check() const {
    return comm_.DsrState();
}

void CameraLink::Comm1CommReceive(SerialPort& sender, uint16_t size) {
    for (uint16_t i = 0; i < size; ++i) {
        uint8_t byte = 0;
        if (sender.Read(&byte, 1) != 1) return;
        const int8_t before = Rx.RxState;
        const int e = r_data(static_cast<int8_t>(byte));
        if (before == 0 && Rx.RxState == 1) recvTaken_ = false; // RecvFrame is being overwritten
        if (e >= 0) onEvent(e);
    }
}

void CameraLink::onEvent(int e) {
    switch (LINK_STATUS) {
    case 0:
        if (e != ACK || noiseSinceSend()) return;
        --EnqAcksDue;
        SendSeq(EOT);
        busyCursorOff();
        LINK_STATUS = 1;
        LinkBusy = 0;
        // The EOT expects no answer. Disarm its time-out before the page load starts, so that
        // the first page request keeps the time-out its own send arms.
        AnswerCount = -1;
        host_.ReLoadClick();
        host_.SetPageControlEnabled(true);
        return;
    case 1: {
        if (e != ACK) return;
        const uint8_t p1 = SendFrame[1];
        if (p1 == 0x21) {
            if (SendFrame[2] == 0x20 && SendFrame[3] == 0x00) {
                busyCursorOff();
                LINK_STATUS = 1;
                LinkBusy = 0;
                AnswerCount = -1;
                host_.SetPageControlEnabled(true);
                finishAckOnly();
            } else {
                LINK_STATUS = 2;
            }
        } else if (p1 == 0xF1) {
            if (SendFrame[0] == SOH) {
                LINK_STATUS = 2;
            } else {
                busyCursorOff();
                LINK_STATUS = 1;
                LinkBusy = 0;
                host_.CloseCopyFile();
                host_.SetPageControlEnabled(true);
                AnswerCount = -1;
                finishAckOnly();
            }
        } else {
            LINK_STATUS = 2;
        }
        return;
    }
    case 2:
        if (e == ACK && EnqAcksDue > 0) {
            // The ACK of an earlier enquiry, which the camera answered in order before this
            // command's ACK: it stands for no answer.
            --EnqAcksDue;
            return;
        }
        // An ACK in place of the answer stands for the frame handed over last, repeated. It never
        // stands for a frame the link did not take (one that came before the command was sent,
        // from a session that ended, or a stale one), nor after line noise.
        if (e == ACK && (!recvTaken_ || noiseSinceSend())) return;
        if (e != FrameReceiver::kGoodFrame && e != ACK) return;
        if (e == FrameReceiver::kGoodFrame) EnqAcksDue = 0; // all of them came before it
        onAnswer(e);
        return;
    default:
        host_.ShowMessage("comm LINK_STATUS", "Comm error", 1);
        LINK_STATUS = 1;
        return;
    }
}

// A good frame (or an ACK standing for the last one) in status 2. It is the answer only if it
// can belong to the command on the wire; a stale one (the answer to a command of a session that
// ended, or to another command) is dropped and the link goes on waiting. A stale frame is still
// acknowledged: the camera is done with it.
void CameraLink::onAnswer(int e) {
    const uint8_t* a = Rx.Answer();
    if (current_ && !current_->block && !AnswerBelongs(a, current_->request.p)) {
        if (e == FrameReceiver::kGoodFrame) {
            const uint8_t ack = ACK;
            comm_.Write(&ack, 1);
        }
        host_.StaleAnswer(a, current_->request.p);
        return;
    }
    recvTaken_ = true;
    host_.SetStatusText(2, HexBytes(a, kStxAnswerPayload));
    SendSeq(ACK);
    AnswerCount = -1;
    LINK_STATUS = 1;
    busyCursorOff();
    LinkBusy = 0;
    Reply r;
    std::copy(a, a + kStxAnswerPayload, r.answer.begin());
    r.error = a[0] == 0xA0 ? ExchangeError::None : ExchangeError::ErrorAnswer;
    finish(r, true);
}

void CameraLink::finishAckOnly() {
    Reply r;
    r.ackOnly = true;
    finish(r, false);
}

// Hands the answer over with its command: to the host (the decoders and the room on show),
// then to whoever asked. Commands asked for meanwhile wait and go out after, in order.
void CameraLink::finish(Reply r, bool toHost) {
    std::optional<Pending> p = std::move(current_);
    current_.reset();
    if (p && !p->block)
        answered_ = p->request.p;
    else
        std::copy(SendFrame.begin() + 1, SendFrame.begin() + 1 + kPayloadSize, answered_.begin());
    r.command = answered_;
    requested_ = p && !p->abandoned && p->done;
    ++handingOver_;
    try {
        if (toHost) host_.AnswerArrived();
        if (p && !p->abandoned) reply(*p, r);
    } catch (...) {
        --handingOver_;
        requested_ = false;
        throw;
    }
    --handingOver_;
    requested_ = false;
    pump();
}

void CameraLink::SendTimerTimer() {
    if (LINK_STATUS == 0) {
        searchTick();
        return;
    }

    if (AnswerCount == -1) return;
    if (--AnswerCount != -1) return;
    if (--RetryCount == 0) {
        host_.ShowMessage(kNotConnected, kCommErrCaption, 2);
        LinkBusy = 0;
        host_.SetPageControlEnabled(true);
        busyCursorOff();
        Rx.RxState = 0;
        LINK_STATUS = 1;
        // Nobody waits for this answer any more. Commands asked for meanwhile (and from the
        // handlers of the loss) go out now; with none, the frame keeps being sent again.
        ReplyFn done;
        Payload15 command{};
        if (InFlight()) {
            current_->abandoned = true;
            done = std::move(current_->done);
            current_->done = nullptr;
            command = current_->request.p;
        }
        ++handingOver_;
        try {
            host_.AnswerLost();
            if (done) done({ExchangeError::NoAnswer, command});
        } catch (...) {
            --handingOver_;
            throw;
        }
        --handingOver_;
        if (!waiting_.empty()) {
            AnswerCount = -1;
            pump();
            return;
        }
    }
    AnswerCount = kCommandTicks;
    if (LINK_STATUS == 1 || LINK_STATUS == 2) {
        // Commands of group 0x46 wait for the camera without limit and never report a loss.
        if (SendFrame[2] == 0x46) {
            ++RetryCount;
        } else {
            // The re-sent command is acknowledged before its answer comes: wait for that ACK
            // again, so that neither the ACK nor a late answer to the first send is taken for
            // the answer to this one.
            LINK_STATUS = 1;
            // After a block SendFrame starts with SOH over the last command's bytes, which is
            // no frame at all: the block itself goes again.
            const bool block = SendFrame[0] == SOH;
            badAtSend_ = Rx.BadFrames;
            if (block)
                writeBlock();
            else
                comm_.Write(SendFrame.data(), SendFrame.size());
            host_.Resending(block);
        }
    }
}

void CameraLink::enquire() {
    try {
        IdEnq();
    } catch (const ECommReadWriteError&) {
        // The port failed under the enquiry (a connection that ended at once, a device gone):
        // the port reports that itself, and the search's next tick opens it again.
    }
}

// A serial port is closed and opened again; a network connection that is being made or is up
// is kept, since closing it would lose an answer still on its way. Either way the enquiry goes
// out again, so that a camera that missed the last one (another port was open, it was off, the
// connection was not there yet) is found.
void CameraLink::searchTick() {
    ++PortAttempt;
    if (PortAttempt >= 1 && PortAttempt <= 15) {
        const uint8_t port = host_.SearchPort(PortAttempt);
        if (port == 0) {
            comm_.Close();
            return;
        }
        if (!comm_.KeepsConnection(port)) CnctDataLink(port, 9600);
        enquire();
        return;
    }
    comm_.Close();
    host_.SetSendTimerEnabled(false);
    host_.ShowMessage(kNotConnected, kCommErrCaption, 2);
    host_.Terminate();
}

void CameraLink::Cursor_set(int16_t cursor) {
    if (cursor != 0)
        host_.SetScreenCursor(true);
    else
        host_.SetCursorTimerEnabled(true);
}

void CameraLink::cursor_timerTimer() {
    host_.SetCursorTimerEnabled(false);
    host_.SetScreenCursor(false);
}

} // namespace r8
