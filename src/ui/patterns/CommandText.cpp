// SPDX-License-Identifier: MIT
#include "CommandText.h"

#include "HexText.h"

namespace r8::ui {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

} // namespace

CommandText ParseCommandText(std::string_view text) {
    CommandText out;
    size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        const std::string_view token = text.substr(i, end - i);
        i = end;
        for (char c : token)
            if (HexDigitValue(c) < 0) {
                out = {};
                out.result = CommandText::Result::NotHex;
                out.token = token;
                return out;
            }
        const size_t bytes = (token.size() + 1) / 2;
        if (static_cast<size_t>(out.count) + bytes > out.payload.size()) {
            out = {};
            out.result = CommandText::Result::TooLong;
            out.token = token;
            return out;
        }
        for (size_t d = 0; d < token.size(); d += 2) {
            int v = HexDigitValue(token[d]);
            if (d + 1 < token.size()) v = v * 16 + HexDigitValue(token[d + 1]);
            out.payload[static_cast<size_t>(out.count++)] = static_cast<uint8_t>(v);
        }
        out.result = CommandText::Result::Ok;
    }
    return out;
}

std::string CommandText::Problem() const {
    switch (result) {
    case Result::Ok:
        return {};
    case Result::Empty:
        return "Nothing to send";
    case Result::NotHex:
        return "\"" + token + "\": not hex";
    case Result::TooLong:
        return "\"" + token + "\": past 15 bytes";
    }
    return {};
}

} // namespace r8::ui
