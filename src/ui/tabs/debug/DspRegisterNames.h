// SPDX-License-Identifier: MIT
#pragma once
// The texts of the "Debug" tab's register list (UTF-8): two hexadecimal digits of the address,
// one blank and the register's name.

namespace r8::ui {

constexpr int kDspRegisterCount = 204; // addresses 0x00 to 0xCB
extern const char* const kDspRegisterNames[kDspRegisterCount];

} // namespace r8::ui
