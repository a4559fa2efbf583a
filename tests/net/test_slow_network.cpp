// SPDX-License-Identifier: MIT
// Cameras behind a network that holds up, on loopback: a relay that keeps the camera's side
// back stands for a camera one and three seconds away (the link timer is the test's, so nothing
// waits through the delay); the window's session, r8v5mc-ctl and r8v5mc-copy find it on one
// connection. A stall mid-copy ends in a correct copy or a clear failure; a server that sends
// garbage ends in one box or a few lines; a late name server is waited for; each phase of a
// connection that fails says its own cause; the tools search a network port as the window does.
#include "CopyTool.h"
#include "CtlTool.h"
#include "NetRig.h"
#include "Relay.h"
#include "ScriptedServer.h"
#include "Ser2net.h"
#include "SimPeer.h"
#include "TcpBridge.h"
#include "TempDir.h"
#include "ToolRun.h"

#include <condition_variable>
#include <memory>
#include <netdb.h>

namespace r8::net::test {
namespace {

using sim::test::TempDir;

// Search ticks that pass before an answer comes back from a camera `ms` away each way.
int TicksAway(int ms) {
    return 2 * ms / CameraLink::kSendTimerMs;
}

using r8::test::RunOnPort;
using r8::test::ToolRun;

ToolRun Ctl(const std::string& port, const std::vector<std::string>& words,
            const std::function<void(Session&)>& onStep = {}) {
    return RunOnPort(ParseCtlArgs, RunCtlTool, port, words, onStep);
}

ToolRun Copy(const std::string& port, const std::vector<std::string>& words,
             const std::function<void(Session&)>& onStep = {}) {
    return RunOnPort(ParseCopyArgs, RunCopyTool, port, words, onStep);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A tool's search with the relay holding the camera's side: the link timer is the test's;
// once the first answer waits in the relay, `ticks` ticks of the search pass, then it goes on.
std::function<void(Session&)> HeldSearch(Relay& relay, int ticks) {
    auto released = std::make_shared<bool>(false);
    return [&relay, ticks, released](Session& s) {
        s.SendTimer().SetEnabled(false);
        if (*released || relay.Held(Relay::ToClient) == 0) return;
        for (int i = 0; i < ticks; ++i)
            s.SendTimerTimer();
        *released = true;
        relay.Release(Relay::ToClient);
    };
}

// The window's session loads the Easy page through the relay, the camera's side held for
// `ticks` ticks of the search.
std::vector<std::string> LoadEasyPageHeld(Relay& relay, const std::string& url, int ticks) {
    Rig rig(url);
    EasyPageAnswers page(rig);
    relay.Hold(Relay::ToClient);
    rig.session.Start();
    rig.session.SendTimer().SetEnabled(false);
    EXPECT_TRUE(relay.WaitHeld(Relay::ToClient, 1, kPatienceMs)) << url;
    for (int i = 0; i < ticks; ++i)
        rig.session.SendTimerTimer();
    EXPECT_FALSE(rig.session.Link().LINK_STATUS != 0) << "up before the answer came";
    relay.Release(Relay::ToClient);
    EXPECT_TRUE(rig.loop.RunUntil([&] { return rig.front.panels.size() >= 2; }, kPatienceMs))
        << url;
    EXPECT_TRUE(rig.front.messages.empty()) << url << ": " << rig.front.messages.front();
    return page.answers;
}

TEST(SlowNetwork, TheWindowFindsACameraSecondsAwayOnOneConnection) {
    sim::CameraSim camera;
    camera.Start();
    const std::vector<std::string> direct = LoadEasyPage(camera.SlavePath());
    ASSERT_EQ(direct.size(), std::size(kEasyPage));

    TempDir dir;
    const std::string program = FindSer2net();
    for (const bool throughSer2net : {false, true}) {
        if (throughSer2net && program.empty()) continue; // said by test_ser2net
        std::unique_ptr<sim::TcpBridge> bridge;
        std::unique_ptr<Ser2net> server;
        uint16_t port = 0;
        std::string scheme = "socket";
        if (throughSer2net) {
            server = std::make_unique<Ser2net>(program, camera.SlavePath(), Ser2net::Mode::Rfc2217,
                                               "9600n81", dir.File("ser2net.log"));
            ASSERT_TRUE(server->Start()) << server->Log();
            port = static_cast<uint16_t>(
                std::stoi(server->Url().substr(server->Url().rfind(':') + 1)));
            scheme = "rfc2217";
        } else {
            bridge = std::make_unique<sim::TcpBridge>(camera.SlavePath(), "127.0.0.1", 0);
            bridge->Start();
            port = bridge->Port();
        }
        for (const int ms : {1000, 3000}) {
            Relay relay(port);
            EXPECT_EQ(LoadEasyPageHeld(relay, relay.Url(scheme), TicksAway(ms)), direct)
                << scheme << ", " << ms << " ms";
            EXPECT_EQ(relay.Connections(), 1) << scheme << ", " << ms << " ms";
        }
    }
}

TEST(SlowNetwork, CtlAndCopyFindACameraSecondsAway) {
    TempDir dir;
    sim::CameraSim camera;
    camera.Start();
    const ToolRun directGet = Ctl(camera.SlavePath(), {"get", "agc", "white_balance"});
    ASSERT_EQ(directGet.code, kExitDone) << directGet.err;
    const ToolRun directCopy = Copy(camera.SlavePath(), {"read", dir.File("direct.dat")});
    ASSERT_EQ(directCopy.code, kExitDone) << directCopy.err;

    sim::TcpBridge bridge(camera.SlavePath(), "127.0.0.1", 0);
    bridge.Start();
    for (const int ms : {1000, 3000}) {
        Relay relay(bridge.Port());
        relay.Hold(Relay::ToClient);
        const ToolRun get =
            Ctl(relay.Url(), {"get", "agc", "white_balance"}, HeldSearch(relay, TicksAway(ms)));
        EXPECT_EQ(get.code, kExitDone) << ms << " ms: " << get.err;
        EXPECT_EQ(get.out, directGet.out) << ms << " ms";
        EXPECT_EQ(relay.Connections(), 1) << ms << " ms";
    }
    Relay relay(bridge.Port());
    relay.Hold(Relay::ToClient);
    const ToolRun copy =
        Copy(relay.Url(), {"read", dir.File("network.dat")}, HeldSearch(relay, TicksAway(3000)));
    EXPECT_EQ(copy.code, kExitDone) << copy.err;
    EXPECT_TRUE(ReadAll(dir.File("network.dat")) == ReadAll(dir.File("direct.dat")));
}

// The server stalls mid-copy long enough for the re-send, which waits in the network with the
// request it repeats; then both reach the camera, which answers both.
TEST(SlowNetwork, AStallMidCopyEndsInACorrectCopy) {
    TempDir dir;
    sim::CameraSim camera;
    camera.Start();
    const std::string direct = CopyCameraToPc(camera.SlavePath(), dir.File("direct.dat"));
    ASSERT_FALSE(direct.empty());

    sim::TcpBridge bridge(camera.SlavePath(), "127.0.0.1", 0);
    bridge.Start();
    Relay relay(bridge.Port());
    Rig rig(relay.Url(), kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    int answers = 0;
    rig.session.OnGroup(0x0C, kAnyItem, [&](const AnswerView&) {
        if (++answers == 100) {
            relay.Hold(Relay::ToServer); // the next request waits in the network
            relay.Hold(Relay::ToClient);
        }
    });
    ASSERT_TRUE(rig.Connect());
    const std::string path = dir.File("network.dat");
    ASSERT_TRUE(engine.CtopOK2Click(path));
    ASSERT_TRUE(rig.loop.RunUntil([&] { return answers >= 100; }, kPatienceMs)) << answers;
    ASSERT_TRUE(relay.WaitHeld(Relay::ToServer, kCommandFrameSize, kPatienceMs))
        << relay.Held(Relay::ToServer);
    for (int t = 0; t <= CameraLink::kCommandTicks; ++t)
        rig.session.SendTimerTimer(); // the first expiry: the request goes again, into the stall
    ASSERT_TRUE(relay.WaitHeld(Relay::ToServer, 2 * kCommandFrameSize, kPatienceMs));
    relay.Release(Relay::ToServer);
    relay.Release(Relay::ToClient);
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.front.done + rig.front.failures.size() > 0; },
                                  kPatienceMs));
    // The camera answers the request and its re-send: the second answer is stale and dropped,
    // so every word lands at its own address.
    EXPECT_EQ(rig.front.failures, std::vector<std::string>{});
    ASSERT_EQ(rig.front.done, 1);
    EXPECT_TRUE(ReadAll(path) == direct) << "the copy differs";
    EXPECT_TRUE(rig.front.messages.empty()) << rig.front.messages.front();
}

// What a line that sends garbage gives for each enquiry (and on each new connection): frames
// that break, half without ETX after the payload, half with a CRC that differs, between bytes
// that are no control bytes. The same on every run and in every build, and no more than that,
// so each tick of the search meets broken frames however slowly the receive side runs.
ScriptedServer::Bytes Garbage() {
    constexpr uint8_t kFiller = 0x55;
    ScriptedServer::Bytes b;
    for (uint8_t i = 0; i < 8; ++i) {
        const uint8_t a[kStxAnswerPayload] = {0xA0, 0x1A, 0x01, i};
        CommandFrame f = MakeStxFrame(a, sizeof a);
        if (i % 2 == 0)
            f[16] = f[17] = f[18] = kFiller; // no ETX: the CRC bytes fall into the filler
        else
            f[18] ^= 0xFF;
        b.insert(b.end(), f.begin(), f.end());
        b.insert(b.end(), 3, kFiller);
    }
    return b;
}

ScriptedServer::Bytes GarbageForEnquiries(const ScriptedServer::Bytes& piece) {
    return std::find(piece.begin(), piece.end(), ENQ) != piece.end() ? Garbage()
                                                                     : ScriptedServer::Bytes{};
}

TEST(SlowNetwork, AServerThatSendsGarbageGivesOneBoxOrAFewLinesAndIsSearchedAgain) {
    ScriptedServer server(Garbage(), GarbageForEnquiries, false);
    {
        Rig rig(server.Url());
        EasyRoom room;
        rig.session.SetRoom(kEasyGroup, &room);
        rig.session.Start();
        rig.session.SendTimer().SetEnabled(false);
        // Each tick's enquiry brings more garbage: a tick once it has begun to come.
        for (int tick = 0; tick < 8; ++tick) {
            const uint64_t before = rig.session.Link().Rx.BadFrames;
            ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.session.Link().Rx.BadFrames > before; },
                                          kPatienceMs))
                << "tick " << tick << ", connections " << server.Connections() << ", open "
                << rig.session.Port().IsOpen() << ", link " << int(rig.session.Link().LINK_STATUS);
            rig.session.SendTimerTimer();
        }
        EXPECT_EQ(rig.front.messages, std::vector<std::string>{"recv_chr: sr_err1"});
        EXPECT_NE(rig.front.status[3].find("keeps sending bytes that are no frames"),
                  std::string::npos)
            << rig.front.status[3];
        EXPECT_EQ(rig.session.Link().LINK_STATUS, 0) << "garbage brought the link up";
        EXPECT_GE(server.Connections(), 2);           // searched again on a new connection
        EXPECT_EQ(rig.session.Link().PortAttempt, 8); // and it still gives up on time
    }
    // The tool's link timer ticks once more garbage has come.
    int ticks = 0;
    uint64_t seen = 0;
    const ToolRun get = Ctl(server.Url(), {"get", "agc"}, [&](Session& s) {
        s.SendTimer().SetEnabled(false);
        if (s.Link().Rx.BadFrames == seen || ++ticks > 40) return;
        seen = s.Link().Rx.BadFrames;
        s.SendTimerTimer();
    });
    EXPECT_EQ(get.code, kExitNoCamera) << get.err;
    EXPECT_LE(get.Lines(), 4) << get.err;
    EXPECT_NE(get.err.find("keeps sending bytes that are no frames"), std::string::npos) << get.err;
    EXPECT_EQ(get.out, "");
}

