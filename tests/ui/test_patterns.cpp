// SPDX-License-Identifier: MIT
// The control patterns that the service tabs share: the stepped hexadecimal edit, edits that make
// one command, payloads built at send time, read loops and the memo (the patterns without Qt
// are tested in test_ui_logic.cpp).
#include "FakeContext.h"
#include "QtTestEnv.h"
#include "patterns/HexSpin.h"
#include "patterns/ReadLoop.h"
#include "patterns/Senders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace r8::ui {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using test::FakeContext;
using Sent = std::vector<std::string>;

TEST(SpinStep, EdgesStepsAndMasks) {
    const SpinRule nibble{0, 0xF, Edge::Hold};
    const SpinRule offset{0x50, 0xB0, Edge::Clamp};
    const SpinRule address{0, 0x3FF, Edge::Wrap};
    const SpinRule word{0, 0xFFFF, Edge::Wrap};
    const SpinRule byFour{0, 0xFF, Edge::Hold, [] { return 4; }};
    const SpinRule noStep{0, 0xFF, Edge::Hold, [] { return 0; }};
    int mask = 0x00F0;
    const SpinRule masked{0, 0, Edge::Hold, {}, [&] { return mask; }};
    struct Case {
        const char* name;
        const SpinRule& rule;
        int value, direction, maskValue;
        std::optional<int> want;
    };
    const Case cases[] = {
        {"nibble up", nibble, 7, +1, 0, 8},
        {"nibble holds at F", nibble, 0xF, +1, 0, std::nullopt},
        {"nibble holds at 0", nibble, 0, -1, 0, std::nullopt},
        {"offset clamps at B0", offset, 0xB0, +1, 0, 0xB0},
        {"offset clamps at 50", offset, 0x50, -1, 0, 0x50},
        {"offset from 00 down", offset, 0x00, -1, 0, 0x50},
        {"offset from 00 up by one", offset, 0x00, +1, 0, 0x01},
        {"offset from C0 down by one", offset, 0xC0, -1, 0, 0xBF},
        {"offset from C0 up onto B0", offset, 0xC0, +1, 0, 0xB0},
        {"address wraps up", address, 0x3FF, +1, 0, 0},
        {"address wraps down", address, 0, -1, 0, 0x3FF},
        {"address above the range counts down", address, 0x500, -1, 0, 0x4FF},
        {"address above the range wraps up", address, 0x500, +1, 0, 0},
        {"word wraps up", word, 0xFFFF, +1, 0, 0},
        {"word wraps down", word, 0, -1, 0, 0xFFFF},
        {"external step", byFour, 8, +1, 0, 12},
        {"external step past the edge", byFour, 0xFE, +1, 0, std::nullopt},
        {"step of zero", noStep, 8, +1, 0, std::nullopt},
        {"text not hex", nibble, -1, +1, 0, std::nullopt},
        {"mask field wraps up", masked, 0x12F4, +1, 0x00F0, 0x1204},
        {"mask field wraps down", masked, 0x1204, -1, 0x00F0, 0x12F4},
        {"mask single bit", masked, 0x0000, +1, 0x0100, 0x0100},
        {"mask zero", masked, 0x1234, +1, 0, 0x1234},
        {"mask not hex", masked, 0x1234, +1, -1, std::nullopt},
    };
    for (const auto& c : cases) {
        mask = c.maskValue;
        EXPECT_EQ(SpinStep(c.value, c.direction, c.rule), c.want) << c.name;
    }
}

TEST(HexSpin, WritesTheEditWhichSendsAsTheOperatorWould) {
    FakeContext ctx;
    QWidget parent;
    auto* pwm = new Edit(&parent, "B0");
    pwm->SetMaxLength(2);
    auto* spin = new SpinButton(&parent);
    SendOnCompleteHex(ctx, pwm, {0x21, 0x43}, {.after = {0x01}, .bytes = 1});
    HexSpin step(pwm, spin, {0x50, 0xB0, Edge::Clamp});
    step.Up(); // stays B0: no change, nothing sent
    pwm->SetText("00");
    ctx.sent.clear();
    spin->OnDownClick();
    EXPECT_EQ(pwm->Text(), "50");
    EXPECT_EQ(ctx.sent, (Sent{"21435001"}));

    bool allowed = false;
    step.When = [&] { return allowed; };
    step.Up();
    EXPECT_EQ(pwm->Text(), "50");
    allowed = true;
    step.Up();
    EXPECT_EQ(pwm->Text(), "51");
}

