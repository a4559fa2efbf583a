// SPDX-License-Identifier: MIT
#pragma once
// TComm: the serial port component on termios.
//
// Port n opens the device path mapped to "COMn" (see SetPortPath). The watcher thread
// (TCommWatch) only moves bytes: it waits with poll() on the device and a wake-up descriptor,
// reads what arrives into the receive queue and signals EventFd(). The owner's thread calls
// DispatchEvents() when EventFd() is readable; that runs OnCommReceive there. So no handler
// ever runs on the watcher thread, and none of a closed port runs after Close returns.
//
// Open, Close, Read, DispatchEvents and the setters belong to the owner's thread. Write may
// also be called from another thread as long as the port is not closed meanwhile.
//
// Line: fully raw (no echo, no signals, no output processing; every byte value is data),
// CLOCAL | CREAD, exclusive (TIOCEXCL and flock), DTR raised while open.
//
// A path "socket://HOST:PORT" or "rfc2217://HOST:PORT" is a network port (NetLink): Open only
// starts the connection and returns; the watcher resolves, connects and then moves bytes as
// for a device. Bytes written before the connection is ready go out once it is. A connection
// that fails or ends counts as the device gone, with its cause (GoneCause). The line settings
// of an rfc2217 port are sent when it connects; changing them while open has no effect there.
#include "NetLink.h"
#include "SerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

namespace r8 {

class ECommError : public std::runtime_error {
public:
    explicit ECommError(const std::string& message) : std::runtime_error(message) {}
};

// Code -1: the device cannot be opened, locked or configured (it is not a terminal);
// -2: the watcher's wake-up descriptor cannot be created. With a path the message goes on with
// a line that names the device and says in plain words what is wrong (Cause: the errno).
class ECommOpenError : public ECommError {
public:
    explicit ECommOpenError(int32_t code);
    // said: for a network port, the line its server sent before it closed (NetFailureText).
    ECommOpenError(int32_t code, const std::string& path, int cause, int port = 0,
                   const std::string& said = {});
    int32_t ErrorCode;
    std::string Path;
    int Cause = 0;
    std::string Said;
};

// "PATH: what is wrong." for an errno of a failed open, lock or set-up of a serial device;
// without a path, which port has no device.
std::string OpenFailureText(const std::string& path, int cause, int port = 0,
                            const std::string& said = {});

// Code: the errno of the failed call; ETIMEDOUT when a Write could not hand all its bytes to
// the device within 1000 ms (peer not reading, CTS never raised).
class ECommReadWriteError : public ECommError {
public:
    explicit ECommReadWriteError(int32_t code);
    int32_t ErrorCode;
};

extern const char* const kCommNotStarted;  // "通信が開始されていない。"
extern const char* const kCommSendTooLong; // "送信データ長が長すぎる。"

enum class TCommByteSize { cbs4, cbs5, cbs6, cbs7, cbs8 };
enum class TCommParityBits { cpbNone, cpbOdd, cpbEven, cpbMark, cpbSpace };
enum class TCommStopBits { csb1, csb15, csb2 };
enum class TCommFlowControl { cfcDtrDsr, cfcRtsCts, cfcXonXoff };
using TCommFlowControls = std::set<TCommFlowControl>;
enum class TCommEvents {
    evRxchar,
    evRxflag,
    evTxempty,
    evCts,
    evDsr,
    evRlsd,
    evBreak,
    evErr,
    evRing,
    evPerr
};
using TCommEventMask = std::set<TCommEvents>;

// Device path of port n: "/dev/ttyS0" for 1 and "/dev/ttyS1" for 2 unless overridden;
// other numbers map to "/dev/ttyS<n-1>"; port 0 has no default path.
void SetPortPath(uint8_t port, const std::string& path);
std::string PortPath(uint8_t port);

class TComm;

class TCommWatch {
public:
    TCommWatch(TComm& owner, int fd, int wakeFd);
    ~TCommWatch(); // stops and joins
    void Execute();
    // Makes Execute return at its next wake-up, which this call causes.
    void Stop();

private:
    TComm& owner_;
    int fd_;
    int wakeFd_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class TComm : public SerialPort, private NetSink {
public:
    TComm();
    ~TComm() override;
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    void Open() override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0 || netOpen_; }
    // Returns once every byte is handed to the device; waits for room (and for the end of a
    // break) at most 1000 ms in all, then throws ECommReadWriteError(ETIMEDOUT).
    void Write(const uint8_t* buf, size_t count) override;
    // Takes up to count queued bytes. With nothing queued it waits up to 1000 ms for some and
    // returns 0 on time-out. Once the device is gone it returns 0 at once and drops what is
    // still queued, so a handler that resumes after a nested loop sees no stale bytes.
    size_t Read(uint8_t* buf, size_t count) override;
    void SendString(const std::string& text);
    // Puts the line in the break state for 500 ms and returns at once; the watcher ends the
    // break, and a Write meanwhile waits for that. Throws ECommReadWriteError with the errno
    // when the break cannot be set (EBADF on a closed port, ENOTSUP on a network port).
    void SendBreak();
    // False when closed or gone. A device without modem lines (pseudo-terminal) reads as on.
    bool DsrState() const override;

    // A network port to the same name that has not failed.
    bool KeepsConnection(uint8_t port) const override;