// A name lookup the test holds and releases.
struct HeldNameServer {
    HeldNameServer() {
        auto g = gate;
        SetNameResolver([g](const std::string& host) -> NameAnswer {
            std::unique_lock lock(g->mutex);
            ++g->asked;
            g->changed.notify_all();
            g->changed.wait(lock, [&] { return g->open; });
            return host == "camera.test" ? NameAnswer{0, {"127.0.0.1"}}
                                         : NameAnswer{EAI_NONAME, {}};
        });
    }
    ~HeldNameServer() {
        Open();
        SetNameResolver({});
    }
    void Open() {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    }
    int Asked() {
        std::lock_guard lock(gate->mutex);
        return gate->asked;
    }
    bool WaitAsked(int n) {
        std::unique_lock lock(gate->mutex);
        return gate->changed.wait_for(lock, std::chrono::milliseconds(kPatienceMs),
                                      [&] { return gate->asked >= n; });
    }
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int asked = 0;
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
};

TEST(SlowNetwork, ANameServerThatAnswersAfterTwoSecondsIsWaitedFor) {
    sim::CameraSim camera;
    camera.Start();
    sim::TcpBridge bridge(camera.SlavePath(), "127.0.0.1", 0);
    bridge.Start();
    HeldNameServer names;
    Rig rig("socket://camera.test:" + std::to_string(bridge.Port()));
    EasyRoom room;
    rig.session.SetRoom(kEasyGroup, &room);
    rig.session.Start();
    rig.session.SendTimer().SetEnabled(false);
    ASSERT_TRUE(names.WaitAsked(1));
    rig.session.SendTimerTimer();
    rig.session.SendTimerTimer(); // 3 s: the name server has not answered yet
    EXPECT_EQ(names.Asked(), 1);  // the lookup was kept, not started again
    names.Open();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.front.panels.size() >= 2; }, kPatienceMs));
    EXPECT_TRUE(rig.front.messages.empty()) << rig.front.messages.front();
}

