#include "CtlReport.h"

#include "Catalogue.h"
#include "HexText.h"

#include <algorithm>
#include <string>

namespace r8 {

namespace {

std::string Quoted(std::string_view text) {
    std::string r = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            r += buf;
        } else {
            r += c;
        }
    }
    return r + "\"";
}

std::string JsonValue(const SettingEntry& s, int v) {
    switch (s.kind) {
    case SettingKind::Range:
        return std::to_string(v);
    case SettingKind::OnOff:
        return v != 0 ? "true" : "false";
    case SettingKind::Choice:
        if (v < 0 || static_cast<size_t>(v) >= s.items.size()) return std::to_string(v);
        [[fallthrough]];
    case SettingKind::HexWord:
        break;
    }
    return Quoted(FormatValue(s, v));
}

std::string JsonEntry(const SettingValue& sv) {
    const SettingEntry& s = *sv.setting;
    std::string r = "{\"name\": " + Quoted(s.name) + ", \"caption\": " + Quoted(s.caption) +
                    ", \"page\": " + Quoted(PageName(s.page)) +
                    ", \"kind\": " + Quoted(KindName(s.kind));
    if (s.kind == SettingKind::Range)
        r += ", \"min\": " + std::to_string(sv.lo) + ", \"max\": " + std::to_string(sv.hi);
    if (s.kind == SettingKind::HexWord)
        r += ", \"min\": " + Quoted(HexWord(sv.lo)) + ", \"max\": " + Quoted(HexWord(sv.hi));
    if (s.kind == SettingKind::Choice) {
        r += ", \"choices\": [";
        for (size_t i = 0; i < s.items.size(); ++i)
            r += (i ? ", " : "") + Quoted(s.items[i]);
        r += "]";
    }
    return r + ", \"value\": " + (sv.value ? JsonValue(s, *sv.value) : "null") + "}";
}

} // namespace

void PrintList(std::FILE* out, const std::vector<SettingValue>& values, bool json) {
    if (json) {
        std::fputs("[\n", out);
        for (size_t i = 0; i < values.size(); ++i)
            std::fprintf(out, "  %s%s\n", JsonEntry(values[i]).c_str(),
                         i + 1 < values.size() ? "," : "");
        std::fputs("]\n", out);
        return;
    }
    std::vector<std::string> shown;
    size_t nameWidth = 4, valueWidth = 5;
    for (const auto& sv : values) {
        shown.push_back(sv.value ? FormatValue(*sv.setting, *sv.value) : "?");
        nameWidth = std::max(nameWidth, sv.setting->name.size());
        valueWidth = std::max(valueWidth, shown.back().size());
    }
    const int nw = static_cast<int>(nameWidth), vw = static_cast<int>(valueWidth);
    std::fprintf(out, "%-*s  %-6s  %-*s  %s\n", nw, "NAME", "KIND", vw, "VALUE", "RANGE");
    for (size_t i = 0; i < values.size(); ++i) {
        const SettingValue& sv = values[i];
        std::fprintf(out, "%-*s  %-6s  %-*s  %s\n", nw, std::string(sv.setting->name).c_str(),
                     std::string(KindName(sv.setting->kind)).c_str(), vw, shown[i].c_str(),
                     FormatRange(*sv.setting, sv.lo, sv.hi).c_str());
    }
}

void PrintValues(std::FILE* out, const std::vector<SettingValue>& values, bool json) {
    if (json) {
        std::string r = "{";
        for (const auto& sv : values)
            if (sv.value)
                r += (r.size() > 1 ? ", " : "") + Quoted(sv.setting->name) + ": " +
                     JsonValue(*sv.setting, *sv.value);
        std::fprintf(out, "%s}\n", r.c_str());
        return;
    }
    for (const auto& sv : values)
        if (sv.value)
            std::fprintf(out, "%s=%s\n", std::string(sv.setting->name).c_str(),
                         FormatValue(*sv.setting, *sv.value).c_str());
}

void PrintRaw(std::FILE* out, const std::vector<uint8_t>& command, const uint8_t* answer,
              bool json) {
    std::string spaced;
    if (answer)
        for (int i = 0; i < 15; ++i)
            spaced += (i ? " " : "") + HexByte(answer[i]);
    if (json) {
        std::fprintf(out, "{\"command\": %s, \"answer\": %s}\n",
                     Quoted(HexBytes(command.data(), command.size())).c_str(),
                     answer ? Quoted(HexBytes(answer, 15)).c_str() : "null");
        return;
    }
    std::fprintf(out, "%s\n", answer ? spaced.c_str() : "ACK (no answer frame)");
}

} // namespace r8
