// The session core with no window: a plain poll loop drives the port, the link, page loading and
// the read decoder against the simulated camera on its pseudo-terminal.
#include "Comm.h"
#include "PollLoop.h"
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

} // namespace
} // namespace r8