// Each phase of a connection that fails says its own cause, once, while the search goes on.
TEST(SlowNetwork, EachPhaseThatFailsSaysItsOwnCause) {
    ScriptedServer silent({}, {}, false); // accepts, never speaks Telnet
    ScriptedServer turnsAway({'P', 'o', 'r', 't', ' ', 'a', 'l', 'r', 'e',  'a', 'd',
                              'y', ' ', 'i', 'n', ' ', 'u', 's', 'e', '\r', '\n'},
                             {}, true);
    NetPhaseTimes quick;
    quick.lookup = quick.negotiation = std::chrono::milliseconds(50);
    SetNetPhaseTimes(quick);
    struct Case {
        std::string port, says;
    };
    const Case cases[] = {
        {"socket://camera.test:4001", ": the name server did not answer"},
        {"socket://nowhere.test:4001", ": name not resolved."},
        {silent.Url("rfc2217"), ": the server did not answer COM-PORT-OPTION"},
        {turnsAway.Url(), ": connection closed by the server. The server said: \"Port already in "
                          "use\"."},
    };
    for (const Case& c : cases) {
        HeldNameServer names;
        if (c.port.find("nowhere") != std::string::npos) names.Open();
        Rig rig(c.port);
        rig.session.Start();
        rig.session.SendTimer().SetEnabled(false);
        ASSERT_TRUE(rig.loop.RunUntil([&] { return !rig.front.messages.empty(); }, kPatienceMs))
            << c.port;
        rig.session.SendTimerTimer(); // the search goes on, and says it no more
        rig.loop.RunUntil([] { return false; }, 20);
        ASSERT_EQ(rig.front.messages.size(), 1u) << c.port;
        EXPECT_NE(rig.front.messages[0].find(c.port + c.says), std::string::npos)
            << rig.front.messages[0];
    }
    SetNetPhaseTimes({});
}

