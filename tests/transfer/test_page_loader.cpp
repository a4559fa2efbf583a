// SPDX-License-Identifier: MIT
// Page sequences, load orders and answer dispatch, driven through a scripted port.
#include "CameraLink.h"
#include "FakePort.h"
#include "Frames.h"
#include "PageLoader.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingHost;

namespace {

// Two short pages are enough to see sequencing; the real tables are checked with the window.
constexpr PageRequest kTwo[] = {{0x0A, 0x01, 0, 3}, {0x0A, 0x40, 0, 3}};
constexpr PageRequest kMask[] = {{0x57, 0x00, 0x00, 4}, {0x57, 0x01, 0x00, 4}};
constexpr PageRequest kEasy[] = {{0x60, 0, 0, 3}, {0x0C, 0x01, 0x51, 4}};
constexpr PageRequest kLine[] = {{0x0A, 0x01, 0, 3}, {0x53, 0, 0, 2}};

class FakeTransferHost : public TransferHost {
public:
    int ActivePage() const override { return page; }
    void SetTabPanelsEnabled(bool on) override { panelChanges.push_back(on); }
    void ShowOrderCount(int count) override { orderCounts.push_back(count); }
    void PageStarting(uint8_t group) override {
        if (group == kEasyGroup) ++wbEnables;
    }
    void RefreshCursor() override { ++cursorRefreshes; }
    void ShowMessage(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void Post(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
    void Trans_end_common() override { calls.push_back("common"); }
    void TabAnswer(int p) override {
        calls.push_back("tab" + std::to_string(p));
        if (onTabAnswer) onTabAnswer();
    }
    void AnswerHandled() override { calls.push_back("hidden"); }

    void RunPosted() {
        while (!posted.empty()) {
            auto fn = std::move(posted.front());
            posted.pop_front();
            fn();
        }
    }

    int page = kEasyGroup;
    std::vector<bool> panelChanges;
    std::vector<int> orderCounts;
    int wbEnables = 0;
    int cursorRefreshes = 0;
    std::vector<std::string> messages;
    std::deque<std::function<void()>> posted;
    std::vector<std::string> calls;
    std::function<void()> onTabAnswer;
};

// A good answer that repeats P2..P4 of its command (an address, where the command has one).
std::vector<uint8_t> Answer(uint8_t a2, uint8_t a3, uint8_t a4) {
    uint8_t p[15] = {0xA0, a2, a3, a4};
    auto f = MakeStxFrame(p, 15);
    return {f.begin(), f.end()};
}

class LoaderTest : public ::testing::Test {
protected:
    LoaderTest()
        : link(port, linkHost),
          loader(link, host,
                 {PageTable(kTwo), PageTable(kTwo), PageTable(kTwo), PageTable(kTwo),
                  PageTable(kEasy), PageTable(kLine), PageTable(kMask)}) {
        linkHost.onReload = [this] { loader.ReLoadClick(); };
        linkHost.onAnswer = [this] { loader.AnswerArrived(); };
        link.Trans_Create();
        port.Deliver({ACK}); // loads the Easy page
    }

    // The camera answers the outstanding request: ACK, then the answer frame.
    void AnswerLast() {
        port.Deliver({ACK});
        port.Deliver(Answer(link.SendFrame[2], link.SendFrame[3], link.SendFrame[4]));
    }
    // Payloads P1..P4 of the command frames written so far.
    std::vector<std::string> Requests() const {
        std::vector<std::string> out;
        for (const auto& w : port.writes)
            if (w.size() == kCommandFrameSize)
                out.push_back(std::to_string(w[1]) + "," + std::to_string(w[2]) + "," +
                              std::to_string(w[3]) + "," + std::to_string(w[4]));
        return out;
    }

    FakePort port;
    RecordingHost linkHost;
    FakeTransferHost host;
    CameraLink link;
    PageLoader loader;
};

std::string Req(int p2, int p3, int p4) {
    return "49," + std::to_string(p2) + "," + std::to_string(p3) + "," + std::to_string(p4);
}

} // namespace

TEST_F(LoaderTest, FirstAckLoadsTheActivePageOneRequestPerAnswer) {
    EXPECT_EQ(Requests(), std::vector<std::string>{Req(0x60, 0, 0)});
    EXPECT_EQ(loader.TransGroup, kEasyGroup);
    EXPECT_EQ(loader.TransStep, 1);
    EXPECT_EQ(host.wbEnables, 1);
    EXPECT_EQ(host.panelChanges, std::vector<bool>{false});
    EXPECT_FALSE(loader.Trans_chk());

    AnswerLast();
    EXPECT_EQ(Requests(), (std::vector<std::string>{Req(0x60, 0, 0), Req(0x0C, 0x01, 0x51)}));
    EXPECT_FALSE(loader.Trans_chk());
    AnswerLast();
    EXPECT_EQ(Requests().size(), 2u);
    EXPECT_EQ(loader.TransStep, 0);
    EXPECT_EQ(host.panelChanges, (std::vector<bool>{false, true}));
    EXPECT_EQ(host.cursorRefreshes, 1);
    EXPECT_TRUE(loader.Trans_chk());
}

TEST_F(LoaderTest, RequestsSendUnusedBytesAsZero) {
    AnswerLast();
    const auto& frame = port.writes.back();
    EXPECT_EQ(frame[2], 0x0C);
    EXPECT_EQ(frame[4], 0x51);
    for (int i = 5; i <= 15; ++i)
        EXPECT_EQ(frame[i], 0) << i;
}

TEST_F(LoaderTest, EveryAnswerIsDispatchedToTheActiveTab) {
    host.page = kMaskGroup; // the operator is on another tab while the Easy page loads
    AnswerLast();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"common", "tab6", "hidden"}));
}

