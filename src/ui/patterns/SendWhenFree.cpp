// SPDX-License-Identifier: MIT
#include "SendWhenFree.h"

namespace r8::ui {

SendWhenFree::SendWhenFree(RoomContext& ctx, QObject* owner, const char* timerName, int intervalMs,
                           ChainSteps* steps)
    : RetryTimer(new Timer(owner, intervalMs, false)), ctx_(ctx), steps_(steps) {
    RetryTimer->setObjectName(timerName);
    RetryTimer->OnTimer = [this] { Tick(); };
}

void SendWhenFree::Send(Prefix payload, std::function<void()> before, ChainSteps::Next next) {
    payload_ = std::move(payload);
    before_ = std::move(before);
    next_ = std::move(next);
    RetryTimer->SetEnabled(!tryNow());
}

void SendWhenFree::Tick() {
    if (Pending() && tryNow()) RetryTimer->SetEnabled(false);
}

bool SendWhenFree::tryNow() {
    if (!ctx_.Trans_chk()) return false;
    if (before_) before_();
    if (steps_)
        steps_->Send(payload_, next_);
    else
        SendPayload(ctx_, payload_);
    return true;
}

} // namespace r8::ui
