// SPDX-License-Identifier: MIT
// The network port against the simulated camera on TCP (r8v5mc-sim --listen, in process):
// pages load as on the terminal, each port that refuses is shown once with its cause while the
// port search goes on, a Telnet server that refuses COM-PORT-OPTION is an error that says so,
// and a lost connection is shown once and connected again on the back-off timer when the
// camera is back.
#include "Loopback.h"
#include "NetRig.h"
#include "SimPeer.h"
#include "TcpBridge.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r8::net::test {
namespace {

// A loopback port that refuses connections: bound, never listening, kept for the test.
struct RefusingPort {
    RefusingPort() : fd(BindLoopback(port, 0)) {}
    ~RefusingPort() { ::close(fd); }
    uint16_t port = 0;
    int fd;
};

TEST(NetPort, TheEasyPageLoadsOverTcpAsOnTheTerminal) {
    sim::CameraSim camera;
    camera.Start();
    const std::vector<std::string> direct = LoadEasyPage(camera.SlavePath());
    ASSERT_EQ(direct.size(), std::size(kEasyPage));
    {
        sim::TcpBridge bridge(camera.SlavePath(), "127.0.0.1", 0);
        bridge.Start();
        EXPECT_EQ(LoadEasyPage(bridge.Url()), direct);
    } // gives the terminal back

    sim::TcpBridge bridge6(camera.SlavePath(), "::1", 0);
    try {
        bridge6.Start();
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    EXPECT_EQ(bridge6.Url().rfind("socket://[::1]:", 0), 0u);
    EXPECT_EQ(LoadEasyPage(bridge6.Url()), direct);
}

TEST(NetPort, EachRefusingPortOfTheSearchIsShownOnceWithItsCause) {
    const RefusingPort refusing1, refusing2;
    const std::string name1 = "socket://127.0.0.1:" + std::to_string(refusing1.port);
    const std::string name2 = "rfc2217://127.0.0.1:" + std::to_string(refusing2.port);
    Rig rig(name1);
    SetPortPath(2, name2);
    rig.session.Start(); // an open that only starts connecting: nothing thrown
    rig.session.SendTimer().SetEnabled(false);
    auto& comm = static_cast<TComm&>(rig.session.Port());
    // Port 1 for the first four attempts, then port 2 for four, then port 1 again.
    std::vector<uint8_t> opened;
    for (int tick = 0; tick < 10; ++tick) {
        ASSERT_TRUE(rig.loop.RunUntil([&] { return comm.DeviceGone(); }, kPatienceMs));
        rig.loop.RunUntil([] { return false; }, 20); // room for a wrong second report
        opened.push_back(comm.Port());
        rig.session.SendTimerTimer(); // the search closes and opens the next port
    }
    EXPECT_EQ(opened, (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 2, 1, 1}));
    ASSERT_EQ(rig.front.messages.size(), 2u);
    EXPECT_NE(rig.front.messages[0].find(name1 + ": connection refused."), std::string::npos)
        << rig.front.messages[0];
    EXPECT_NE(rig.front.messages[1].find(name2 + ": connection refused."), std::string::npos)
        << rig.front.messages[1];
}

// A Telnet server that will not do COM-PORT-OPTION: it answers the client's offer with DONT.
TEST(NetPort, AServerThatRefusesComPortOptionIsAnErrorThatSaysSo) {
    uint16_t port = 0;
    const int server = BindLoopback(port, 1, SOCK_NONBLOCK);
    ASSERT_GE(server, 0);
    const std::string name = "rfc2217://127.0.0.1:" + std::to_string(port);

    Rig rig(name);
    rig.session.Start();
    rig.session.SendTimer().SetEnabled(false);
    int client = -1;
    rig.loop.Watch(server, [&] {
        if (client < 0) client = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    });
    ASSERT_TRUE(rig.loop.RunUntil([&] { return client >= 0; }, kPatienceMs));
    uint8_t offer[3] = {};
    ASSERT_EQ(::recv(client, offer, sizeof offer, MSG_WAITALL), 3);
    EXPECT_EQ(std::vector<uint8_t>(offer, offer + 3), (std::vector<uint8_t>{255, 251, 44}));
    const uint8_t refusal[] = {255, 254, 44}; // IAC DONT COM-PORT-OPTION
    ASSERT_EQ(::send(client, refusal, sizeof refusal, MSG_NOSIGNAL), 3);
    ASSERT_TRUE(rig.loop.RunUntil([&] { return !rig.front.messages.empty(); }, kPatienceMs));
    EXPECT_NE(rig.front.messages[0].find(name + ": the server refused COM-PORT-OPTION"),
              std::string::npos)
        << rig.front.messages[0];
    ::close(client);
    ::close(server);
}

TEST(NetPort, ALostConnectionIsShownOnceAndConnectedAgainWhenTheCameraIsBack) {
    sim::CameraSim camera;
    camera.Start();
    auto bridge = std::make_unique<sim::TcpBridge>(camera.SlavePath(), "127.0.0.1", 0);
    bridge->Start();
    const uint16_t port = bridge->Port();
    Rig rig(bridge->Url());
    EasyRoom room;
    rig.session.SetRoom(kEasyGroup, &room);
    ASSERT_TRUE(rig.Connect());

    bridge.reset(); // the camera's end of the connection closes, and nobody listens
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.session.RetryTimer().Enabled(); }, kPatienceMs));
    ASSERT_EQ(rig.front.messages.size(), 1u);
    // Closed, or reset when the camera's last bytes were still unread there: either is said.
    const std::string& shown = rig.front.messages[0];
    EXPECT_EQ(shown.rfind("Comm.ERR: Camera disconnected: socket://127.0.0.1:" +
                              std::to_string(port) + ": connection ",
                          0),
              0u)
        << shown;
    EXPECT_TRUE(shown.ends_with(" Connecting again until it answers.")) << shown;
    EXPECT_TRUE(rig.session.Disconnected());

    // Refused again: no second message, the next try waits longer.
    const int firstWait = rig.session.RetryTimer().Interval();
    rig.session.RetryTimerTimer();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.session.RetryTimer().Enabled(); }, kPatienceMs));
    EXPECT_GT(rig.session.RetryTimer().Interval(), firstWait);

    sim::TcpBridge back(camera.SlavePath(), "127.0.0.1", port);
    back.Start();
    rig.session.RetryTimerTimer();
    ASSERT_TRUE(rig.loop.RunUntil(
        [&] { return !rig.session.Disconnected() && rig.front.panels.back(); }, kPatienceMs));
    EXPECT_EQ(rig.front.messages.size(), 1u);
}

} // namespace
} // namespace r8::net::test
