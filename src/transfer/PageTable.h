// SPDX-License-Identifier: MIT
#pragma once
// A page is read by a fixed run of read requests (P1 = 0x31), one per answer.
#include <cstdint>
#include <span>

namespace r8 {

struct PageRequest {
    uint8_t p2;
    uint8_t p3;
    uint8_t p4;
    uint8_t n; // payload length handed to StxCommand: 2, 3 or 4
};

using PageTable = std::span<const PageRequest>;

// Page groups; also the index of the tab that shows the page.
enum PageGroup : uint8_t {
    kAdjustGroup = 0,
    kDebugGroup = 1,
    kDefectGroup = 2,
    kCopyGroup = 3,
    kEasyGroup = 4,
    kLineGroup = 5,
    kMaskGroup = 6,
};
constexpr int kPageGroups = 7;

} // namespace r8
