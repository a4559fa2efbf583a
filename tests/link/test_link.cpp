// SPDX-License-Identifier: MIT
// Link rules: senders, link status transitions, time-outs, retries and the port search.
#include "CameraLink.h"
#include "FakePort.h"
#include "Frames.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingHost;

namespace {

std::vector<uint8_t> AnswerFrame(std::vector<uint8_t> payload) {
    payload.resize(kStxAnswerPayload);
    auto f = MakeStxFrame(payload.data(), payload.size());
    return {f.begin(), f.end()};
}

class LinkTest : public ::testing::Test {
protected:
    LinkTest() : link(port, host) {}

    // Start-up and the camera's first ACK, leaving an idle link.
    void Connect() {
        link.Trans_Create();
        port.Deliver({ACK});
        port.ClearWritten();
    }
    void Send(std::vector<uint8_t> payload) {
        std::copy(payload.begin(), payload.end(), link.SendFrame.begin() + 1);
        link.StxCommand(link.SendFrame, static_cast<int>(payload.size()));
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            link.SendTimerTimer();
    }
    std::vector<uint8_t> Written() const { return port.written; }

    FakePort port;
    RecordingHost host;
    CameraLink link;
};

} // namespace

TEST_F(LinkTest, StartUpSendsEnqOnPortOne) {
    link.Trans_Create();
    EXPECT_EQ(host.status[0], "Comm. Connecting");
    EXPECT_EQ(port.openedPorts, std::vector<uint8_t>{1});
    EXPECT_EQ(port.baud, 9600);
    EXPECT_EQ(Written(), std::vector<uint8_t>{ENQ});
    EXPECT_TRUE(host.sendTimer);
    EXPECT_TRUE(host.busyCursor);
    EXPECT_EQ(link.LinkBusy, 1);
    EXPECT_EQ(link.LINK_STATUS, 0);
}

TEST_F(LinkTest, FirstAckBringsTheLinkUp) {
    link.Trans_Create();
    port.ClearWritten();
    // Anything but ACK is ignored before the link is up.
    port.Deliver({NAK, ENQ, 0x41});
    EXPECT_EQ(link.LINK_STATUS, 0);
    EXPECT_EQ(host.reloads, 0);

    bool pageControlAtReload = true;
    host.onReload = [&] {
        pageControlAtReload = host.pageControlEnabled;
        Send({0x31, 0x60, 0x00});
    };
    port.Deliver({ACK});
    EXPECT_EQ(port.writes.front(), std::vector<uint8_t>{EOT});
    EXPECT_EQ(link.LINK_STATUS, 1);
    EXPECT_EQ(link.LinkBusy, 0);
    EXPECT_EQ(host.reloads, 1);
    EXPECT_FALSE(pageControlAtReload);
    EXPECT_TRUE(host.pageControlEnabled);
    // The first page request keeps its answer time-out.
    EXPECT_EQ(link.AnswerCount, 20);
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(LinkTest, FirstAckWithoutPageRequestDisarms) {
    link.Trans_Create();
    port.Deliver({ACK});
    EXPECT_EQ(link.AnswerCount, -1);
    Ticks(100);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LinkTest, StxCommandCompletesTheFrame) {
    Connect();
    Send({0x21, 0x20});
    EXPECT_EQ(Written(), (std::vector<uint8_t>{0x02, 0x21, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0x03, 0x51, 0xB8}));
    EXPECT_EQ(host.status[1], "2120000000000000000000000000");
    EXPECT_EQ(link.AnswerCount, 20);
    EXPECT_EQ(link.RetryCount, 2);
    EXPECT_EQ(link.LinkBusy, 0); // a command frame does not set the busy flag
}

TEST_F(LinkTest, StxCommandClearsBytesPastTheLength) {
    Connect();
    Send({0x21, 0x57, 0x01, 0x01, 0x01, 0x10});
    port.Deliver({ACK});
    port.Deliver(AnswerFrame({0xA0, 0x57, 0x01}));
    port.ClearWritten();
    Send({0x31});
    ASSERT_EQ(port.writes.size(), 1u);
    for (int i = 2; i <= 15; ++i)
        EXPECT_EQ(port.writes[0][i], 0) << i;

    for (int i = 1; i <= 15; ++i)
        link.SendFrame[i] = static_cast<uint8_t>(0xE0 + i);
    port.ClearWritten();
    port.Deliver({ACK});
    port.Deliver(AnswerFrame({0xA0}));
    port.ClearWritten();
    link.StxCommand(link.SendFrame, 15);
    for (int i = 1; i <= 15; ++i)
        EXPECT_EQ(port.writes.at(0)[i], 0xE0 + i);
    EXPECT_EQ(host.status[1].size(), 28u); // P15 is not shown
}

TEST_F(LinkTest, StxCommandRefusedWhileBusy) {
    Connect();
    host.status[1] = "before";
    link.LinkBusy = 1;
    Send({0x21, 0x1A, 0x01, 0x05});
    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(host.status[1], "before");
}

TEST_F(LinkTest, BlockFrameGoesOutInPieces) {
    Connect();
    std::vector<int32_t> table(2048);
    for (int i = 0; i < 2048; ++i)
        table[i] = 0x100 + i; // only bits 7-0 travel
    link.SohCommand(table.data());
    std::vector<size_t> sizes;
    for (const auto& w : port.writes)
        sizes.push_back(w.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{2, 512, 512, 512, 512, 3}));
    const auto& wire = port.written;
    ASSERT_EQ(wire.size(), 2053u);
    EXPECT_EQ(wire[0], SOH);
    EXPECT_EQ(wire[1], 0x75);
    EXPECT_EQ(wire[2], 0x00);
    EXPECT_EQ(wire[2 + 0x1FF], 0xFF);
    EXPECT_EQ(wire[2050], ETX);
    EXPECT_EQ(link.SendFrame[0], SOH);
    EXPECT_EQ(link.AnswerCount, 100);
    EXPECT_EQ(link.RetryCount, 10);
    EXPECT_EQ(link.LinkBusy, 1);
    EXPECT_FALSE(host.pageControlEnabled);
    EXPECT_EQ(host.progressToMax, 1);

    port.ClearWritten();
    link.SohCommand(table.data());
    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(host.status[1], "Busy");
}