// The tools go on through a refused connection until the camera is there, and end a search
// that never finds one with exit 3, naming what the server said.
TEST(SlowNetwork, TheToolsSearchANetworkPortAsTheWindowDoes) {
    sim::CameraSim camera;
    camera.Start();
    uint16_t port = 0;
    {
        sim::TcpBridge probe(camera.SlavePath(), "127.0.0.1", 0);
        probe.Start();
        port = probe.Port(); // free again once the probe is gone
    }
    std::unique_ptr<sim::TcpBridge> late;
    int ticks = 0;
    const ToolRun found =
        Ctl("socket://127.0.0.1:" + std::to_string(port), {"get", "agc"}, [&](Session& s) {
            s.SendTimer().SetEnabled(false);
            auto& comm = static_cast<TComm&>(s.Port());
            if (late || !comm.DeviceGone() || ++ticks > 40) return;
            if (ticks == 3) { // refused twice: the camera's server comes up
                late = std::make_unique<sim::TcpBridge>(camera.SlavePath(), "127.0.0.1", port);
                late->Start();
            }
            s.SendTimerTimer();
        });
    EXPECT_EQ(found.code, kExitDone) << found.err;
    EXPECT_EQ(found.Lines(), 1) << found.err;
    EXPECT_NE(found.err.find(": connection refused; trying again while the search lasts"),
              std::string::npos)
        << found.err;

    ScriptedServer busy({'P', 'o', 'r', 't', ' ', 'a', 'l', 'r', 'e',  'a', 'd',
                         'y', ' ', 'i', 'n', ' ', 'u', 's', 'e', '\r', '\n'},
                        {}, true);
    ticks = 0;
    const ToolRun none = Ctl(busy.Url(), {"get", "agc"}, [&](Session& s) {
        s.SendTimer().SetEnabled(false);
        if (static_cast<TComm&>(s.Port()).DeviceGone() && ++ticks < 40) s.SendTimerTimer();
    });
    EXPECT_EQ(none.code, kExitNoCamera) << none.err;
    EXPECT_LE(none.Lines(), 2) << none.err;
    EXPECT_NE(none.err.find("The server said: \"Port already in use\""), std::string::npos)
        << none.err;
    EXPECT_GE(busy.Connections(), 10);
}

} // namespace
} // namespace r8::net::test