    uint8_t Port() const override { return port_; }
    void SetPort(uint8_t port) override { port_ = port; }
    // Speeds map to the nearest lower termios rate (14400 runs at 9600, 56000 at 38400,
    // 128000 at 115200, 256000 at 230400); below 50 bit/s the device speed is left unchanged.
    int32_t BaudRate() const override { return baudRate_; }
    void SetBaudRate(int32_t baud) override;
    uint16_t BaudRateUserDefined() const { return baudRateUserDefined_; }
    void SetBaudRateUserDefined(uint16_t baud);
    // cbs4 has no termios form and runs as 5 data bits.
    TCommByteSize ByteSize() const { return byteSize_; }
    void SetByteSize(TCommByteSize v);
    // Received bytes with parity errors are passed on unchanged (no INPCK).
    TCommParityBits ParityBits() const { return parity_; }
    void SetParityBits(TCommParityBits v);
    // csb15 runs as CSTOPB (1.5 stop bits only where the UART gives that for 5 data bits).
    TCommStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TCommStopBits v);
    // cfcRtsCts: CRTSCTS, else RTS raised. cfcXonXoff: IXON | IXOFF with 0x11 / 0x13.
    // cfcDtrDsr has no termios form and is only stored; DTR stays raised while open.
    TCommFlowControls FlowControls() const { return flow_; }
    void SetFlowControls(const TCommFlowControls& v);
    // Bound of the in-process receive queue, taken at Open. When it is full the watcher stops
    // reading, so the kernel buffer and then RTS/CTS hold the sender back; nothing is dropped.
    uint16_t InQueueSize() const { return inQueueSize_; }
    void SetInQueueSize(uint16_t v) { inQueueSize_ = v; }
    // Largest single Write.
    uint16_t OutQueueSize() const { return outQueueSize_; }
    void SetOutQueueSize(uint16_t v) { outQueueSize_ = v; }
    // termios has no XON/XOFF thresholds: the notify sizes are only stored.
    int32_t ReceiveNotifySize() const { return receiveNotifySize_; }
    void SetReceiveNotifySize(int32_t v) { receiveNotifySize_ = v; }
    int32_t SendNotifySize() const { return sendNotifySize_; }
    void SetSendNotifySize(int32_t v) { sendNotifySize_ = v; }
    // Only stored: received bytes are the one event reported.
    TCommEventMask EventMask() const { return eventMask_; }
    void SetEventMask(const TCommEventMask& v) { eventMask_ = v; }

    // Readable while received bytes wait for DispatchEvents(), and once when the device goes
    // away. Lives as long as the component.
    int EventFd() const { return eventFd_; }
    // On the owner's thread: calls OnCommReceive with the count of waiting bytes, if any, and
    // again while the handler takes bytes and some remain. A call made from inside a handler
    // (a nested event loop) only clears EventFd() and returns; the outer call picks up what
    // arrived meanwhile. An exception from the handler propagates to the caller.
    void DispatchEvents();
    // True once the watcher saw the device go away (hang-up, EIO, end of file). Cleared by
    // Open and Close.
    bool DeviceGone() const;
    // Bytes waiting in the receive queue.
    size_t InQueueCount() const;
    // The open port is a network port.
    bool IsNetwork() const { return netOpen_; }
    // Why a network port was lost (see NetFailureText); 0 otherwise.
    int GoneCause() const;
    // The line of text the lost network port's server sent before it closed, or "".
    std::string GoneServerText() const;
    // Network connections of this component that failed or ended so far, and why the last one
    // did (NetFailureText); kept across Close, so that a failure a search has already closed
    // and opened again over is still known.
    struct NetFailure {
        uint64_t count = 0;
        int cause = 0;
        std::string said;
    };
    NetFailure LastNetFailure() const;

    // Line speed the current settings give (after -1 / BaudRateUserDefined resolution and
    // the mapping to termios rates); 0 when the device speed is left unchanged.
    int32_t EffectiveBaud() const;

private:
    friend class TCommWatch;
    void openNetwork(const std::string& path);
    rfc2217::LineRequest lineRequest() const;
    // NetSink, on the watcher thread.
    size_t RoomInQueue() const override { return roomInQueue(); }
    void HandOver(const uint8_t* data, size_t n) override { handOver(data, n); }
    void Lost(int cause) override;

    template <class Change> void changeLine(Change change);
    void raiseRtsIfNoHandshake();
    bool DoCommReceive();
    void signalOwner();

    // Watcher side.
    size_t roomInQueue() const;
    void handOver(const uint8_t* data, size_t n);
    void markGone();
    int breakTimeoutMs() const;
    void endBreakIfDue();

    uint8_t port_ = 1;
    int32_t baudRate_ = 9600;
    uint16_t baudRateUserDefined_ = 9600;
    TCommByteSize byteSize_ = TCommByteSize::cbs8;
    TCommParityBits parity_ = TCommParityBits::cpbNone;
    TCommStopBits stopBits_ = TCommStopBits::csb1;
    TCommFlowControls flow_{TCommFlowControl::cfcRtsCts};
    uint16_t inQueueSize_ = 4096;
    uint16_t outQueueSize_ = 4096;
    int32_t receiveNotifySize_ = 3072;
    int32_t sendNotifySize_ = 1024;
    TCommEventMask eventMask_;

    std::atomic<int> fd_{-1};
    std::atomic<bool> netOpen_{false};
    std::unique_ptr<NetLink> net_;
    std::string netPath_; // the name net_ connects to
    int eventFd_ = -1;
    int wakeFd_ = -1;
    std::unique_ptr<TCommWatch> watch_;
    bool dispatching_ = false;

    // Shared with the watcher, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<uint8_t> rxQueue_;
    size_t rxLimit_ = 4096;
    uint64_t received_ = 0; // bytes ever queued
    uint64_t consumed_ = 0; // bytes ever taken by Read
    bool gone_ = false;
    NetFailure netFailure_;
    std::optional<std::chrono::steady_clock::time_point> breakUntil_;
};

} // namespace r8
