// SPDX-License-Identifier: MIT
#include "SendWhenFree.h"

namespace r8::ui {

SendWhenFree::SendWhenFree(RoomContext& ctx, QObject* owner, const char* timerName, int intervalMs)
    : RetryTimer(new Timer(owner, intervalMs, false)), ctx_(ctx) {
    RetryTimer->setObjectName(timerName);
    RetryTimer->OnTimer = [this] { Tick(); };
}

void SendWhenFree::Send(Prefix payload, std::function<void()> before) {
    payload_ = std::move(payload);
    before_ = std::move(before);
    RetryTimer->SetEnabled(!tryNow());
}

void SendWhenFree::Tick() {
    if (Pending() && tryNow()) RetryTimer->SetEnabled(false);
}

bool SendWhenFree::tryNow() {
    if (!ctx_.Trans_chk()) return false;
    if (before_) before_();
    SendPayload(ctx_, payload_);
    return true;
}

} // namespace r8::ui
