// SPDX-License-Identifier: MIT
// The camera's own processes (white balance, lens, defect search), its memories and switches.
#include "ModelHelpers.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace r8::sim::test {
namespace {

TEST(Processes, AutomaticWhiteBalanceEndsWithZero) {
    CameraModel m;
    Ask(m, {0x21, 0x1B, 0x00, 0x01}); // AWB mode
    EXPECT_EQ(A(Ask(m, {0x21, 0x1B, 0x04}), 4), 1);
    int reads = 0;
    while (A(Ask(m, {0x31, 0x1B, 0x04}), 4) != 0)
        ASSERT_LT(++reads, 10);
    EXPECT_GE(reads, 1) << "the balance takes at least one more answer";
    EXPECT_EQ(A(Ask(m, {0x31, 0x1B, 0x06}), 4), 4);
}

TEST(Processes, LensFollowsItsTargetOneStepPerRead) {
    CameraModel m;
    Payload z = Ask(m, {0x21, 0x45, 0x00, 0x18, 0x00});
    EXPECT_EQ(W(z, 4), 0x1800);
    EXPECT_NE(W(z, 6), 0x1800);
    int reads = 0;
    Payload r;
    do {
        r = Ask(m, {0x31, 0x45, 0x00});
        ASSERT_LT(++reads, 100);
    } while (W(r, 6) != W(r, 4));
    EXPECT_GT(reads, 1);
    EXPECT_LT(W(r, 10), W(r, 8));
    // Focus: a target inside the range is reached the same way.
    const int target = (W(r, 8) + W(r, 10)) / 2;
    Ask(m, {0x21, 0x45, 0x01, static_cast<uint8_t>(target >> 8), static_cast<uint8_t>(target)});
    reads = 0;
    do {
        r = Ask(m, {0x31, 0x45, 0x01});
        ASSERT_LT(++reads, 100);
    } while (W(r, 6) != W(r, 4));
    EXPECT_EQ(W(r, 4), target);
    // Without digital zoom the target stops at the optical end.
    EXPECT_EQ(W(Ask(m, {0x21, 0x45, 0x00, 0x26, 0xF0}), 4), 0x18B0);
    Ask(m, {0x21, 0x45, 0x06, 0x01});
    EXPECT_EQ(W(Ask(m, {0x21, 0x45, 0x00, 0x26, 0xF0}), 4), 0x26F0);
    Ask(m, {0x21, 0x45, 0x06, 0x00});
    EXPECT_EQ(W(Ask(m, {0x31, 0x60, 0x07}), 4), 0x18B0);
}

TEST(Processes, OnePushFocusSearchesOverSeveralReads) {
    CameraModel m;
    const Payload before = Ask(m, {0x31, 0x45, 0x01});
    ASSERT_EQ(W(before, 4), W(before, 6)) << "starts sharp, so only the search moves the lens";
    EXPECT_EQ(A(Ask(m, {0x21, 0x45, 0x03}), 1), 0xA0);
    int reads = 0, lowest = W(before, 6);
    Payload r;
    do {
        r = Ask(m, {0x31, 0x45, 0x01});
        ASSERT_LT(++reads, 100);
        EXPECT_EQ(W(r, 4), W(before, 4)) << "the target stays the sharp point";
        lowest = std::min(lowest, W(r, 6));
    } while (W(r, 6) != W(r, 4));
    EXPECT_GE(reads, 3);
    EXPECT_LT(lowest, W(before, 6)) << "the search ran away from the sharp point and back";
}

TEST(Processes, StoredLensPositions) {
    CameraModel m;
    Ask(m, {0x21, 0x45, 0x00, 0x15, 0x00});
    Ask(m, {0x21, 0x52, 0x01, 0x07});
    Ask(m, {0x21, 0x45, 0x00, 0x10, 0x00});
    Payload load = Ask(m, {0x31, 0x52, 0x01, 0x07});
    EXPECT_EQ(A(load, 4), 7);
    EXPECT_EQ(W(Ask(m, {0x31, 0x45, 0x00}), 4), 0x1500);
    EXPECT_NE(A(Ask(m, {0x31, 0x52, 0x01, 0x41}), 1), 0xA0); // positions are 1..64
}

TEST(Processes, LensAdjustmentAnswersZeroAsOftenAsSetThenOne) {
    for (int zeros : {0, 1, 2, 5}) {
        CameraModel m;
        if (zeros != 2) m.SetLensAdjustZeros(zeros); // 2 is the default
        Ask(m, {0x21, 0x45, 0x00, 0x18, 0x00});
        EXPECT_EQ(A(Ask(m, {0x21, 0x45, 0x06, 0x00}), 1), 0xA0);
        std::vector<int> answers = {A(Ask(m, {0x21, 0x45, 0x04, 0x00}), 4)};
        while (answers.back() == 0 && answers.size() < 10) {
            EXPECT_EQ(A(Ask(m, {0x21, 0x46}), 2), 0x46);
            answers.push_back(A(Ask(m, {0x21, 0x45, 0x04, 0x01}), 4));
        }
        std::vector<int> expected(static_cast<size_t>(zeros), 0);
        expected.push_back(1);
        EXPECT_EQ(answers, expected) << zeros;
        EXPECT_EQ(m.Lens().zoomCurrent, CameraModel::kZoomMin) << "calibrated at the wide end";
        EXPECT_EQ(A(Ask(m, {0x21, 0x45, 0x04, 0x01}), 4), 1) << "done stays done";
    }
}

TEST(Processes, IrisAdjustmentStartsAndEnds) {
    CameraModel m;
    EXPECT_EQ(A(Ask(m, {0x21, 0x48, 0x03, 0x00}), 4), 0);
    EXPECT_EQ(A(Ask(m, {0x21, 0x53, 0x0B}), 3), 0x0B);
    EXPECT_EQ(A(Ask(m, {0x21, 0x48, 0x03, 0x01}), 4), 1);
}

TEST(Defects, MeasurementIsConsistentAndTheSearchesPlaceTheDefects) {
    for (bool ntsc : {false, true}) {
        CameraModel m(CameraIdentity{ntsc, true});
        Payload meas = Ask(m, {0x31, 0x36, 0x02});
        const int x1 = W(meas, 4), y1 = W(meas, 6), p1 = W(meas, 8);
        const int x2 = W(meas, 10), y2 = W(meas, 12), p2 = W(meas, 14);
        EXPECT_EQ(x1, x2);
        EXPECT_LE(std::abs(y1 - y2), 1);
        EXPECT_LE(std::abs(p1 - p2), 5);
        EXPECT_LT(std::max(y1, y2), m.ImageHeight());

        const uint8_t dy = ntsc ? 0xFE : 0x02;
        Payload a = Ask(m, {0x21, 0x36, 0x09, 0xEA, dy, 0x05});
        EXPECT_EQ(W(a, 7), x1 - 22);
        EXPECT_EQ(W(a, 9), std::max(y1, y2) + static_cast<int8_t>(dy));
        EXPECT_EQ(A(a, 11), 1);
        Payload page = Ask(m, {0x31, 0x36, 0x00});
        EXPECT_EQ(W(page, 5), W(a, 7));
        EXPECT_EQ(W(page, 7), W(a, 9));

        Payload three = Ask(m, {0x21, 0x36, 0x0A, 0xEA, dy, 0x05});
        EXPECT_EQ(A(three, 15), 1);
        Payload bc = Ask(m, {0x31, 0x36, 0x01});
        EXPECT_EQ(A(bc, 4), 1);
        for (int n : {5, 7, 9, 11})
            EXPECT_EQ(W(bc, n), W(three, n + 2));
        EXPECT_NE(W(bc, 5), W(bc, 9));
    }
}

TEST(Defects, SaveKeepsAndCancelRestores) {
    CameraModel m;
    const int factoryX = W(Ask(m, {0x31, 0x36, 0x00}), 5);
    Ask(m, {0x21, 0x36, 0x01, 0x02, 0x01, 0x00, 0x00, 0x20});
    EXPECT_EQ(A(Ask(m, {0x21, 0x36, 0x03}), 3), 0x03);
    EXPECT_EQ(A(Ask(m, {0x21, 0x36, 0x16}), 3), 0x16);
    EXPECT_EQ(W(Ask(m, {0x31, 0x36, 0x00}), 5), factoryX);

    Payload pos = Ask(m, {0x21, 0x36, 0x01, 0x02, 0x01, 0x00, 0x00, 0x20});
    EXPECT_EQ(A(pos, 4), 2);
    EXPECT_EQ(W(pos, 5), 0x0100);
    EXPECT_EQ(W(pos, 7), 0x0020);
    Ask(m, {0x21, 0x36, 0x02});
    Ask(m, {0x21, 0x36, 0x15});
    Ask(m, {0x21, 0x36, 0x16});
    EXPECT_EQ(W(Ask(m, {0x31, 0x36, 0x00}), 5), 0x0100);
}

TEST(Memory, RamWindowAndItsEepromCopy) {
    CameraModel m;
    Payload a = Ask(m, {0x31, 0x0D, 0xEE, 0x00, 0x01});
    EXPECT_EQ(W(a, 3), 0xEE00);
    EXPECT_EQ(A(a, 5), m.RamByte(0xEE00));
    EXPECT_EQ(A(a, 6), m.RamByte(0xEE01));
    Payload last = Ask(m, {0x31, 0x0D, 0xFF, 0xFF, 0x01});
    EXPECT_EQ(A(last, 1), 0xA0);
    // An EEPROM write with RAM copy shows in both; a plain EEPROM write only in the EEPROM.
    Ask(m, {0x21, 0x0F, 0x00, 0x02, 0xAB, 0xCD});
    Payload copy = Ask(m, {0x31, 0x0D, 0xF0, 0x04, 0x01});
    EXPECT_EQ((std::array{A(copy, 5), A(copy, 6)}), (std::array{0xAB, 0xCD}));
    Ask(m, {0x21, 0x0C, 0x00, 0x02, 0x11, 0x22});
    EXPECT_EQ(A(Ask(m, {0x31, 0x0D, 0xF0, 0x04, 0x01}), 5), 0xAB);
    EXPECT_EQ(W(Ask(m, {0x31, 0x0C, 0x00, 0x02}), 5), 0x1122);
}

TEST(Memory, AreaSamplesForAllFortyEightAreas) {
    CameraModel m;
    int bright = 0;
    for (uint8_t i = 0; i < 48; ++i) {
        Payload a = Ask(m, {0x31, 0x35, i});
        ASSERT_EQ(A(a, 1), 0xA0);
        EXPECT_EQ(A(a, 3), i);
        EXPECT_LE(W(a, 4), 0x0FFF);
        bright = std::max(bright, W(a, 4));
    }
    EXPECT_GT(bright, W(Ask(m, {0x31, 0x35, 0x00}), 4));
    EXPECT_NE(A(Ask(m, {0x31, 0x35, 48}), 1), 0xA0);
}

TEST(Switches, PushSwitchesWalkTheMenu) {
    CameraModel m;
    EXPECT_EQ(A(Ask(m, {0x21, 0x32, 0x01}), 4), 1); // Enter opens
    EXPECT_EQ(A(Ask(m, {0x21, 0x32, 0x02}), 5), 1); // Down
    EXPECT_EQ(A(Ask(m, {0x21, 0x32, 0x03}), 5), 0); // Up
    EXPECT_EQ(A(Ask(m, {0x21, 0x32, 0x00}), 4), 0); // Pre closes
    EXPECT_NE(A(Ask(m, {0x21, 0x32, 0x04}), 1), 0xA0);
}

} // namespace
} // namespace r8::sim::test
