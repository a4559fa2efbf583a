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
    if (a[1] != p[1]) return false;
    // An answer in error need not carry more of the command than its function.
    if (a[0] != 0xA0) return true;
    switch (p[1]) {
    case 0x0C:                               // EEPROM word (and camera register above 03FF)
    case 0x0D:                               // RAM
    case 0x0F:                               // EEPROM word with RAM copy
        return a[2] == p[2] && a[3] == p[3]; // the address
    default:
        return true;
    }
}

} // namespace r8
