// SPDX-License-Identifier: MIT
#pragma once
// A hexadecimal edit stepped by a spin button. The button reads the edit's text as hexadecimal,
// steps it and writes it back with as many digits as the edit's maximum length; writing a new
// text fires the edit's change handler, which sends (or not) as the edit does for the operator.
// A text that is not hexadecimal, or a step that the rule refuses, changes nothing.
#include "widgets/Controls.h"

#include <functional>
#include <optional>

namespace r8::ui {

// What a step does at the edge of the range.
enum class Edge {
    Hold,  // a step that would leave the range does nothing
    Clamp, // a step up stops at the maximum, a step down at the minimum; the other edge is not
           // checked (from 00 in 50..B0, up gives 01 and down 50)
    Wrap,  // up past the maximum comes the minimum, down below the minimum the maximum; a value
           // above the range steps down by one step (an EEPROM address above 03FF reads on)
};

struct SpinRule {
    int min = 0;
    int max = 0xF;
    Edge edge = Edge::Hold;
    // The size of one step (another control's value, say); 1 when empty. A size of 0 or less
    // does nothing.
    std::function<int()> step{};
    // A masked step: only the bits of the 16-bit mask count up or down, by the mask's lowest set
    // bit, wrapping inside the field; the other bits keep their value. min, max and edge are not
    // used. A mask of 0 leaves the value as it is; a negative mask (bad text) does nothing.
    std::function<int()> mask{};
};

// The value after one step up (direction +1) or down (-1), or nothing.
std::optional<int> SpinStep(int value, int direction, const SpinRule& rule);

class HexSpin {
public:
    // Binds the spin button's up and down clicks to steps of the edit.
    HexSpin(Edit* edit, SpinButton* spin, SpinRule rule);

    void Up() { step(+1); }
    void Down() { step(-1); }

    // Steps happen only while this holds (a selection exists, an address is in range...).
    std::function<bool()> When;
    Edit* const Target;

private:
    void step(int direction);
    SpinRule rule_;
};

// v as `digits` upper-case hexadecimal digits (its low 4 x digits bits).
QString HexText(int v, int digits);

} // namespace r8::ui
