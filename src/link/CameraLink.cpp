#include "CameraLink.h"

#include "Comm.h"
#include "Crc.h"
#include "HexText.h"

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
    if (LinkBusy != 0) return 0;
    busyCursorOn();
    for (int i = 1; i <= static_cast<int>(kPayloadSize); ++i)
        if (i > n) buffer[i] = 0x00;
    SealCommandFrame(buffer);
    arm(kCommandTicks, kCommandRetries);
    badAtSend_ = Rx.BadFrames;
    host_.SetStatusText(1, HexBytes(buffer.data() + 1, 14));
    comm_.Write(buffer.data(), buffer.size());
    return 0;
}

void CameraLink::SohCommand(const int32_t* settingTable) {
    if (LinkBusy == 1) {
        host_.SetStatusText(1, "Busy");
        return;
    }
    LinkBusy = 1;
    host_.SetPageControlEnabled(false);
    busyCursorOn();
    SendFrame[0] = SOH;

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
    comm_.Open();
    host_.SetSendTimerEnabled(true);
}

void CameraLink::Trans_Create() {
    host_.SetStatusText(0, "Comm. Connecting");
    CnctDataLink(1, 9600);
    IdEnq();
}

bool CameraLink::DR_check() const {
    return comm_.DsrState();
}

void CameraLink::Comm1CommReceive(SerialPort& sender, uint16_t size) {
    for (uint16_t i = 0; i < size; ++i) {
        uint8_t byte = 0;
        if (sender.Read(&byte, 1) != 1) return;
        const int e = r_data(static_cast<int8_t>(byte));
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
        if (e == FrameReceiver::kGoodFrame) EnqAcksDue = 0; // all of them came before it
        if (e != FrameReceiver::kGoodFrame && (e != ACK || noiseSinceSend())) return;
        host_.SetStatusText(2, HexBytes(Rx.Answer(), kStxAnswerPayload));
        SendSeq(ACK);
        AnswerCount = -1;
        LINK_STATUS = 1;
        busyCursorOff();
        LinkBusy = 0;
        host_.AnswerArrived();
        return;
    default:
        host_.ShowMessage("comm LINK_STATUS", "Comm error", 1);
        LINK_STATUS = 1;
        return;
    }
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
        host_.AnswerLost();
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

// A serial port is closed and opened again; a network connection that is being made or is up
// is kept, since closing it would lose an answer still on its way. Either way the enquiry goes
// out again, so that a camera that missed the last one (another port was open, it was off, the
// connection was not there yet) is found.
void CameraLink::searchTick() {
    ++PortAttempt;
    if (PortAttempt >= 1 && PortAttempt <= 15) {
        // Port 1 keeps the start-up period and attempts 1-3; then the ports alternate in fours.
        const uint8_t port = (PortAttempt / 4) % 2 == 1 ? 2 : 1;
        if (!comm_.KeepsConnection(port)) CnctDataLink(port, 9600);
        try {
            IdEnq();
        } catch (const ECommReadWriteError&) {
            // The port failed under the enquiry (a connection reset, a device gone): the next
            // tick opens it again.
        }
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
