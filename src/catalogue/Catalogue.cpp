// SPDX-License-Identifier: MIT
#include "Catalogue.h"

#include "AdjustSettings.h"
#include "DefectSettings.h"
#include "EasySettings.h"
#include "IrSettings.h"
#include "LineSettings.h"

#include <array>

namespace r8 {

namespace {

// One table per tab, in page order (what list shows first); a tab that declares settings adds
// its table here.
constexpr std::span<const SettingEntry* const> kTables[] = {
    settings::kAdjustSettings, // page 0
    settings::kDefectSettings, // page 2
    settings::kEasySettings,   // page 4
    settings::kLineSettings,   // page 5
    settings::kIrSettings,     // page 6, the MASK tab
};

constexpr size_t CountAll() {
    size_t n = 0;
    for (auto t : kTables)
        n += t.size();
    return n;
}

constexpr auto kAll = [] {
    std::array<const SettingEntry*, CountAll()> all{};
    size_t i = 0;
    for (auto t : kTables)
        for (const SettingEntry* e : t)
            all[i++] = e;
    return all;
}();

constexpr bool NamesUnique() {
    for (size_t i = 0; i < kAll.size(); ++i)
        for (size_t j = i + 1; j < kAll.size(); ++j)
            if (kAll[i]->name == kAll[j]->name) return false;
    return true;
}
static_assert(NamesUnique(), "two settings share a name");

constexpr std::string_view kPageNames[kPageGroups] = {"adjust", "debug", "defect", "copy",
                                                      "easy",   "line",  "mask"};

} // namespace

std::span<const SettingEntry* const> Catalogue() {
    return kAll;
}

const SettingEntry* FindSetting(std::string_view name) {
    for (const SettingEntry* e : kAll)
        if (e->name == name) return e;
    return nullptr;
}

std::string_view PageName(PageGroup page) {
    return page < kPageGroups ? kPageNames[page] : std::string_view{};
}

std::optional<PageGroup> PageByName(std::string_view name) {
    for (int p = 0; p < kPageGroups; ++p)
        if (kPageNames[p] == name) return static_cast<PageGroup>(p);
    return std::nullopt;
}

namespace {
std::vector<uint8_t> Command(uint8_t p1, const CommandKey& key) {
    std::vector<uint8_t> p{p1};
    for (int i = 0; i < key.size; ++i)
        p.push_back(key.bytes[static_cast<size_t>(i)]);
    return p;
}
} // namespace

std::vector<uint8_t> WritePayload(const SettingEntry& s, int value) {
    std::vector<uint8_t> p = Command(0x21, s.key);
    if (s.width == 2) p.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    p.push_back(static_cast<uint8_t>(value & 0xFF));
    for (int i = 0; i < s.tail.size; ++i)
        p.push_back(s.tail.bytes[static_cast<size_t>(i)]);
    return p;
}

std::vector<uint8_t> ReadPayload(const SettingEntry& s) {
    return Command(0x31, s.key);
}

bool AnswerCarries(const SettingEntry& s, const AnswerView& a) {
    if (!a.Good()) return false;
    // A key of one byte names a function without items: A3 carries the value.
    for (int i = 0; i < s.key.size; ++i)
        if (a.A(2 + i) != s.key.bytes[static_cast<size_t>(i)]) return false;
    return true;
}

int ValueIn(const SettingEntry& s, const AnswerView& a, int at) {
    if (s.width == 2) return s.isSigned ? a.S16(at) : a.U16(at);
    return a.A(at);
}

} // namespace r8
