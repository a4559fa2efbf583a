// SPDX-License-Identifier: MIT
// The session core with no window: a plain poll loop drives the port, the link, page loading and
// the read decoder against the simulated camera on its pseudo-terminal.
#include "Comm.h"
#include "PollLoop.h"
#include "Session.h"
#include "SimPeer.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace r8 {
namespace {

constexpr int kPatienceMs = 15000;

struct Observer : SessionObserver {
    int ActivePage() const override { return page; }
    void StatusText(int panel, const std::string& text) override { status[panel] = text; }
    void Message(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void LinkUp(bool on) override { linkUp = on; }
    void PanelsEnabled(bool on) override { panels.push_back(on); }
    void AnswerArrived() override { ++answers; }

    int page = kAdjustGroup;
    std::map<int, std::string> status;
    std::vector<std::string> messages;
    bool linkUp = false;
    std::vector<bool> panels;
    int answers = 0;
};

struct GeometryRoom : Room {
    static constexpr PageRequest kPage[] = {{0x0A, 0x01, 0, 3}, {0x0A, 0x40, 0, 3}};
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { ++handled; }
    void OnPageStart() override { ++starts; }
    int handled = 0, starts = 0;
};

TEST(SessionCore, LoadsAPageWithAPlainPollLoop) {
    sim::SimOptions o;
    o.ntsc = true;
    sim::CameraSim camera(o);
    camera.Start();
    SetPortPath(1, camera.SlavePath());

    PollLoop loop;
    Observer observer;
    Session session(loop, observer);
    GeometryRoom room;
    session.SetRoom(kAdjustGroup, &room);
    std::vector<std::string> shown;
    session.OnResolution([&](bool hi) { shown.push_back(hi ? "hi" : "lo"); });
    session.OnTvSystem([&](bool pal) { shown.push_back(pal ? "PAL" : "NTSC"); });
    uint16_t resolutionWord = 0;
    session.OnGroup(0x0A, 0x01, [&](const AnswerView& a) { resolutionWord = a.U16(4); });

    session.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.panels.size() == 2; }, kPatienceMs));

    EXPECT_TRUE(observer.linkUp);
    EXPECT_EQ(observer.panels, (std::vector<bool>{false, true}));
    EXPECT_EQ(room.starts, 1);
    EXPECT_EQ(room.handled, 2);
    EXPECT_EQ(observer.answers, 2);
    EXPECT_EQ(session.TransStep(), 0);
    EXPECT_TRUE(session.Trans_chk());
    EXPECT_EQ(shown, (std::vector<std::string>{"hi", "NTSC"}));
    const CameraState& s = session.State();
    EXPECT_EQ(s.ImageWidth, 800);
    EXPECT_EQ(s.ImageHeight, 136);
    EXPECT_EQ(s.TvIsNtsc, 1);
    EXPECT_EQ(s.SettingTable[1], resolutionWord);
    EXPECT_NE(resolutionWord & 0x4000, 0);
    EXPECT_EQ(observer.status[1].substr(0, 6), "310A40");
    EXPECT_TRUE(observer.messages.empty());
    session.Close();
}

using Units = std::vector<std::vector<uint8_t>>;

std::chrono::nanoseconds processCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// A simulated camera behind a link of its own, so that a test never picks up another test's
// pseudo-terminal that reuses the number.
sim::SimOptions linkedCamera(const char* name) {
    sim::SimOptions o;
    o.linkPath = (std::filesystem::temp_directory_path() / name).string();
    return o;
}

TEST(SessionDisconnect, HangUpDuringALoadIsReportedOnceAndNothingOfTheDeadLinkRuns) {
    const sim::SimOptions o = linkedCamera("hung-up-camera");
    sim::CameraSim camera(o);
    camera.Hold();
    camera.Start();
    SetPortPath(1, o.linkPath);

    PollLoop loop;
    Observer observer;
    Session session(loop, observer);
    GeometryRoom room;
    session.SetRoom(kAdjustGroup, &room);
    session.Start();
    ASSERT_TRUE(camera.WaitHeld(1, kPatienceMs)); // the enquiry
    camera.Release(1);
    ASSERT_TRUE(loop.RunUntil([&] { return session.TransStep() != 0 && camera.Held() == 1; },
                              kPatienceMs)); // the first page request waits for its answer

    camera.Stop(); // the line hangs up and the link goes
    ASSERT_TRUE(loop.RunUntil([&] { return observer.messages.size() == 1; }, kPatienceMs));
    EXPECT_EQ(observer.messages[0], "Comm.ERR: Camera disconnected: " + o.linkPath +
                                        " was removed. Waiting for it to come back.");
    EXPECT_EQ(observer.status[0], "Comm. Disconnected");
    EXPECT_FALSE(observer.linkUp);
    EXPECT_TRUE(session.Disconnected());
    EXPECT_FALSE(session.Port().IsOpen());
    EXPECT_FALSE(session.SendTimer().Enabled());

    // Far beyond the re-send and the link report: nothing is sent, shown or decoded.
    for (int i = 0; i < 3 * 21; ++i)
        session.SendTimerTimer();
    loop.RunOnce(0);
    EXPECT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(room.handled, 0);
    EXPECT_EQ(session.TransStep(), 0);
    EXPECT_FALSE(session.Trans_chk()); // controls send nothing while the camera is away
    session.Send({0x21, 0x1A, 0x01, 0x05});
    session.ReLoadClick();
    EXPECT_EQ(session.TransStep(), 0);

    // A bounded sanity check that the session waits for the device instead of spinning.
    const auto cpuBefore = processCpuTime();
    loop.RunOnce(300);
    EXPECT_LT(processCpuTime() - cpuBefore, std::chrono::milliseconds(50));
    EXPECT_EQ(observer.messages.size(), 1u);
}

