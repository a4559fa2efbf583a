// SPDX-License-Identifier: MIT
// The raw command text parser against a plain reference, and its payload read back.
#include "HexText.h"
#include "patterns/CommandText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

bool Separator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const r8::ui::CommandText got = r8::ui::ParseCommandText(text);

    // Reference: tokens, each all hexadecimal digits, ceil(length / 2) bytes.
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (Separator(c)) {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    using R = r8::ui::CommandText::Result;
    R want = tokens.empty() ? R::Empty : R::Ok;
    std::string bad;
    size_t bytes = 0;
    for (const auto& t : tokens) {
        bool hex = true;
        for (char c : t)
            hex = hex && r8::HexDigitValue(c) >= 0;
        if (!hex) {
            want = R::NotHex;
            bad = t;
            break;
        }
        bytes += (t.size() + 1) / 2;
        if (bytes > 15) {
            want = R::TooLong;
            bad = t;
            break;
        }
    }
    Check(got.result == want);
    Check(got.token == bad);
    Check(got.Ok() == got.Problem().empty());
    if (!got.Ok()) {
        Check(got.count == 0);
        for (uint8_t b : got.payload)
            Check(b == 0);
        return 0;
    }
    Check(got.count == static_cast<int>(bytes));
    for (size_t i = static_cast<size_t>(got.count); i < got.payload.size(); ++i)
        Check(got.payload[i] == 0);

    // The payload written out as blank-separated bytes reads back the same.
    std::string again;
    for (int i = 0; i < got.count; ++i)
        again += r8::HexByte(got.payload[static_cast<size_t>(i)]) + " ";
    const r8::ui::CommandText back = r8::ui::ParseCommandText(again);
    Check(back.Ok() && back.count == got.count && back.payload == got.payload);
    return 0;
}
