// SPDX-License-Identifier: MIT
#include "MaskGeometry.h"

#include "HexText.h"

#include <algorithm>

namespace r8::ui {
namespace {

uint8_t Down(uint8_t v, int step, int atLeast) {
    if (v < atLeast) return v;
    return static_cast<uint8_t>(std::max(v - step, 0));
}

uint8_t Up(uint8_t v, int step, int atMost) {
    return v <= atMost ? static_cast<uint8_t>(v + step) : v;
}

// Pixel of coordinate c on an axis of `pixels` showing 0..range.
int Scale(int c, int range, int pixels) {
    return c * pixels / range;
}

} // namespace

MaskRect MovedMask(MaskRect r, MaskMove move, int step) {
    switch (move) {
    case MaskMove::Up:
        r.vs = Down(r.vs, step, step);
        r.ve = Down(r.ve, step, step);
        break;
    case MaskMove::Down:
        r.vs = Up(r.vs, step, kMaskVRaiseMax);
        r.ve = Up(r.ve, step, kMaskVRaiseMax);
        break;
    case MaskMove::Left:
        r.hs = Down(r.hs, step, step);
        r.he = Down(r.he, step, 2);
        break;
    case MaskMove::Right:
        r.hs = Up(r.hs, step, kMaskHRaiseMax);
        r.he = Up(r.he, step, kMaskHRaiseMax);
        break;
    }
    return r;
}

std::optional<uint8_t> MaskCoordinate(std::string_view text) {
    if (text.size() > 2) return std::nullopt;
    for (char c : text)
        if (HexDigitValue(c) < 0) return std::nullopt;
    return static_cast<uint8_t>(ParseHex(text));
}

PanelRect MaskToPanel(const MaskRect& r, int width, int height) {
    const int h0 = std::min(r.hs, r.he), h1 = std::max(r.hs, r.he);
    const int v0 = std::min(r.vs, r.ve), v1 = std::max(r.vs, r.ve);
    const int left = std::min(Scale(h0, kMaskHRange, width), width - 1);
    const int top = std::min(Scale(v0, kMaskVRange, height), height - 1);
    const int right = std::clamp(Scale(h1, kMaskHRange, width), left + 1, width);
    const int bottom = std::clamp(Scale(v1, kMaskVRange, height), top + 1, height);
    return {left, top, right - left, bottom - top};
}

} // namespace r8::ui