TEST(SessionDisconnect, ARelinkedDeviceIsFoundAgainAndItsActivePageLoaded) {
    const sim::SimOptions o = linkedCamera("relinked-camera");
    sim::CameraSim camera(o);
    camera.Start();
    SetPortPath(1, o.linkPath);

    PollLoop loop;
    Observer observer;
    Session session(loop, observer);
    GeometryRoom room;
    session.SetRoom(kAdjustGroup, &room);
    session.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.panels.size() == 2; }, kPatienceMs));

    camera.Stop();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.messages.size() == 1; }, kPatienceMs));
    const size_t before = camera.Received().size();
    camera.Start(); // a new pseudo-terminal, linked at the same path
    ASSERT_TRUE(loop.RunUntil([&] { return observer.panels.size() == 4; }, kPatienceMs));

    const Units all = camera.Received();
    const Units again(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_GE(again.size(), 3u);
    EXPECT_EQ(again[0], Units::value_type{ENQ});
    EXPECT_EQ(again[1], Units::value_type{EOT});
    EXPECT_EQ(again[2].size(), kCommandFrameSize);
    EXPECT_EQ(camera.Commands().back()[1], 0x0A); // the page's last request: 31 0A 40
    EXPECT_EQ(camera.Commands().back()[2], 0x40);
    EXPECT_EQ(room.starts, 2);
    EXPECT_EQ(room.handled, 4);
    EXPECT_EQ(observer.panels, (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(observer.linkUp);
    EXPECT_FALSE(session.Disconnected());
    EXPECT_EQ(observer.status[0], "Comm. Connected: " + o.linkPath);
    EXPECT_EQ(observer.messages.size(), 1u);
    EXPECT_TRUE(session.Trans_chk());
    session.Close();
}

TEST(SessionDisconnect, ABusyDeviceIsRetriedOnABackOffUntilItIsFree) {
    const sim::SimOptions o = linkedCamera("busy-camera");
    sim::CameraSim camera(o);
    camera.Start();
    SetPortPath(1, o.linkPath);

    PollLoop loop;
    Observer observer;
    Session session(loop, observer);
    GeometryRoom room;
    session.SetRoom(kAdjustGroup, &room);
    session.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.panels.size() == 2; }, kPatienceMs));

    camera.Stop();
    ASSERT_TRUE(loop.RunUntil([&] { return observer.messages.size() == 1; }, kPatienceMs));
    camera.Start();
    TComm other; // another program takes the device the moment it is back
    other.SetPort(1);
    other.Open();

    // Each failed attempt arms the next, one interval longer, up to the longest.
    std::vector<int> intervals;
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(session.RetryTimer().Enabled());
        intervals.push_back(session.RetryTimer().Interval());
        session.RetryTimerTimer();
        loop.RunOnce(0);
        EXPECT_FALSE(session.Port().IsOpen());
    }
    EXPECT_EQ(intervals.back(), Session::kRetryMaxMs);
    EXPECT_TRUE(std::is_sorted(intervals.begin(), intervals.end()));
    EXPECT_LT(intervals.front(), intervals.back());

    other.Close(); // freed: no folder changes, only the timer can find it
    EXPECT_FALSE(session.Port().IsOpen());
    session.RetryTimerTimer();
    loop.RunOnce(0);
    EXPECT_TRUE(session.Port().IsOpen());
    EXPECT_FALSE(session.RetryTimer().Enabled());
    ASSERT_TRUE(loop.RunUntil([&] { return observer.panels.size() == 4; }, kPatienceMs));
    EXPECT_FALSE(session.Disconnected());
    EXPECT_EQ(room.handled, 4);
    EXPECT_EQ(observer.messages.size(), 1u);
    session.Close();
}

TEST(SessionSearch, EachPortsOpenFailureIsShownOnceWithItsPathAndCause) {
    const std::string missing = (std::filesystem::temp_directory_path() / "no-such-tty").string();
    sim::CameraSim camera;
    camera.Start();
    SetPortPath(1, missing);
    SetPortPath(2, camera.SlavePath());
    TComm other; // another program has port 2
    other.SetPort(2);
    other.Open();

    PollLoop loop;
    std::vector<std::string> reports; // the front end's standard report of exceptions
    loop.OnException = [&](const std::exception& e) { reports.push_back(e.what()); };
    Observer observer;
    Session session(loop, observer);
    try {
        session.Start();
        ADD_FAILURE() << "port 1 opened";
    } catch (const ECommOpenError& e) {
        reports.push_back(e.what());
    }
    EXPECT_TRUE(session.SendTimer().Enabled()); // the search goes on without port 1
    session.SendTimer().SetEnabled(false);      // the test ticks it

    for (int tick = 1; tick <= 15; ++tick) {
        const size_t shown = reports.size();
        session.SendTimerTimer();
        EXPECT_EQ(reports.size(), shown) << "tick " << tick << " waited for its report";
        loop.RunOnce(0);
    }
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "オープンエラー ErrorCode = -1\n" + missing +
                              ": no such device. Is the adapter plugged in?");
    EXPECT_EQ(reports[1], "オープンエラー ErrorCode = -1\n" + camera.SlavePath() +
                              ": busy. Another program is using it.");
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_FALSE(session.GaveUp());

    session.SendTimerTimer(); // the sixteenth: the search gives up on time
    EXPECT_EQ(observer.messages, std::vector<std::string>{"Comm.ERR:  Serial Port not connected "});
    EXPECT_TRUE(session.GaveUp());
    loop.RunOnce(0);
    EXPECT_EQ(reports.size(), 2u);
}

} // namespace
} // namespace r8
