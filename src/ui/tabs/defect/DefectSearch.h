// SPDX-License-Identifier: MIT
#pragma once
// The fixed parameters of the camera's defect search, and the position arithmetic of the
// "CCD Defect" tab. The search and "Kizu Adjust" place the correction this far from where the
// camera measured the defect.
#include <algorithm>
#include <cstdint>

namespace r8::ui::defect {

constexpr int kSearchDx = -22;      // sent as the signed byte 0xEA
constexpr int kSearchPeak = 5;      // peak threshold
constexpr int kMaxX = 0x3FF;        // the step buttons keep X within 0..1023
constexpr int kMaxY = 0x1FF;        // and Y within 0..511
constexpr int SearchDy(bool ntsc) { // +2 lines on PAL, -2 on NTSC
    return ntsc ? -2 : 2;
}
constexpr uint8_t SignedByte(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}

struct Position {
    int x, y;
};
// The correction position for the even/odd measurement (x1, y1) and (x2, y2): the search
// offsets applied to the even field's X and the lower of the two lines. Never negative.
constexpr Position CorrectionFor(int x1, int y1, int y2, bool ntsc) {
    return {std::max(x1 + kSearchDx, 0), std::max(std::max(y1, y2) + SearchDy(ntsc), 0)};
}

} // namespace r8::ui::defect
