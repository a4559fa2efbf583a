// SPDX-License-Identifier: MIT
#pragma once
// What the session core needs from the event loop that drives it: timers with the toolkit's
// rules, deferred calls and descriptors to watch. The window gives it Qt's loop; a command-line
// tool gives it a PollLoop. Every callback runs on the loop's one thread.
#include <functional>
#include <memory>

namespace r8 {

class LoopTimer {
public:
    virtual ~LoopTimer() = default;
    // Enabling a running timer keeps its phase; disabling stops it.
    virtual void SetEnabled(bool on) = 0;
    virtual bool Enabled() const = 0;
    virtual int Interval() const = 0;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;
    // A timer, created disabled, that calls onTick every intervalMs while enabled.
    virtual std::unique_ptr<LoopTimer> MakeTimer(int intervalMs, std::function<void()> onTick) = 0;
    // Runs fn later, after the current event has been handled.
    virtual void Post(std::function<void()> fn) = 0;
    // Calls onReadable whenever fd is readable, for as long as the loop lives.
    virtual void Watch(int fd, std::function<void()> onReadable) = 0;
};

} // namespace r8
