// SPDX-License-Identifier: MIT
// One exchange on the wire: commands asked for meanwhile wait in order, a newer value of a
// setting replaces a waiting one, every answer goes with its command, stale answers are dropped
// and every reply or failure reaches whoever asked, once.
#include "CameraLink.h"
#include "FakePort.h"
#include "Frames.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingHost;

namespace {

class StaleHost : public RecordingHost {
public:
    void StaleAnswer(const uint8_t* a, const Payload15&) override { stale.push_back(a[1]); }
    std::vector<uint8_t> stale;
};

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest() : link(port, host) {
        link.Trans_Create();
        port.Deliver({ACK});
        port.ClearWritten();
        host.onAnswer = [this] {
            answered.push_back(link.Answered()[1] << 8 | link.Answered()[2]);
        };
    }
    static Request Cmd(std::vector<uint8_t> p, int replaces = 0) {
        Request r;
        std::copy(p.begin(), p.end(), r.p.begin());
        r.n = static_cast<int>(p.size());
        r.replaces = replaces;
        return r;
    }
    void Answer(std::vector<uint8_t> a) {
        a.resize(kStxAnswerPayload);
        const auto f = MakeStxFrame(a.data(), a.size());
        std::vector<uint8_t> bytes{ACK};
        bytes.insert(bytes.end(), f.begin(), f.end());
        port.Deliver(bytes);
    }
    // P1..P3 of each command frame written, as "P1P2P3" in hexadecimal.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const auto& w : port.writes)
            if (w.size() == kCommandFrameSize) {
                char s[16];
                std::snprintf(s, sizeof s, "%02X%02X%02X%02X", w[1], w[2], w[3], w[4]);
                out.push_back(s);
            }
        return out;
    }

    FakePort port;
    StaleHost host;
    CameraLink link;
    std::vector<int> answered; // P2:P3 of the command each handed-over answer answers
};

} // namespace

TEST_F(ExchangeTest, CommandsWaitInOrderAndANewerValueReplacesAWaitingOne) {
    link.Submit(Cmd({0x31, 0x0D, 0xEE, 0x00}));
    link.Submit(Cmd({0x21, 0x1A, 0x01, 0x01}, 3));
    link.Submit(Cmd({0x21, 0x47, 0x00, 0x02}, 3));
    link.Submit(Cmd({0x21, 0x1A, 0x01, 0x05}, 3)); // the bar moved on: replaces 21 1A 01 01
    link.Submit(Cmd({0x21, 0x36, 0x13, 0x01}));    // no setting named: never replaced
    link.Submit(Cmd({0x21, 0x36, 0x13, 0x01}));
    EXPECT_EQ(Commands(), std::vector<std::string>{"310DEE00"});
    EXPECT_EQ(link.Waiting(), 4u);
    EXPECT_EQ(link.SendFrame[2], 0x0D) << "the frame on the wire stays where the rules read it";

    Answer({0xA0, 0x0D, 0xEE, 0x00, 0x12, 0x34});
    Answer({0xA0, 0x1A, 0x01, 0x05});
    Answer({0xA0, 0x47, 0x00, 0x02});
    Answer({0xA0, 0x36, 0x13});
    Answer({0xA0, 0x36, 0x13});
    EXPECT_EQ(Commands(), (std::vector<std::string>{"310DEE00", "211A0105", "21470002", "21361301",
                                                    "21361301"}));
    EXPECT_EQ(answered, (std::vector<int>{0x0DEE, 0x1A01, 0x4700, 0x3613, 0x3613}));
    EXPECT_FALSE(link.InFlight());
}

TEST_F(ExchangeTest, AStaleAnswerIsDroppedAcknowledgedAndTheLinkGoesOnWaiting) {
    std::vector<Reply> replies;
    link.Submit(Cmd({0x31, 0x0C, 0x03, 0xFF}), [&](const Reply& r) { replies.push_back(r); });
    port.Deliver({ACK});
    port.ClearWritten();
    Answer({0xA0, 0x1A, 0x01, 0x05}); // an answer of another group (a session that ended)
    // The late answer to the read before (the camera answered it and its re-send): same
    // group, another address.
    Answer({0xA0, 0x0C, 0x03, 0xFE, 0x11, 0x22});
    EXPECT_EQ(host.stale, (std::vector<uint8_t>{0x1A, 0x0C}));
    EXPECT_TRUE(replies.empty());
    EXPECT_TRUE(link.InFlight());
    EXPECT_EQ(port.written, (std::vector<uint8_t>{ACK, ACK}));
    EXPECT_EQ(link.AnswerCount, 20) << "still timed";

    // A second ACK does not stand for the answer: RecvFrame holds the stale frame.
    port.Deliver({ACK});
    EXPECT_TRUE(replies.empty());
    Answer({0xA0, 0x0C, 0x03, 0xFF, 0xAB, 0xCD});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].error, ExchangeError::None);
    EXPECT_EQ(replies[0].answer[4], 0xAB);
    EXPECT_EQ(replies[0].command[3], 0xFF);
    EXPECT_EQ(host.answers, 1);
}

TEST_F(ExchangeTest, EveryWayAnExchangeEndsReachesWhoAsked) {
    std::vector<std::string> got;
    const auto record = [&](const Reply& r) {
        got.push_back(std::string(ExchangeErrorText(r.error)) + (r.ackOnly ? " ack" : ""));
    };
    link.Submit(Cmd({0x21, 0x20, 0x00}), record); // acknowledged only
    port.Deliver({ACK});
    link.Submit(Cmd({0x21, 0x1A, 0x01, 0x77}), record);
    Answer({0xA2, 0x1A, 0x01});
    link.Submit(Cmd({0x31, 0x1A, 0x01}), record);
    link.Submit(Cmd({0x31, 0x47, 0x00}), record); // waits for the one nobody answers
    for (int i = 0; i < 2 * (CameraLink::kCommandTicks + 1); ++i)
        link.SendTimerTimer();
    EXPECT_EQ(Commands().back(), "31470000") << "the next command goes out at the loss";
    link.DropExchanges(ExchangeError::LinkLost);
    link.DropExchanges(ExchangeError::LinkLost); // nothing is told twice
    EXPECT_EQ(got, (std::vector<std::string>{"ok ack", "error answer", "no answer", "link lost"}));
    EXPECT_EQ(host.messages.size(), 1u) << "the loss is reported once";
}
