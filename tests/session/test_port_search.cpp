// SPDX-License-Identifier: MIT
// The port search over the machine's serial ports: a scratch scan root with pseudo-terminals
// linked under device names, silent ones and simulated cameras, some held by another program.
// The test steps the link timer's tick itself.
#include "Comm.h"
#include "PollLoop.h"
#include "PortCandidates.h"
#include "ScanRoot.h"
#include "Session.h"
#include "SimPeer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace r8 {
namespace {

constexpr int kPatienceMs = 15000;

struct Observer : SessionObserver {
    int ActivePage() const override { return kEasyGroup; }
    void StatusText(int panel, const std::string& text) override { status[panel] = text; }
    void Message(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void LinkUp(bool on) override { linkUp = on; }
    void SearchNote(const std::string& text) override { notes.push_back(text); }
    std::map<int, std::string> status;
    std::vector<std::string> messages, notes;
    bool linkUp = false;
};

sim::SimOptions cameraAt(const std::string& link) {
    sim::SimOptions o;
    o.linkPath = link;
    return o;
}

TEST(PortCandidates, StableNamesFirstThenAdaptersThenBuiltInPortsTheRememberedOneAhead) {
    test::ScanRoot scan;
    const std::string usb0 = scan.Silent("ttyUSB0");
    scan.Silent("ttyUSB10");
    scan.Silent("ttyUSB2");
    scan.Silent("ttyACM0");
    scan.Silent("ttyS0");
    scan.Link("ttyUSB7", "/nonexistent/pts/99"); // a stale link is no port
    const std::string byId =
        scan.Link("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0", "../../ttyUSB0");
    scan.Usb("ttyUSB0", "0403", "6001", "FT232R USB UART", "A50285BI");

    const auto text = [](const std::vector<PortCandidate>& list) {
        std::vector<std::string> out;
        for (const PortCandidate& c : list)
            out.push_back(c.Text() + (c.remembered ? " *" : ""));
        return out;
    };
    const std::string usbLine =
        byId + " (" + usb0 + "): FT232R USB UART (0403:6001, serial A50285BI)";
    EXPECT_EQ(text(ListPortCandidates("", scan.Root())),
              (std::vector<std::string>{usbLine, scan.Dev("ttyUSB2"), scan.Dev("ttyUSB10"),
                                        scan.Dev("ttyACM0"), scan.Dev("ttyS0")}));
    // Remembered by its device node or its stable name: the same port, moved ahead.
    for (const std::string& remembered : {scan.Dev("ttyUSB0"), byId}) {
        const std::vector<std::string> list = text(ListPortCandidates(remembered, scan.Root()));
        EXPECT_EQ(list[0], usbLine + " *");
        EXPECT_EQ(list.size(), 5u);
    }
    EXPECT_EQ(text(ListPortCandidates(scan.Dev("ttyACM0"), scan.Root()))[0],
              scan.Dev("ttyACM0") + " *");
    EXPECT_EQ(CandidatePaths("socket://cam.lan:4001", scan.Root())[0], "socket://cam.lan:4001");
    EXPECT_EQ(CandidatePaths(scan.Dev("ttyUSB5"), scan.Root()).size(), 5u) << "not there: left out";
}

class PortSearch : public ::testing::Test {
protected:
    void SetUp() override {
        session.GatherSearchReport(true);
        session.SearchPorts([this] { return CandidatePaths(remembered, scan.Root()); });
    }
    void TearDown() override { session.Close(); }
    void start() {
        session.Start();
        session.SendTimer().SetEnabled(false); // the test ticks it
    }
    void tick() {
        session.SendTimerTimer();
        session.SendTimer().SetEnabled(false);
        loop.RunOnce(0);
    }
    std::string trying() const { return PortPath(1); }

