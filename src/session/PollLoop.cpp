// SPDX-License-Identifier: MIT
#include "PollLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace r8 {

struct PollLoop::TimerSlot {
    int intervalMs;
    std::function<void()> onTick;
    bool enabled = false;
    Clock::time_point due{};
    bool alive = true;
};

class PollLoop::Timer : public LoopTimer {
public:
    explicit Timer(std::shared_ptr<TimerSlot> slot) : slot_(std::move(slot)) {}
    ~Timer() override { slot_->alive = false; }
    void SetEnabled(bool on) override {
        if (on == slot_->enabled) return;
        slot_->enabled = on;
        if (on) slot_->due = Clock::now() + std::chrono::milliseconds(slot_->intervalMs);
    }
    bool Enabled() const override { return slot_->enabled; }
    int Interval() const override { return slot_->intervalMs; }

private:
    std::shared_ptr<TimerSlot> slot_;
};

PollLoop::PollLoop() = default;
PollLoop::~PollLoop() = default;

std::unique_ptr<LoopTimer> PollLoop::MakeTimer(int intervalMs, std::function<void()> onTick) {
    auto slot = std::make_shared<TimerSlot>();
    slot->intervalMs = std::max(intervalMs, 1);
    slot->onTick = std::move(onTick);
    timers_.push_back(slot);
    return std::make_unique<Timer>(slot);
}

void PollLoop::Post(std::function<void()> fn) {
    posted_.push_back(std::move(fn));
}

void PollLoop::Watch(int fd, std::function<void()> onReadable) {
    watched_.push_back({fd, std::move(onReadable)});
}

void PollLoop::run(const std::function<void()>& fn) {
    if (!OnException) {
        fn();
        return;
    }
    try {
        fn();
    } catch (const std::exception& e) {
        OnException(e);
    }
}

int PollLoop::msToNextTimer(Clock::time_point now) const {
    int wait = -1;
    for (const auto& t : timers_) {
        if (!t->alive || !t->enabled) continue;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(t->due - now).count();
        const int m =
            static_cast<int>(std::clamp<long long>(ms, 0, std::numeric_limits<int>::max()));
        if (wait < 0 || m < wait) wait = m;
    }
    return wait;
}

void PollLoop::fireDueTimers(Clock::time_point now) {
    std::erase_if(timers_, [](const auto& t) { return !t->alive; });
    // A tick may create or destroy timers: work on a copy of the list.
    const auto timers = timers_;
    for (const auto& t : timers) {
        if (!t->alive || !t->enabled || t->due > now) continue;
        t->due += std::chrono::milliseconds(t->intervalMs);
        if (t->due <= now) t->due = now + std::chrono::milliseconds(t->intervalMs);
        run(t->onTick);
    }
}

void PollLoop::RunOnce(int maxWaitMs) {
    if (!posted_.empty()) {
        auto batch = std::move(posted_);
        posted_.clear();
        for (auto& fn : batch)
            run(fn);
        maxWaitMs = 0;
    }
    int wait = msToNextTimer(Clock::now());
    if (maxWaitMs >= 0 && (wait < 0 || maxWaitMs < wait)) wait = maxWaitMs;
    if (!posted_.empty()) wait = 0;

    std::vector<pollfd> fds;
    fds.reserve(watched_.size());
    for (const auto& w : watched_)
        fds.push_back({w.fd, POLLIN, 0});
    const int n = ::poll(fds.data(), fds.size(), wait);
    if (n > 0) {
        const auto watched = watched_;
        for (size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) run(watched[i].onReadable);
    }
    fireDueTimers(Clock::now());
}

bool PollLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    quit_ = false;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && !quit_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        RunOnce(static_cast<int>(left));
    }
    return done();
}

} // namespace r8