TEST_F(LoaderTest, AHandlerThatChangesTheStepEndsTheSequence) {
    host.onTabAnswer = [this] { loader.TransStep = 0; };
    AnswerLast();
    EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(LoaderTest, EndStepsAndStepsBeyondThem) {
    struct Case {
        uint8_t group;
        uint32_t step;
        bool panels;
    };
    for (Case c : {Case{kAdjustGroup, 2, true}, Case{kLineGroup, 7, true},
                   Case{kMaskGroup, 2, false}, Case{kMaskGroup, 99, false}}) {
        host.panelChanges.clear();
        port.ClearWritten();
        loader.Trans_init(c.group, c.step);
        EXPECT_TRUE(port.writes.empty());
        EXPECT_EQ(loader.TransStep, 0);
        EXPECT_EQ(host.panelChanges, c.panels ? std::vector<bool>{true} : std::vector<bool>{});
    }
}

TEST_F(LoaderTest, TabChangesDuringALoadQueueOrdersThatRunOldestFirst) {
    for (int page : {kMaskGroup, kAdjustGroup, kLineGroup}) {
        host.page = page;
        loader.PageControl1Change();
    }
    EXPECT_EQ(host.orderCounts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Requests().size(), 1u); // nothing starts at once

    // Finish the Easy page; each end step releases one order.
    AnswerLast();
    AnswerLast();
    EXPECT_EQ(host.orderCounts.back(), 2);
    host.RunPosted();
    EXPECT_EQ(Requests().back(), Req(0x57, 0x00, 0x00)); // the MASK page
    AnswerLast();
    AnswerLast();
    host.RunPosted();
    EXPECT_EQ(host.orderCounts.back(), 1);
    EXPECT_EQ(Requests().back(), Req(0x0A, 0x01, 0));
    AnswerLast();
    AnswerLast();
    host.RunPosted();
    EXPECT_EQ(host.orderCounts.back(), 0);
    EXPECT_EQ(loader.TransGroup, kLineGroup);
    AnswerLast();
    AnswerLast();
    EXPECT_EQ(loader.TransStep, 0);
    EXPECT_TRUE(host.posted.empty());
    EXPECT_EQ(Requests().size(), 2u + 2 + 2 + 2);
}

TEST_F(LoaderTest, AQueuedOrderKeepsLaterTabChangesQueued) {
    host.page = kMaskGroup;
    loader.PageControl1Change();
    loader.TransStep = 0; // the sequence stopped, but an order still waits
    host.page = kLineGroup;
    loader.PageControl1Change();
    EXPECT_EQ(loader.Orders.bOrder, 2);
    EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(LoaderTest, LoadWithDsrOffSendsNothing) {
    AnswerLast();
    AnswerLast();
    port.ClearWritten();
    host.panelChanges.clear();
    port.dsr = false;
    loader.ReLoadClick();
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{"R8V7: Camera Connection changed (DR OFF)"});
    EXPECT_TRUE(host.panelChanges.empty());
}

TEST_F(LoaderTest, ReleasedOrderWithDsrOffIsDropped) {
    host.page = kMaskGroup;
    loader.PageControl1Change();
    AnswerLast();
    AnswerLast();
    port.dsr = false;
    port.ClearWritten();
    host.RunPosted();
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"R8V5MC: Camera Connection changed (DR OFF)"});
    EXPECT_EQ(loader.Orders.bOrder, 0);
}

TEST_F(LoaderTest, TheQueueHoldsAtMost255Orders) {
    for (int i = 0; i < 300; ++i)
        loader.PageControl1Change();
    EXPECT_EQ(loader.Orders.bOrder, 255);
    EXPECT_EQ(loader.Orders.entries.size(), 255u);
    EXPECT_EQ(host.orderCounts.back(), 255);
}

TEST_F(LoaderTest, DroppedOrdersNeverRun) {
    host.page = kMaskGroup;
    loader.PageControl1Change();
    loader.PageControl1Change();
    AnswerLast();
    AnswerLast(); // releases the first order; its start is pending
    loader.DropOrders();
    port.ClearWritten();
    host.RunPosted();
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(loader.Orders.bOrder, 0);
}

TEST_F(LoaderTest, LoadDuringALoadRestartsWithTheNewGroup) {
    host.page = kLineGroup;
    loader.ReLoadClick(); // the Easy request is still outstanding: the Line request waits
    EXPECT_EQ(loader.TransStep, 1);
    EXPECT_EQ(loader.TransGroup, kLineGroup);
    EXPECT_EQ(Requests().size(), 1u);
    AnswerLast(); // the Easy answer arrives and ends nothing; the Line page's step 0 goes out
    EXPECT_EQ(Requests().size(), 2u);
    EXPECT_EQ(loader.TransStep, 1);
    AnswerLast(); // its answer: step 1
    EXPECT_EQ(Requests().back(), Req(0x53, 0, 0));
}

TEST_F(LoaderTest, TransChkRefusesWhileTheLinkIsBusy) {
    AnswerLast();
    AnswerLast();
    ASSERT_TRUE(loader.Trans_chk());
    link.LinkBusy = 1;
    EXPECT_FALSE(loader.Trans_chk());
}