TEST_F(LinkTest, AckRulesByLastCommand) {
    struct Case {
        std::vector<uint8_t> payload;
        uint8_t statusAfterAck;
    };
    const Case cases[] = {
        {{0x21, 0x20, 0x00}, 1},
        {{0x21, 0x20, 0x01}, 2},
        {{0x21, 0x1A, 0x01, 0x05}, 2},
        {{0x31, 0x0A, 0x01}, 2},
        {{0xF1}, 1},
    };
    Connect();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.payload));
        link.LINK_STATUS = 1;
        link.LinkBusy = 0;
        host.pageControlEnabled = false;
        Send(c.payload);
        port.Deliver({ACK});
        EXPECT_EQ(link.LINK_STATUS, c.statusAfterAck);
        if (c.statusAfterAck == 1) {
            EXPECT_EQ(link.AnswerCount, -1);
            EXPECT_TRUE(host.pageControlEnabled);
        } else {
            port.Deliver(AnswerFrame({0xA0, c.payload[1], c.payload[2]})); // the exchange ends
        }
    }
    EXPECT_EQ(host.copyFileCloses, 1); // the reset ends a copy
}

TEST_F(LinkTest, ResetAfterBlockAwaitsAnAnswer) {
    Connect();
    std::vector<int32_t> table(2048);
    link.SohCommand(table.data());
    link.LinkBusy = 0;
    link.SendFrame[1] = 0xF1; // as left by a reset command built in place after the block
    port.Deliver({ACK});
    EXPECT_EQ(link.LINK_STATUS, 2);
    EXPECT_EQ(host.copyFileCloses, 0);
}

