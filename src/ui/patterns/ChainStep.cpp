// SPDX-License-Identifier: MIT
#include "ChainStep.h"

namespace r8::ui {

Request RequestOf(const Prefix& payload) {
    Request r;
    for (uint8_t b : payload)
        if (r.n < static_cast<int>(kPayloadSize)) r.p[static_cast<size_t>(r.n++)] = b;
    return r;
}

bool ChainSteps::MayStart() const {
    return !ReadBack::Showing() && ctx_.Trans_chk();
}

bool ChainSteps::Start(const Prefix& payload, Next next) {
    if (!MayStart()) return false;
    Send(payload, std::move(next));
    return true;
}

void ChainSteps::Send(const Prefix& payload, Next next) {
    ++awaited_;
    ctx_.Exchange(RequestOf(payload),
                  [this, next = std::move(next)](const Reply& r) { replied(r, next); });
}

void ChainSteps::replied(const Reply& r, const Next& next) {
    --awaited_;
    if (r.Ok() && !r.ackOnly) {
        if (next) next(AnswerView(r.answer.data(), r.command.data()));
        return;
    }
    if (r.error == ExchangeError::ErrorAnswer && reportsErrors_)
        ctx_.ShowMessage(" Error ", "ERR", 2);
    if (OnEnded) OnEnded(r.error);
}

} // namespace r8::ui
