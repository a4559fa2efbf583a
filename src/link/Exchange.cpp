// SPDX-License-Identifier: MIT
#include "Exchange.h"

namespace r8 {

const char* ExchangeErrorText(ExchangeError e) {
    switch (e) {
    case ExchangeError::None:
        return "ok";
    case ExchangeError::ErrorAnswer:
        return "error answer";
    case ExchangeError::NoAnswer:
        return "no answer";
    case ExchangeError::LinkLost:
        return "link lost";
    }
    return "?";
}

bool AnswerBelongs(const uint8_t* a, const Payload15& p) {
    return a[1] == p[1];
}

} // namespace r8
