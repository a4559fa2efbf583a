// SPDX-License-Identifier: MIT
#pragma once
// The steps of a chain of exchanges (the save write-back, a RAM dump, the defect search, a Line
// procedure): each step is one request, and its reply, read together with the command it
// answers, decides the next. A step waits its turn behind the exchange on the wire and the
// commands asked for before it, so an operator's command during a chain goes out between two
// steps. The chain never looks at what the link sent last.
#include "Room.h"
#include "patterns/Senders.h"

#include <functional>

namespace r8::ui {

class ChainSteps {
public:
    // What a good answer to a step does next (usually sends the next step).
    using Next = std::function<void(const AnswerView&)>;

    // reportsErrors: an error answer shows " Error " (caption "ERR"), as the tab's own answer
    // handler does; without it the chain ends silently.
    explicit ChainSteps(RoomContext& ctx, bool reportsErrors = true)
        : ctx_(ctx), reportsErrors_(reportsErrors) {}

    // What an operator's handler asks before it starts a chain: no read-back is being shown
    // and Trans_chk accepts.
    bool MayStart() const;
    // The first step, from an operator's handler: nothing at all unless MayStart. True when it
    // went out (or waits its turn).
    bool Start(const Prefix& payload, Next next);
    // A later step, from the reply of the one before (no Trans_chk of its own).
    void Send(const Prefix& payload, Next next);

    // The chain ended before its end: an error answer, no answer (the link has reported it), a
    // lost link. Runs after the reply; the step that failed is the argument.
    std::function<void(ExchangeError)> OnEnded;
    // Steps sent whose reply has not come yet.
    int Awaited() const { return awaited_; }

private:
    void replied(const Reply& r, const Next& next);

    RoomContext& ctx_;
    bool reportsErrors_;
    int awaited_ = 0;
};

// The request for a payload (P1..Pn).
Request RequestOf(const Prefix& payload);

} // namespace r8::ui
