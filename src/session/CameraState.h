// SPDX-License-Identifier: MIT
#pragma once
// What the program knows of the camera from its answers: the mirror of its setting values and
// the picture geometry. Filled by the read decoder; read by the tabs and the settings copy.
#include <array>
#include <cstdint>

namespace r8 {

constexpr int kSettingEntries = 2048;

struct CameraState {
    std::array<int32_t, kSettingEntries> SettingTable{};
    int32_t ImageWidth = 1;  // 800 high resolution, 544 low resolution
    int32_t ImageHeight = 1; // 312 PAL, 136 NTSC
    uint8_t TvIsNtsc = 0;
    // Mark X, mark Y, X minimum, X maximum, Y minimum, Y maximum.
    std::array<uint8_t, 6> MarkLimits{};
};

} // namespace r8
