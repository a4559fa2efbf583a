// SPDX-License-Identifier: MIT
#pragma once
// The Easy page: the ten Easy blocks and the white-balance lock register. The Easy tab loads it;
// tools and tests that load the same page without the window take it from here.
#include "PageTable.h"

#include <cstdint>

namespace r8 {

// Group code of the Easy blocks; the item (A3) is the block number.
inline constexpr uint8_t kEasyBlock = 0x60;

inline constexpr PageRequest kEasyPage[] = {
    {0x60, 0, 0, 3}, {0x60, 1, 0, 3}, {0x60, 2, 0, 3},       {0x60, 3, 0, 3}, // Easy blocks 0-9
    {0x60, 4, 0, 3}, {0x60, 5, 0, 3}, {0x60, 6, 0, 3},       {0x60, 7, 0, 3},
    {0x60, 8, 0, 3}, {0x60, 9, 0, 3}, {0x0C, 0x01, 0x51, 4}, // camera register 0x0151
};

} // namespace r8