TEST(Senders, EditsThatMakeOneCommandAndPayloadsBuiltAtSendTime) {
    FakeContext ctx;
    QWidget parent;
    std::vector<Edit*> d;
    for (int i = 0; i < 4; ++i) {
        d.push_back(new Edit(&parent, "0"));
        d.back()->SetMaxLength(1);
    }
    bool filling = false;
    SendOnCompleteHexGroup(
        ctx, d,
        [](const std::vector<int>& v) {
            return Prefix{0x21, 0x42, static_cast<uint8_t>(v[0] << 4 | v[1]),
                          static_cast<uint8_t>(v[2] << 4 | v[3]), 0x01};
        },
        [&] { return !filling; });
    filling = true; // a read-back fills them: nothing
    d[0]->SetText("1");
    filling = false;
    d[0]->SetText("5");
    d[1]->SetText("");  // incomplete: nothing
    d[1]->SetText("G"); // not hexadecimal: nothing
    d[1]->SetText("2");
    ctx.step = 1; // a page sequence runs: nothing
    d[2]->SetText("7");
    ctx.step = 0;
    d[3]->SetText("3");
    EXPECT_EQ(ctx.sent, (Sent{"2142500001", "2142520001", "2142527301"}));

    ctx.sent.clear();
    auto* send = new Button("Send", &parent);
    std::optional<Prefix> next;
    SendBuilt(ctx, send->OnClick, [&] { return next; });
    send->Click(); // nothing to send
    next = Prefix{0x21, 0x1E};
    send->Click();
    ctx.busy = true; // refused: the builder is not even asked
    next = Prefix{0x21, 0x20, 0x01};
    send->Click();
    EXPECT_EQ(ctx.sent, (Sent{"211E"}));
}

TEST(ReadLoop, CompletesAndShowsRows) {
    struct Case {
        const char* name;
        int perAnswer, perRow, digits, want;
        int answers; // answers until complete
        std::vector<std::string> rows;
    };
    const std::string ram16 = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";
    const Case cases[] = {
        {"RAM 10", 2, 16, 2, 0x10, 8, {ram16}},
        {"RAM 0F", 2, 16, 2, 0x0F, 7, {"00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D "}},
        {"RAM 20", 2, 16, 2, 0x20, 16, {ram16, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F "}},
        {"RAM 00", 2, 16, 2, 0x00, 1, {}},
        {"area samples", 1, 8, 4, 48, 48, {}},
    };
    for (const auto& c : cases) {
        ReadLoop loop(c.perAnswer, c.perRow, c.digits);
        loop.Start(c.want);
        int answers = 0, v = 0;
        bool done = false;
        while (!done && answers < 100) {
            ++answers;
            done = c.perAnswer == 2 ? loop.Add({v, v + 1}) : loop.Add({v});
            v += c.perAnswer;
        }
        EXPECT_EQ(answers, c.answers) << c.name;
        if (c.perAnswer == 1) {
            const auto rows = loop.Rows();
            ASSERT_EQ(rows.size(), 6u);
            EXPECT_EQ(rows[0], "0000 0001 0002 0003 0004 0005 0006 0007 ");
            EXPECT_EQ(rows[5], "0028 0029 002A 002B 002C 002D 002E 002F ");
        } else {
            EXPECT_EQ(loop.Rows(), c.rows) << c.name;
        }
    }
}

TEST(Memo, ChangesFireOnceEachAndNotForTheSameText) {
    QWidget parent;
    auto* memo = new Memo(&parent);
    int changes = 0;
    memo->OnChange = [&] { ++changes; };
    memo->AddLine("EE00");
    memo->AddLine("EE10");
    EXPECT_EQ(memo->Lines(), (QStringList{"EE00", "EE10"}));
    EXPECT_EQ(changes, 2);
    memo->SetLines({"EE00", "EE10"});
    EXPECT_EQ(changes, 2);
    memo->Clear();
    memo->Clear();
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(memo->Lines().isEmpty());
}

} // namespace
} // namespace r8::ui
