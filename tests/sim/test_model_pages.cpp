// SPDX-License-Identifier: MIT
// What the camera answers to the page reads of the seven tabs and to the Easy page blocks.
#include "ModelHelpers.h"

#include <functional>
#include <string>

namespace r8::sim::test {
namespace {

struct PageRead {
    std::vector<uint8_t> request;
    bool itemEcho; // A3 repeats P3
    std::function<bool(const Payload&)> plausible;
    const char* what;
};

bool Within(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// Every request of the page sequences, with what a real camera could answer.
const std::vector<PageRead>& PageReads() {
    static const std::vector<PageRead> reads = {
        {{0x31, 0x0A, 0x01}, true, [](auto& a) { return (W(a, 4) & 0x4000) != 0; }, "hi-res"},
        {{0x31, 0x0A, 0x40}, true, [](auto& a) { return (W(a, 4) & 1) == 1; }, "PAL"},
        {{0x31, 0x42}, false, [](auto&) { return true; }, "timing nibbles"},
        {{0x31, 0x37, 0x00}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "shutter"},
        {{0x31, 0x37, 0x01}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "sync"},
        {{0x31, 0x1B, 0x00}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "WB mode"},
        {{0x31, 0x1B, 0x05}, true, [](auto& a) { return Within(A(a, 4), 0, 8); }, "ATW"},
        {{0x31, 0x1B, 0x06}, true, [](auto& a) { return Within(A(a, 4), 0, 8); }, "AWB"},
        {{0x31, 0x43}, false, [](auto& a) { return Within(A(a, 3), 0x50, 0xB0); }, "PWM"},
        {{0x31, 0x0A, 0x2B}, true, [](auto&) { return true; }, "chroma"},
        {{0x31, 0x0A, 0x2C}, true, [](auto&) { return true; }, "44"},
        {{0x31, 0x0A, 0x2D}, true, [](auto&) { return true; }, "45"},
        {{0x31, 0x0A, 0x2E}, true, [](auto&) { return true; }, "46"},
        {{0x31, 0x0A, 0x2F}, true, [](auto&) { return true; }, "47"},
        {{0x31, 0x36, 0x09}, true, [](auto& a) { return Within(A(a, 4), 0, 3); }, "defect sel"},
        {{0x31, 0x36, 0x00},
         true,
         [](auto& a) { return Within(A(a, 4), 0, 1) && W(a, 5) <= 0x3FF && W(a, 7) <= 0x1FF; },
         "defect A"},
        {{0x31, 0x36, 0x01},
         true,
         [](auto& a) { return Within(A(a, 4), 0, 1) && W(a, 9) <= 0x3FF && W(a, 11) <= 0x1FF; },
         "defects B, C"},
        {{0x31, 0x36, 0x10}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "KF fix"},
        {{0x31, 0x36, 0x11}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "KF rev"},
        {{0x31, 0x36, 0x05}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "adjust set"},
        {{0x31, 0x36, 0x04}, true, [](auto& a) { return Within(A(a, 4), 0, 3); }, "KF change"},
        {{0x31, 0x36, 0x0B}, true, [](auto& a) { return Within(A(a, 4), 0, 1); }, "KF off"},
        {{0x31, 0x36, 0x06},
         true,
         [](auto& a) { return Within(A(a, 6), 0, 1) && Within(A(a, 9), 0, 8); },
         "VRev, sens"},
        {{0x31, 0x0C, 0x01, 0x51},
         false,
         [](auto& a) { return W(a, 3) == 0x0151 && A(a, 5) == 0; },
         "register 0151 leaves WB enabled"},
        {{0x31, 0x53}, false, [](auto&) { return true; }, "IRIS bias"},
        {{0x31, 0x57, 0x00, 0x00},
         true,
         [](auto& a) { return A(a, 6) <= A(a, 7) && A(a, 8) <= A(a, 9); },
         "mask 1"},
        {{0x31, 0x57, 0x01, 0x00},
         true,
         [](auto& a) { return A(a, 6) <= A(a, 7) && A(a, 8) <= A(a, 9); },
         "mask 2"},
    };
    return reads;
}

TEST(PageReads, EveryRequestIsAnsweredWithPlausibleValues) {
    CameraModel m;
    for (const auto& r : PageReads()) {
        Payload req{};
        std::copy(r.request.begin(), r.request.end(), req.begin());
        auto a = m.Command(req);
        ASSERT_TRUE(a) << r.what;
        EXPECT_EQ(A(*a, 1), 0xA0) << r.what;
        EXPECT_EQ(A(*a, 2), req[1]) << r.what;
        if (r.itemEcho) {
            EXPECT_EQ(A(*a, 3), req[2]) << r.what;
        }
        EXPECT_TRUE(r.plausible(*a)) << r.what;
    }
    for (uint8_t k = 0; k < 10; ++k) {
        Payload a = Ask(m, {0x31, 0x60, k});
        EXPECT_EQ(A(a, 1), 0xA0);
        EXPECT_EQ(A(a, 2), 0x60);
        EXPECT_EQ(A(a, 3), k);
    }
}

TEST(PageReads, ResolutionAndTvFollowTheCamera) {
    CameraModel pal;
    CameraModel ntscLo(CameraIdentity{true, false});
    EXPECT_NE(W(Ask(pal, {0x31, 0x0A, 0x01}), 4) & 0x4000, 0);
    EXPECT_EQ(W(Ask(pal, {0x31, 0x0A, 0x40}), 4) & 1, 1);
    EXPECT_EQ(W(Ask(ntscLo, {0x31, 0x0A, 0x01}), 4) & 0x4000, 0);
    EXPECT_EQ(W(Ask(ntscLo, {0x31, 0x0A, 0x40}), 4) & 1, 0);
    // Easy blocks 0 and 1 carry the same two words.
    EXPECT_EQ(W(Ask(ntscLo, {0x31, 0x60, 0}), 14), W(Ask(ntscLo, {0x31, 0x0A, 0x01}), 4));
    EXPECT_EQ(W(Ask(ntscLo, {0x31, 0x60, 1}), 14), W(Ask(ntscLo, {0x31, 0x0A, 0x40}), 4));
    // The straps win over what the EEPROM says.
    EepromImage image = FactoryEeprom({});
    CameraModel strapped(CameraIdentity{true, false}, image);
    EXPECT_EQ(W(Ask(strapped, {0x31, 0x0A, 0x01}), 4) & 0x4000, 0);
}

TEST(PageReads, EepromWordZero) {
    CameraModel m;
    Payload a = Ask(m, {0x31, 0x0C, 0x00, 0x00});
    EXPECT_EQ(A(a, 1), 0xA0);
    EXPECT_EQ(A(a, 2), 0x0C);
    EXPECT_EQ(W(a, 3), 0x0000);
    EXPECT_EQ(W(a, 5), m.EepromWord(0));
}

TEST(PageReads, MaskRectanglesInA6ToA9) {
    CameraModel m;
    Payload w = Ask(m, {0x21, 0x57, 0x01, 0x01, 0x00, 0x21, 0x43, 0x15, 0x37});
    EXPECT_EQ(A(w, 1), 0xA0);
    Payload a = Ask(m, {0x31, 0x57, 0x01, 0x00});
    EXPECT_EQ(A(a, 3), 0x01);
    EXPECT_EQ(A(a, 4), 1); // on
    EXPECT_EQ((std::array{A(a, 6), A(a, 7), A(a, 8), A(a, 9)}),
              (std::array{0x21, 0x43, 0x15, 0x37}));
    // Off keeps the rectangle; mask 1 is untouched.
    Ask(m, {0x21, 0x57, 0x01, 0x00, 0x00});
    a = Ask(m, {0x31, 0x57, 0x01, 0x00});
    EXPECT_EQ(A(a, 4), 0);
    EXPECT_EQ(A(a, 6), 0x21);
    EXPECT_EQ(A(Ask(m, {0x31, 0x57, 0x00, 0x00}), 6), m.Mask(0).hs);
    EXPECT_NE(m.Mask(0).hs, 0x21);
}

// Each field of the Easy blocks must agree with the single read of the same function.
TEST(EasyBlocks, AgreeWithTheItemReads) {
    CameraModel m;
    // Move everything off its factory value first, so a swapped field shows.
    for (auto cmd : std::vector<Payload>{P({0x21, 0x1A, 0x01, 7}),
                                         P({0x21, 0x1A, 0x02, 2}),
                                         P({0x21, 0x1A, 0x03, 1}),
                                         P({0x21, 0x1A, 0x04, 1}),
                                         P({0x21, 0x1A, 0x05, 1}),
                                         P({0x21, 0x1B, 0x00, 1}),
                                         P({0x21, 0x1B, 0x02, 6}),
                                         P({0x21, 0x1B, 0x03, 1}),
                                         P({0x21, 0x1B, 0x05, 7}),
                                         P({0x21, 0x1B, 0x06, 2}),
                                         P({0x21, 0x47, 0x00, 11}),
                                         P({0x21, 0x47, 0x01, 3}),
                                         P({0x21, 0x48, 0x00, 0x01, 6}),
                                         P({0x21, 0x48, 0x01, 0x01, 0x00, 8}),
                                         P({0x21, 0x48, 0x01, 0x01, 0x01, 1}),
                                         P({0x21, 0x48, 0x02, 0x01, 0x00, 5}),
                                         P({0x21, 0x48, 0x02, 0x01, 0x01, 6}),
                                         P({0x21, 0x48, 0x01, 0x00, 1}),
                                         P({0x21, 0x50, 6}),
                                         P({0x21, 0x51, 42}),
                                         P({0x21, 0x1D, 0x04, 1}),
                                         P({0x21, 0x1D, 0x07, 1}),
                                         P({0x21, 0x10, 0x03, 1}),
                                         P({0x21, 0x18, 0x00, 1}),
                                         P({0x21, 0x19, 1, 2, 4, 8, 16, 32}),
                                         P({0x21, 0x1C, 0x01, 0xFF, 0xF6}),
                                         P({0x21, 0x45, 0x05, 4}),
                                         P({0x21, 0x45, 0x07, 1}),
                                         P({0x21, 0x45, 0x06, 1}),
                                         P({0x21, 0x20, 0x02, 1}),
                                         P({0x21, 0x52, 0x02, 1}),
                                         P({0x21, 0x56, 0x00, 1}),
                                         P({0x21, 0x56, 0x01, 0x30, 0x08}),
                                         P({0x21, 0x59, 0x00, 1}),
                                         P({0x21, 0x45, 0x02, 1}),
                                         P({0x21, 0x49, 0})}) {
        auto a = m.Command(cmd);
        ASSERT_TRUE(a);
        ASSERT_EQ((*a)[0], 0xA0) << "command " << int(cmd[1]) << " " << int(cmd[2]);
    }
    auto item = [&](std::initializer_list<uint8_t> req, int at) { return A(Ask(m, req), at); };

    Payload b2 = Ask(m, {0x31, 0x60, 2});
    EXPECT_EQ(A(b2, 14), item({0x31, 0x1D, 0x04}, 4));
    EXPECT_EQ(A(b2, 15), item({0x31, 0x1D, 0x05}, 4));
    Payload b3 = Ask(m, {0x31, 0x60, 3});
    EXPECT_EQ(A(b3, 14), item({0x31, 0x10, 0x03}, 4));
    EXPECT_EQ(A(b3, 15), item({0x31, 0x18, 0x00}, 4));

    Payload b4 = Ask(m, {0x31, 0x60, 4});
    Payload areas = Ask(m, {0x31, 0x19});
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(A(b4, 4 + r), A(areas, 3 + r));
    EXPECT_EQ(A(b4, 10), item({0x31, 0x1B, 0x00}, 4));
    EXPECT_EQ(A(b4, 11), item({0x31, 0x1B, 0x05}, 4));
    EXPECT_EQ(A(b4, 12), item({0x31, 0x1B, 0x06}, 4));
    EXPECT_EQ(A(b4, 13), item({0x31, 0x1B, 0x02}, 4));
    EXPECT_EQ(A(b4, 14), item({0x31, 0x1B, 0x03}, 4));

    Payload b5 = Ask(m, {0x31, 0x60, 5});
    Payload phaseRange = Ask(m, {0x31, 0x1C, 0x00});
    for (int n = 4; n <= 8; ++n)
        EXPECT_EQ(A(b5, n), A(phaseRange, n));
    EXPECT_GT(SW(b5, 5), SW(b5, 7));
    EXPECT_EQ(SW(b5, 9), SW(Ask(m, {0x31, 0x1C, 0x01}), 4));
    EXPECT_EQ(SW(b5, 9), -10);
    EXPECT_EQ(A(b5, 11), item({0x31, 0x50}, 3));
    EXPECT_EQ(A(b5, 12), item({0x31, 0x1A, 0x01}, 4));
    EXPECT_EQ(A(b5, 13), item({0x31, 0x1A, 0x02}, 4));
    EXPECT_EQ(A(b5, 14), item({0x31, 0x1A, 0x03}, 4));
    EXPECT_EQ(A(b5, 15), item({0x31, 0x49}, 3));

    Payload b6 = Ask(m, {0x31, 0x60, 6});
    EXPECT_EQ(A(b6, 4), item({0x31, 0x48, 0x00, 0x00}, 5));
    EXPECT_EQ(A(b6, 5), item({0x31, 0x48, 0x00, 0x01}, 5));
    EXPECT_EQ(A(b6, 6), item({0x31, 0x48, 0x01, 0x00}, 5));
    EXPECT_EQ(A(b6, 7), item({0x31, 0x48, 0x01, 0x01, 0x00}, 6));
    EXPECT_EQ(A(b6, 8), item({0x31, 0x48, 0x01, 0x01, 0x01}, 6));
    EXPECT_EQ(A(b6, 9), item({0x31, 0x48, 0x02, 0x00}, 5));
    EXPECT_EQ(A(b6, 10), item({0x31, 0x48, 0x02, 0x01, 0x00}, 6));
    EXPECT_EQ(A(b6, 11), item({0x31, 0x48, 0x02, 0x01, 0x01}, 6));
    EXPECT_EQ(A(b6, 12), item({0x31, 0x47, 0x00}, 4));
    EXPECT_EQ(A(b6, 13), item({0x31, 0x47, 0x01}, 4));
    EXPECT_EQ(A(b6, 14), item({0x31, 0x51}, 3));
    EXPECT_EQ(A(b6, 15), item({0x31, 0x45, 0x06}, 4));

    Payload b7 = Ask(m, {0x31, 0x60, 7});
    Payload zoom = Ask(m, {0x31, 0x45, 0x00}); // a read moves the lens: compare targets and range
    EXPECT_EQ(W(b7, 4), W(zoom, 4));
    EXPECT_LT(W(b7, 10), W(b7, 8)); // focus min below max
    EXPECT_EQ(W(b7, 12), W(Ask(m, {0x31, 0x45, 0x01}), 4));

    Payload b8 = Ask(m, {0x31, 0x60, 8});
    EXPECT_EQ(A(b8, 4), item({0x31, 0x45, 0x02}, 4));
    EXPECT_EQ(A(b8, 5), item({0x31, 0x45, 0x05}, 4));
    EXPECT_EQ(A(b8, 6), item({0x31, 0x45, 0x07}, 4));
    EXPECT_EQ(A(b8, 7), item({0x31, 0x52, 0x00}, 4));
    EXPECT_EQ(A(b8, 8), item({0x31, 0x20, 0x02}, 4));
    EXPECT_EQ(A(b8, 9), item({0x31, 0x52, 0x02}, 4));
    EXPECT_EQ(A(b8, 10), item({0x31, 0x1A, 0x04}, 4));
    EXPECT_EQ(A(b8, 11), item({0x31, 0x1D, 0x07}, 4));
    EXPECT_EQ(A(b8, 12), item({0x31, 0x1A, 0x05}, 4));

    Payload b9 = Ask(m, {0x31, 0x60, 9});
    Payload mark = Ask(m, {0x31, 0x56, 0x01});
    EXPECT_EQ(A(b9, 4), item({0x31, 0x56, 0x00}, 4));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(A(b9, 5 + i), A(mark, 4 + i));
    EXPECT_EQ((std::array{A(b9, 5), A(b9, 6)}), (std::array{0x30, 0x08}));
    EXPECT_EQ(A(b9, 11), item({0x31, 0x59, 0x00}, 4));
}

TEST(EasyBlocks, TitleInFourParts) {
    CameraModel m;
    // "AB" then blanks in block 0, as the title upload sends it.
    Ask(m, {0x21, 0x10, 0x01, 0x00, 0x00, 0x10, 0x00, 0x11, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE});
    // An unknown code is kept as the blank.
    Payload a = Ask(
        m, {0x21, 0x10, 0x01, 0x03, 0x00, 0x31, 0x77, 0x77, 0x01, 0x26, 0x01, 0x0F, 0x01, 0x04});
    EXPECT_EQ(A(a, 4), 3);
    EXPECT_EQ((std::array{W(a, 5), W(a, 7), W(a, 9), W(a, 11), W(a, 13)}),
              (std::array{0x0031, 0x01FE, 0x0126, 0x010F, 0x01FE}));
    Payload b0 = Ask(m, {0x31, 0x60, 0});
    EXPECT_EQ((std::array{W(b0, 4), W(b0, 6), W(b0, 8)}), (std::array{0x0010, 0x0011, 0x01FE}));
    Payload b3 = Ask(m, {0x31, 0x60, 3});
    EXPECT_EQ(W(b3, 4), 0x0031);
    EXPECT_EQ(W(b3, 12), 0x01FE);
    // The title read answers in the same layout as the upload.
    Payload r = Ask(m, {0x31, 0x10, 0x01, 0x03});
    EXPECT_EQ(A(r, 3), 1);
    EXPECT_EQ(A(r, 4), 3);
    EXPECT_EQ(W(r, 5), 0x0031);
    // The title is stored at once.
    m.Reset();
    EXPECT_EQ(W(Ask(m, {0x31, 0x60, 0}), 4), 0x0010);
}

} // namespace
} // namespace r8::sim::test
