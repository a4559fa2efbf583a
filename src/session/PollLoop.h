// SPDX-License-Identifier: MIT
#pragma once
// An event loop on poll(): timers by deadline, deferred calls, watched descriptors. It sleeps
// in poll() until something is due, so an idle loop uses no CPU. For tools without a window
// and for tests that drive the session core directly.
#include "EventLoop.h"

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace r8 {

class PollLoop : public EventLoop {
public:
    using Clock = std::chrono::steady_clock;

    PollLoop();
    ~PollLoop() override;
    PollLoop(const PollLoop&) = delete;
    PollLoop& operator=(const PollLoop&) = delete;

    std::unique_ptr<LoopTimer> MakeTimer(int intervalMs, std::function<void()> onTick) override;
    void Post(std::function<void()> fn) override;
    void Watch(int fd, std::function<void()> onReadable) override;

    // Runs what is due, waiting at most maxWaitMs (-1: until something happens) for it.
    void RunOnce(int maxWaitMs);
    // Runs until done() is true or timeoutMs has passed; returns done().
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);
    // Makes RunUntil return at its next check.
    void Quit() { quit_ = true; }
    bool QuitAsked() const { return quit_; }

    // An exception from a callback goes here; without a handler it propagates out of RunOnce.
    std::function<void(const std::exception&)> OnException;

private:
    struct TimerSlot;
    class Timer;
    void run(const std::function<void()>& fn);
    int msToNextTimer(Clock::time_point now) const;
    void fireDueTimers(Clock::time_point now);

    std::vector<std::shared_ptr<TimerSlot>> timers_;
    std::deque<std::function<void()>> posted_;
    struct Watched {
        int fd;
        std::function<void()> onReadable;
    };
    std::vector<Watched> watched_;
    bool quit_ = false;
};

} // namespace r8
