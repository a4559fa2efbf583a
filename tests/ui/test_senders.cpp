// SPDX-License-Identifier: MIT
// The control senders on a fake room context: when each sends, what it sends, and when it
// keeps quiet.
#include "FakeContext.h"
#include "QtTestEnv.h"
#include "patterns/Senders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace r8::ui {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using test::FakeContext;

using Sent = std::vector<std::string>;

TEST(DebouncedBar, ABurstIsSentOnceWithThePositionOfTheTick) {
    FakeContext ctx;
    QWidget parent;
    auto* bar = new TrackBar(&parent);
    bar->SetMax(8);
    DebouncedBar agc(ctx, bar, {0x21, 0x1A, 0x01}, "AGCTimer");
    for (int v = 1; v <= 8; ++v)
        bar->SetPosition(v);
    EXPECT_TRUE(agc.DebounceTimer->Enabled());
    EXPECT_EQ(agc.DebounceTimer->objectName(), "AGCTimer");
    EXPECT_EQ(agc.DebounceTimer->Interval(), 300);
    agc.Tick();
    EXPECT_FALSE(agc.DebounceTimer->Enabled());
    EXPECT_EQ(ctx.sent, (Sent{"211A0108"}));
}

TEST(DebouncedBar, PageSequencesAndRefusalsAsEachVariantWants) {
    struct Case {
        const char* name;
        DebouncedBar::OnBusy onBusy;
        int32_t step;    // TransStep while the bar moves
        bool busyAtTick; // the link is busy at the first tick
        Sent afterFirstTick;
        Sent afterSecondTick; // the link is free again
    };
    const Case cases[] = {
        {"moved during a page load", DebouncedBar::OnBusy::Retry, 3, false, {}, {}},
        {"refused, then retried", DebouncedBar::OnBusy::Retry, 0, true, {}, {"211B0205"}},
        {"dropped when busy", DebouncedBar::OnBusy::Drop, 0, true, {}, {}},
        {"drop variant when free",
         DebouncedBar::OnBusy::Drop,
         0,
         false,
         {"211B0205"},
         {"211B0205"}},
    };
    for (const auto& c : cases) {
        FakeContext ctx;
        QWidget parent;
        auto* bar = new TrackBar(&parent);
        bar->SetMax(8);
        DebouncedBar b(ctx, bar, {0x21, 0x1B, 0x02}, "RTimer", c.onBusy);
        ctx.step = c.step;
        bar->SetPosition(5);
        ctx.step = 0;
        ctx.busy = c.busyAtTick;
        if (b.DebounceTimer->Enabled()) b.Tick();
        EXPECT_EQ(ctx.sent, c.afterFirstTick) << c.name;
        ctx.busy = false;
        if (b.DebounceTimer->Enabled()) b.Tick();
        EXPECT_EQ(ctx.sent, c.afterSecondTick) << c.name;
        EXPECT_FALSE(b.DebounceTimer->Enabled()) << c.name;
    }
}

TEST(Senders, ImmediateSelfDisablingAndInterlocked) {
    FakeContext ctx;
    QWidget parent;
    auto* priority = new RadioGroup("Priority", {"AGC", "SENS"}, 2, &parent);
    auto* sync = new RadioGroup("Phase", {"OFF", "ON"}, 2, &parent);
    auto* blc = new RadioGroup("Select", {"OFF", "ON"}, 2, &parent);
    auto* peak = new RadioGroup("PEAK", {"OFF", "ON"}, 2, &parent);
    auto* rev = new CheckBox("HRev", &parent);
    auto* fix = new ComboBox({"OFF", "1/100", "1/250"}, &parent);
    SendOnClick(ctx, priority, {0x21, 0x1A, 0x05});
    SendDisablingSelf(ctx, sync, {0x21, 0x1C, 0x00});
    SendInterlocked(ctx, blc, peak, {0x21, 0x18, 0x00});
    SendOnClick(ctx, rev, {0x21, 0x1D, 0x05});
    SendOnChange(ctx, fix, {0x21, 0x48, 0x02, 0x01, 0x01});

    priority->SetItemIndex(1);
    priority->SetItemIndex(1); // no change, no event
    rev->SetChecked(true);
    fix->SetItemIndex(2);
    sync->SetItemIndex(1);
    EXPECT_FALSE(sync->isEnabled());
    blc->SetItemIndex(1);
    EXPECT_FALSE(blc->isEnabled());
    EXPECT_EQ(ctx.sent, (Sent{"211A0501", "211D0501", "214802010102", "211C0001", "21180001"}));

    // While the partner waits for its read-back, a click only enables the partner.
    ctx.sent.clear();
    blc->setEnabled(true);
    peak->setEnabled(false);
    blc->SetItemIndex(0);
    EXPECT_TRUE(peak->isEnabled());
    EXPECT_TRUE(blc->isEnabled());
    EXPECT_TRUE(ctx.sent.empty());

    // Nothing at all while a page sequence runs.
    ctx.step = 2;
    priority->SetItemIndex(0);
    sync->SetItemIndex(0);
    EXPECT_FALSE(sync->isEnabled()); // still disabled from its own send
    EXPECT_TRUE(ctx.sent.empty());
}

TEST(Senders, CompleteHexEntryOnly) {
    struct Case {
        const char* text;
        Sent sent;
    };
    const Case cases[] = {
        {"12", {}},   {"1234", {"211C011234"}}, {"ffff", {"211C01FFFF"}},
        {"12G4", {}}, // not all hexadecimal digits: nothing, rather than FF FF
        {" 123", {}},
    };
    for (const auto& c : cases) {
        FakeContext ctx;
        QWidget parent;
        auto* edit = new Edit(&parent);
        edit->SetMaxLength(4);
        int before = 0;
        SendOnCompleteHex(ctx, edit, {0x21, 0x1C, 0x01}, {{}, [&] { ++before; }});
        edit->SetText(c.text);
        EXPECT_EQ(ctx.sent, c.sent) << c.text;
        EXPECT_EQ(before, static_cast<int>(c.sent.size())) << c.text;
    }
}

} // namespace
} // namespace r8::ui
