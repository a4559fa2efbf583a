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
