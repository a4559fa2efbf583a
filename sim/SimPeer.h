// SPDX-License-Identifier: MIT
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
#include <deque>
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

    // Holding replies, so that a test can look at the state between a command and its answer.
    // While holding, every unit is still read, recorded and carried out, but what the camera
    // would send in reaction (ACK, NAK, answer frame, noise) is kept back, unit by unit, in
    // arrival order. Units that get no reply (the tool's ACK, EOT) are neither held nor counted.
    // A frame broken off (no ETX) is held and counted for its NAK although Received() leaves it
    // out. All five are thread-safe; call them while the camera runs.
    void Hold();
    // Lets the replies of the oldest `units` held units go out (no more than Held()).
    void Release(size_t units = 1);
    // Lets the first `bytes` bytes of the oldest held reply go out (its ACK, part of its
    // answer frame); the rest stays held as that unit's reply.
    void ReleaseBytes(size_t bytes);
    // Lets everything held go out and stops holding.
    void Resume();
    // Units whose replies are held back.
    size_t Held() const;
    // Blocks until Held() >= n or the timeout; returns whether it was reached.
    bool WaitHeld(size_t n, int timeoutMs) const;
    // Bytes written to the line so far, and a wait until at least n are.
    size_t Sent() const;
    bool WaitSent(size_t n, int timeoutMs) const;

    const SimOptions& Options() const { return options_; }

private:
    struct Out {
        std::vector<uint8_t> bytes;
        const char* what;
    };
    using Reply = std::vector<Out>; // everything sent in reaction to one received unit

    void Run();
    void ReadLine(Clock::time_point now);
    void Handle(RxUnit& u);
    Reply React(const RxUnit& u);
    void AddAnswer(const Payload& answer, Reply& reply);
    void Wake();
    void SendReleased(Clock::time_point from);
    void Queue(const std::vector<uint8_t>& bytes, const char* what, Clock::time_point from);
    void Transmit(Clock::time_point now);
    void Trace(const char* direction, const std::vector<uint8_t>& bytes, const char* what) const;
    void CloseAll();

    const SimOptions options_;
    // mutex_ guards the model and everything down to stopping_; receivedCv_ is notified when a
    // unit is recorded or held, and when bytes are written to the line.
    mutable std::mutex mutex_;
    mutable std::condition_variable receivedCv_;
    CameraModel model_;
    std::vector<std::vector<uint8_t>> received_;
    bool holding_ = false;
    std::deque<Reply> held_;
    std::deque<Reply> released_; // cleared to go; the camera's thread queues them for sending
    size_t sent_ = 0;            // bytes written to the line
    bool stopping_ = false;

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
