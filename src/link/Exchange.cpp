// SPDX-License-Identifier: MIT
#include "Exchange.h"

#include "KindTable.h"

namespace r8 {

namespace {
constexpr KindText<ExchangeError> kTexts[] = {
    {ExchangeError::None, "ok"},
    {ExchangeError::ErrorAnswer, "error answer"},
    {ExchangeError::NoAnswer, "no answer"},
    {ExchangeError::LinkLost, "link lost"},
};
} // namespace

const char* ExchangeErrorText(ExchangeError e) {
    return TextOf(kTexts, e, "?");
}

bool AnswerBelongs(const uint8_t* a, const Payload15& p) {
    return a[1] == p[1];
}

} // namespace r8
