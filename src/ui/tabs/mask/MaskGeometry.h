// SPDX-License-Identifier: MIT
#pragma once
// A privacy mask rectangle in the camera's coordinates (one byte each, start and end inclusive),
// the move rules of the "U", "D", "L" and "R" buttons, and the mapping into the preview panel.
// Plain values, no widgets.
#include <cstdint>
#include <optional>
#include <string_view>

namespace r8::ui {

struct MaskRect {
    uint8_t hs = 0, he = 0, vs = 0, ve = 0;
    bool operator==(const MaskRect&) const = default;
};

enum class MaskMove { Up, Down, Left, Right };

// The highest start or end a move still raises (a step of 8 reaches 0xD8 and 0xA8).
constexpr int kMaskHRaiseMax = 0xD0;
constexpr int kMaskVRaiseMax = 0xA0;
// The camera's coordinate range as the preview shows it: 0 up to the highest a move reaches.
constexpr int kMaskHRange = kMaskHRaiseMax + 8;
constexpr int kMaskVRange = kMaskVRaiseMax + 8;

// Each coordinate is tested and changed on its own, so a rectangle at an edge may shrink or stay
// put on one side. H end goes down while it is at least 2 and stops at 0.
MaskRect MovedMask(MaskRect r, MaskMove move, int step);

// A coordinate edit's text as a byte: empty is 0, one or two hexadecimal digits their value;
// anything else is no value.
std::optional<uint8_t> MaskCoordinate(std::string_view text);

// Whether the camera was last told to show the mask.
enum class MaskSwitch { Unknown, On, Off };

// What the preview draws of one mask: its rectangle (none while an edit holds no value) and
// its switch.
struct MaskView {
    std::optional<MaskRect> rect;
    MaskSwitch state = MaskSwitch::Unknown;
    bool operator==(const MaskView&) const = default;
};

// A rectangle in panel pixels, x and y of the top left corner.
struct PanelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PanelRect&) const = default;
};

// The panel area a mask covers: the coordinate ranges scaled to width x height, start and end
// in either order, at least one pixel each way, and clipped to the panel.
PanelRect MaskToPanel(const MaskRect& r, int width, int height);

} // namespace r8::ui