    test::ScanRoot scan;
    std::string remembered;
    PollLoop loop;
    Observer observer;
    Session session{loop, observer};
};

TEST_F(PortSearch, FindsTheCameraThatAnswersPastASilentAndABusyPortNamingThem) {
    const std::string silent = scan.Silent("ttyUSB0");
    sim::CameraSim other(cameraAt(scan.Dev("ttyUSB1"))); // a camera another program has open
    other.Start();
    SetPortPath(9, scan.Dev("ttyUSB1"));
    TComm program;
    program.SetPort(9);
    program.Open();
    sim::CameraSim camera(cameraAt(scan.Dev("ttyACM0")));
    camera.Start();

    start();
    EXPECT_EQ(trying(), silent);
    EXPECT_EQ(observer.status[0], "Comm. Connecting: " + silent);
    tick();
    EXPECT_EQ(observer.status[0], "Comm. Connecting: " + scan.Dev("ttyUSB1"));
    const std::string busy = scan.Dev("ttyUSB1") + ": busy. Another program is using it.";
    EXPECT_EQ(observer.notes, std::vector<std::string>{busy});
    tick();
    EXPECT_EQ(trying(), scan.Dev("ttyACM0"));
    ASSERT_TRUE(loop.RunUntil([&] { return observer.linkUp; }, kPatienceMs));
    EXPECT_EQ(observer.status[0], "Comm. Connected: " + scan.Dev("ttyACM0"));
    EXPECT_TRUE(other.Received().empty()) << "the busy port was never written to";
    EXPECT_TRUE(observer.messages.empty());
    ASSERT_EQ(session.Tried().size(), 3u);
    EXPECT_EQ(session.Tried()[0].cause, silent + ": no answer to the enquiry.");
    EXPECT_EQ(session.Tried()[1].cause, busy);
    program.Close();
}

TEST_F(PortSearch, TheRememberedPortGoesFirstAndAPortThatAppearsIsTriedNext) {
    scan.Silent("ttyUSB0");
    remembered = scan.Silent("ttyUSB3");
    start();
    EXPECT_EQ(trying(), remembered);
    tick();
    EXPECT_EQ(trying(), scan.Dev("ttyUSB0"));

    sim::CameraSim camera(cameraAt(scan.Dev("ttyUSB9"))); // plugged in while searching
    camera.Start();
    tick();
    EXPECT_EQ(trying(), scan.Dev("ttyUSB9"));
    ASSERT_TRUE(loop.RunUntil([&] { return observer.linkUp; }, kPatienceMs));
    EXPECT_EQ(camera.Received().front(), std::vector<uint8_t>{ENQ});
}

TEST_F(PortSearch, TheGiveUpIsOneMessageWithEveryPortAndItsCauseAndIsHeldWhileAPortIsPicked) {
    session.SearchPorts({}); // pinned ports, as --com1 and --com2 give them
    const std::string missing = scan.Dev("ttyUSB4");
    const std::string busy = scan.Silent("ttyS1");
    SetPortPath(1, missing);
    SetPortPath(2, busy);
    TComm program;
    program.SetPort(2);
    program.Open();

    start();
    session.HoldGiveUp(true);
    for (int i = 0; i < 20; ++i)
        tick();
    EXPECT_FALSE(session.GaveUp()) << "held";
    session.HoldGiveUp(false);
    tick();
    ASSERT_TRUE(session.GaveUp());
    const std::string missingText = missing + ": no such device. Is the adapter plugged in?";
    const std::string busyText = busy + ": busy. Another program is using it.";
    EXPECT_EQ(observer.notes, (std::vector<std::string>{missingText, busyText}));
    EXPECT_EQ(observer.messages,
              std::vector<std::string>{
                  "Comm.ERR:  Serial Port not connected \n\nNo camera answered on these ports:\n"
                  "  " +
                  missingText + "\n  " + busyText +
                  "\n\nTo use another port, choose Camera > Port... while the search runs, or "
                  "start r8v5mc with --com1 PORT (a device such as /dev/ttyUSB0, or "
                  "socket://HOST:PORT, rfc2217://HOST:PORT)."});
    program.Close();
}

TEST_F(PortSearch, WithNoPortAtAllTheSearchWaitsForOneAndSaysSo) {
    start();
    EXPECT_EQ(observer.status[0], "Comm. Connecting: no serial port found");
    tick();
    EXPECT_FALSE(session.Port().IsOpen());
    sim::CameraSim camera(cameraAt(scan.Dev("ttyACM0")));
    camera.Start();
    tick();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.linkUp; }, kPatienceMs));
    EXPECT_TRUE(observer.messages.empty());
}

} // namespace
} // namespace r8
