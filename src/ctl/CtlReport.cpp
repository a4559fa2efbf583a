// SPDX-License-Identifier: MIT
#include "CtlReport.h"

#include "Catalogue.h"
#include "HexText.h"
#include "ToolError.h"

#include <algorithm>
#include <string>

namespace r8 {

namespace {

std::string Quoted(std::string_view text) {
    return JsonString(text);
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
        r += ", \"min\": " + Quoted(FormatValue(s, sv.lo)) +
             ", \"max\": " + Quoted(FormatValue(s, sv.hi));
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
        std::fputs("{\"settings\": [\n", out);
        for (size_t i = 0; i < values.size(); ++i)
            std::fprintf(out, "  %s%s\n", JsonEntry(values[i]).c_str(),
                         i + 1 < values.size() ? "," : "");
        std::fputs("]}\n", out);
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

std::string ValuesObject(const std::vector<SettingValue>& values) {
    // A setting named twice (set agc=1 agc=2) is one key, with the value it ended with.
    std::vector<const SettingValue*> last;
    for (const auto& sv : values) {
        auto same = std::find_if(last.begin(), last.end(),
                                 [&](const SettingValue* o) { return o->setting == sv.setting; });
        if (same == last.end())
            last.push_back(&sv);
        else
            *same = &sv;
    }
    std::string r = "{";
    for (const SettingValue* sv : last)
        r += (r.size() > 1 ? ", " : "") + Quoted(sv->setting->name) + ": " +
             (sv->value ? JsonValue(*sv->setting, *sv->value) : "null");
    return r + "}";
}

void PrintValues(std::FILE* out, const std::vector<SettingValue>& values, bool json) {
    if (json) {
        std::fprintf(out, "%s\n", ValuesObject(values).c_str());
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
