// SPDX-License-Identifier: MIT
#include "HexSpin.h"

#include "HexText.h"

#include <algorithm>

namespace r8::ui {

std::optional<int> SpinStep(int value, int direction, const SpinRule& rule) {
    if (value < 0) return std::nullopt;
    if (rule.mask) {
        const int mask = rule.mask();
        if (mask < 0) return std::nullopt;
        const int m = mask & 0xFFFF;
        const int unit = m & -m;
        return ((value & ~m) | ((value + direction * unit) & m)) & 0xFFFF;
    }
    const int size = rule.step ? rule.step() : 1;
    if (size <= 0) return std::nullopt;
    const long long next = static_cast<long long>(value) + static_cast<long long>(direction) * size;
    if (next >= rule.min && next <= rule.max) return static_cast<int>(next);
    switch (rule.edge) {
    case Edge::Hold:
        return std::nullopt;
    case Edge::Clamp:
        // Only the edge the step moves towards holds the value: from outside the range a step
        // away from that edge moves by one step as inside it.
        return static_cast<int>(direction > 0 ? std::min<long long>(next, rule.max)
                                              : std::max<long long>(next, rule.min));
    case Edge::Wrap:
        // Only the edge the step crosses wraps; from above the range a step down counts down.
        if (direction > 0 && next > rule.max) return rule.min;
        if (direction < 0 && next < rule.min) return rule.max;
        return static_cast<int>(next);
    }
    return std::nullopt;
}

QString HexText(int v, int digits) {
    QString s;
    for (int d = digits - 1; d >= 0; --d)
        s += QChar("0123456789ABCDEF"[(v >> (4 * d)) & 15]);
    return s;
}

HexSpin::HexSpin(Edit* edit, SpinButton* spin, SpinRule rule)
    : Target(edit), rule_(std::move(rule)) {
    spin->OnUpClick = [this] { Up(); };
    spin->OnDownClick = [this] { Down(); };
}

void HexSpin::step(int direction) {
    if (When && !When()) return;
    const std::string text = Target->Text().toStdString();
    const auto next = SpinStep(ParseHex(text), direction, rule_);
    if (!next) return;
    const int digits = Target->maxLength();
    Target->SetText(HexText(*next, digits >= 1 && digits <= 8 ? digits : 4));
}

} // namespace r8::ui