TEST_F(LinkTest, AnswerIsShownAcknowledgedAndHandedOn) {
    Connect();
    Send({0x31, 0x0C, 0x00, 0x00});
    port.Deliver({ACK});
    ASSERT_EQ(link.LINK_STATUS, 2);
    port.ClearWritten();
    int busyAtAnswer = -1;
    host.onAnswer = [&] { busyAtAnswer = link.LinkBusy; };
    port.Deliver(AnswerFrame({0xA0, 0x0C, 0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(host.status[2], "A00C00001234000000000000000000");
    EXPECT_EQ(Written(), std::vector<uint8_t>{ACK});
    EXPECT_EQ(host.answers, 1);
    EXPECT_EQ(busyAtAnswer, 0);
    EXPECT_EQ(link.LINK_STATUS, 1);
    EXPECT_EQ(link.AnswerCount, -1);
}

TEST_F(LinkTest, AckAfterGoodFrameIsHandledByTheStatusOneRules) {
    Connect();
    Send({0x31, 0x0A, 0x01});
    port.Deliver({ACK});
    auto frame = AnswerFrame({0xA0, 0x0A, 0x01, 0x40, 0x00});
    frame.push_back(ACK); // trailing byte that happens to be an ACK
    port.Deliver(frame);
    EXPECT_EQ(host.answers, 1);
    EXPECT_EQ(link.LINK_STATUS, 2); // the last command was a read
}

TEST_F(LinkTest, BadCrcIsAnsweredWithNak) {
    Connect();
    Send({0x31, 0x0A, 0x01});
    port.Deliver({ACK});
    port.ClearWritten();
    auto frame = AnswerFrame({0xA0, 0x0A, 0x01});
    frame[17] ^= 0xFF;
    port.Deliver(frame);
    EXPECT_EQ(Written(), std::vector<uint8_t>{NAK});
    EXPECT_EQ(link.LinkBusy, 1);
    EXPECT_EQ(link.AnswerCount, 20);
    EXPECT_EQ(link.RetryCount, 2);
    EXPECT_EQ(host.answers, 0);
    // A NAK from the camera is reported but changes nothing.
    port.Deliver({NAK});
    EXPECT_EQ(link.LINK_STATUS, 2);
}

TEST_F(LinkTest, FramingErrorShowsBox) {
    Connect();
    std::vector<uint8_t> bad(16, 0x30);
    bad[0] = STX;
    bad.push_back(0x00);
    port.Deliver(bad);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "sr_err1");
    EXPECT_EQ(host.messages[0].caption, "recv_chr");
    EXPECT_EQ(host.messages[0].buttons, 1);
}

TEST_F(LinkTest, TimeOutResendsThenReportsThenKeepsResending) {
    Connect();
    Send({0x31, 0x0A, 0x01});
    const auto frame = port.written;
    port.ClearWritten();

    Ticks(20);
    EXPECT_TRUE(Written().empty());
    Ticks(1); // first expiry: the frame goes out once more
    EXPECT_EQ(Written(), frame);
    EXPECT_TRUE(host.messages.empty());

    port.ClearWritten();
    Ticks(20);
    EXPECT_TRUE(host.messages.empty());
    Ticks(1); // second expiry: the link is reported lost
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, " Serial Port not connected ");
    EXPECT_EQ(host.messages[0].caption, "Comm.ERR");
    EXPECT_EQ(host.messages[0].buttons, 2);
    EXPECT_EQ(link.LinkBusy, 0);
    EXPECT_EQ(link.LINK_STATUS, 1);
    EXPECT_EQ(link.Rx.RxState, 0);
    EXPECT_EQ(Written(), frame);

    port.ClearWritten();
    Ticks(21); // re-sending goes on without further reports
    EXPECT_EQ(Written(), frame);
    EXPECT_EQ(host.messages.size(), 1u);

    // An answer disarms it.
    port.Deliver({ACK});
    port.Deliver(AnswerFrame({0xA0, 0x0A, 0x01}));
    port.ClearWritten();
    Ticks(100);
    EXPECT_TRUE(Written().empty());
}

// A lost answer: the command goes out again, and only the answer that follows the ACK of the
// re-sent command is acknowledged and handed on; a late answer to the first send is not.
TEST_F(LinkTest, AfterALostAnswerOnlyTheRealAnswerIsTaken) {
    Connect();
    for (bool lateFirstAnswer : {false, true}) {
        host.answers = 0;
        Send({0x31, 0x60, 0x05});
        port.Deliver({ACK}); // the camera took the read; its answer is lost
        ASSERT_EQ(link.LINK_STATUS, 2);
        Ticks(21);
        EXPECT_EQ(link.LINK_STATUS, 1) << lateFirstAnswer;
        if (lateFirstAnswer) port.Deliver(AnswerFrame({0xA0, 0x60, 0x05, 0x11}));
        port.ClearWritten();
        port.Deliver({ACK}); // the ACK of the re-sent read is not an answer
        EXPECT_EQ(host.answers, 0) << lateFirstAnswer;
        EXPECT_TRUE(Written().empty()) << lateFirstAnswer;
        port.Deliver(AnswerFrame({0xA0, 0x60, 0x05, 0x22}));
        EXPECT_EQ(host.answers, 1) << lateFirstAnswer;
        EXPECT_EQ(Written(), std::vector<uint8_t>{ACK}) << lateFirstAnswer;
        EXPECT_EQ(link.Rx.Answer()[3], 0x22) << lateFirstAnswer;
        EXPECT_EQ(link.AnswerCount, -1) << lateFirstAnswer;
    }
}

// A write that fails leaves the answer time-out armed: the link is still reported lost.
TEST_F(LinkTest, FailedWritesStillEndInTheLinkReport) {
    Connect();
    port.failWrite = true;
    EXPECT_THROW(Send({0x31, 0x0A, 0x01}), ECommError);
    EXPECT_EQ(link.AnswerCount, 20);
    EXPECT_THROW(Ticks(21), ECommError); // the re-send fails as well
    EXPECT_EQ(link.AnswerCount, 20);
    try {
        Ticks(21);
    } catch (const ECommError&) {
    }
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, " Serial Port not connected ");
    EXPECT_EQ(link.LinkBusy, 0);
}

