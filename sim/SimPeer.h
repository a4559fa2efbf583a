#pragma once
// The simulated camera on a pseudo-terminal: the tool opens the slave side as its serial port;
// the camera's own thread serves the master side with the line protocol (ACK, answer frames,
// NAK), optional 9600 bit/s pacing, a trace and injected faults.
//
// The camera keeps a descriptor of the slave side open for its whole life, so the tool may
// close and reopen the port (as it does while searching for the camera) without hanging up the
// line.
#include "CameraModel.h"
#include "FrameParser.h"
#include "SimOptions.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r8::sim {

class CameraSim {
public:
    // Builds the camera; an EEPROM file that cannot be loaded throws std::runtime_error.
    explicit CameraSim(SimOptions o = {});
    ~CameraSim(); // stops and cleans up
    CameraSim(const CameraSim&) = delete;
    CameraSim& operator=(const CameraSim&) = delete;

    // Opens the pseudo-terminal pair (and the link), starts the thread; throws
    // std::runtime_error on failure.
    void Start();
    void Stop();
    std::string SlavePath() const;

    // Everything received, as complete units in order: control bytes as 1-byte vectors,
    // command frames (19 bytes) and block frames, whatever their CRC. Thread-safe copy.
    std::vector<std::vector<uint8_t>> Received() const;
    // Blocks until Received().size() >= n or the timeout; returns whether it was reached.
    bool WaitReceived(size_t n, int timeoutMs) const;
    // P1..P15 of the command frames received, in order.
    std::vector<std::array<uint8_t, 15>> Commands() const;
    // Runs fn on the camera under the camera's lock.
    void WithModel(const std::function<void(CameraModel&)>& fn);

    const SimOptions& Options() const { return options_; }

private:
    void Run();
    void ReadLine(Clock::time_point now);
    void Handle(RxUnit& u);
    void SendAnswer(const Payload& answer);
    void Queue(const std::vector<uint8_t>& bytes, const char* what);
    void Transmit(Clock::time_point now);
    void Trace(const char* direction, const std::vector<uint8_t>& bytes, const char* what) const;
    void CloseAll();

    const SimOptions options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable receivedCv_;
    CameraModel model_;
    std::vector<std::vector<uint8_t>> received_;

    int master_ = -1;
    int slave_ = -1;
    int wake_ = -1;
    std::string slavePath_;
    bool linked_ = false;
    std::thread thread_;

    // Owned by the thread.
    struct Arrival {
        uint8_t byte;
        Clock::time_point at;
    };
    FrameParser parser_;
    std::vector<Arrival> arriving_; // read from the line, not yet arrived (pacing)
    size_t arrivingHead_ = 0;
    Clock::time_point lastArrival_{};
    std::vector<uint8_t> tx_;
    size_t txHead_ = 0;
    Clock::time_point nextTx_{};
    bool txBlocked_ = false;
    Clock::time_point lineBackAt_{}; // after a hang-up the master is left alone until then
    std::vector<uint8_t> lastAnswer_;
    long answers_ = 0;
    bool enqSeen_ = false;
    Clock::time_point started_{};
};

} // namespace r8::sim
