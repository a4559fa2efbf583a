// SPDX-License-Identifier: MIT
#pragma once
// A step of a camera-driven procedure that must not be lost: sent at once when Trans_chk
// accepts, otherwise kept and tried again at each tick of its timer until Trans_chk accepts
// (a page load has the link meanwhile). One step is kept at a time; a new one replaces it. With
// the procedure's chain steps given, the step goes out as one of them and its reply goes on.
#include "Room.h"
#include "patterns/ChainStep.h"
#include "patterns/Senders.h"
#include "widgets/Controls.h"

#include <functional>

namespace r8::ui {

class SendWhenFree {
public:
    SendWhenFree(RoomContext& ctx, QObject* owner, const char* timerName, int intervalMs = 300,
                 ChainSteps* steps = nullptr);

    // before runs just before the payload goes out (now or at a later tick); next, with chain
    // steps given, gets the reply.
    void Send(Prefix payload, std::function<void()> before = {}, ChainSteps::Next next = {});
    bool Pending() const { return RetryTimer->Enabled(); }
    // The timer's tick handler.
    void Tick();

    Timer* const RetryTimer;

private:
    bool tryNow();

    RoomContext& ctx_;
    ChainSteps* steps_;
    Prefix payload_;
    std::function<void()> before_;
    ChainSteps::Next next_;
};

} // namespace r8::ui