TEST_F(LinkTest, LensStepCommandsWaitWithoutLimit) {
    Connect();
    Send({0x21, 0x46, 0x01});
    port.ClearWritten();
    Ticks(21 * 10);
    EXPECT_TRUE(Written().empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(link.AnswerCount, 20);
}

TEST_F(LinkTest, PortSearchCyclesThenGivesUp) {
    link.Trans_Create();
    for (int i = 0; i < 15; ++i)
        link.SendTimerTimer();
    EXPECT_EQ(port.openedPorts,
              (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2}));
    // The enquiry goes out again on every port the search opens.
    EXPECT_EQ(port.written, std::vector<uint8_t>(16, ENQ));
    EXPECT_EQ(host.terminations, 0);
    link.SendTimerTimer();
    EXPECT_FALSE(host.sendTimer);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, " Serial Port not connected ");
    EXPECT_EQ(host.terminations, 1);
}

TEST_F(LinkTest, AckOnTheSecondPortBringsTheLinkUp) {
    link.Trans_Create();
    Ticks(4);
    ASSERT_EQ(port.port, 2);
    port.Deliver({ACK});
    EXPECT_EQ(link.LINK_STATUS, 1);
    EXPECT_EQ(host.reloads, 1);
    port.ClearWritten();
    Ticks(30);
    EXPECT_EQ(port.port, 2); // the search has stopped
}

// A network connection that is being made or is up is kept across the ticks and asked again on
// each; the camera answers every enquiry in order, and those ACKs are no answer to the first
// page request.
TEST_F(LinkTest, AKeptConnectionIsAskedAgainAndTheExtraAcksAreNoAnswers) {
    port.keeps = true;
    link.Trans_Create();
    Ticks(3);
    EXPECT_EQ(port.openedPorts, std::vector<uint8_t>{1});
    EXPECT_EQ(port.written, std::vector<uint8_t>(4, ENQ));
    host.onReload = [&] { Send({0x31, 0x60, 0x00}); };
    port.Deliver({ACK});
    ASSERT_EQ(host.reloads, 1);
    port.Deliver({ACK, ACK, ACK}); // the other three enquiries
    EXPECT_EQ(host.answers, 0);
    port.Deliver({ACK}); // the request's own
    EXPECT_EQ(host.answers, 0);
    port.Deliver(AnswerFrame({0xA0, 0x60, 0x00, 0x12}));
    EXPECT_EQ(host.answers, 1);
    EXPECT_EQ(link.Rx.Answer()[3], 0x12);
    // From then on an ACK in its place stands for the answer again.
    Send({0x31, 0x60, 0x01});
    port.Deliver({ACK, ACK});
    EXPECT_EQ(host.answers, 2);
}

TEST_F(LinkTest, OpenFailureDuringTheSearchPropagatesAndTheSearchGoesOn) {
    link.Trans_Create();
    Ticks(3);
    port.failOpen = true;
    EXPECT_THROW(link.SendTimerTimer(), ECommOpenError);
    port.failOpen = false;
    link.SendTimerTimer();
    EXPECT_EQ(link.PortAttempt, 5);
    EXPECT_TRUE(port.open);
}

TEST_F(LinkTest, BusyCursorReturnsThroughTheCursorTimer) {
    Connect();
    Send({0x31, 0x0A, 0x01});
    EXPECT_TRUE(host.busyCursor);
    host.cursorTimer = false;
    port.Deliver({ACK});
    port.Deliver(AnswerFrame({0xA0, 0x0A, 0x01}));
    EXPECT_TRUE(host.busyCursor); // still busy until the timer runs
    EXPECT_TRUE(host.cursorTimer);
    link.cursor_timerTimer();
    EXPECT_FALSE(host.busyCursor);
    EXPECT_FALSE(host.cursorTimer);
}
