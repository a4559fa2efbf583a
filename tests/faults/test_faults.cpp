// SPDX-License-Identifier: MIT
// Faults on the line, end to end: the simulated camera corrupts every 10th answer's CRC, puts
// noise before some answers and leaves one answer out; the session recovers through NAK and
// the time-out re-send (its ticks driven by the test) and ends with exactly what a clean line
// gives.
#include "Comm.h"
#include "CopyEngine.h"
#include "EasyPage.h"
#include "HexText.h"
#include "PollLoop.h"
#include "Session.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace r8 {
namespace {

using sim::test::TempDir;
using Bytes = std::vector<uint8_t>;
constexpr int kPatienceMs = 15000;

struct Faults {
    int corruptEvery = 0, noiseEvery = 0;
    int dropAt = 0; // the one answer left out (numbered from 1 on the camera's count), or 0
};
constexpr Faults kClean{};

sim::SimOptions CameraOn(const char* name, const Faults& f) {
    sim::SimOptions o;
    o.corruptEvery = f.corruptEvery;
    o.noiseEvery = f.noiseEvery;
    o.dropEvery = f.dropAt;
    o.linkPath = (std::filesystem::temp_directory_path() / name).string();
    return o;
}

size_t Count(const std::vector<Bytes>& units, uint8_t control) {
    size_t n = 0;
    for (const Bytes& u : units)
        n += u == Bytes{control};
    return n;
}

// What the camera has read, up to the tool's acknowledgement of its last answer handled: the
// tool writes the ACK before it goes on, the camera reads it in its own time.
std::vector<Bytes> ReceivedThroughLastAck(const sim::CameraSim& camera, int answers) {
    auto units = camera.Received();
    while (Count(units, ACK) < static_cast<size_t>(answers) &&
           camera.WaitReceived(units.size() + 1, kPatienceMs))
        units = camera.Received();
    return units;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A front end that records what a session shows.
struct Front : SessionObserver, CopyReport {
    explicit Front(int shown) : page(shown) {}
    int ActivePage() const override { return page; }
    void Message(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void PanelsEnabled(bool on) override { panels.push_back(on); }
    void AnswerArrived() override { ++answers; }
    void CopyProgress(int, int) override {}
    void CopyDone() override { ++done; }
    void CopyFailed(const CopyFailure& f) override { failures.push_back(f.text + " " + f.detail); }

    int page;
    std::vector<bool> panels;
    std::vector<std::string> messages;
    int answers = 0;
    int done = 0;
    std::vector<std::string> failures;
};

// A session on a plain poll loop against a camera with the given faults. The link timer is the
// test's: it ticks only when the test calls it.
struct Rig {
    Rig(const char* name, const Faults& f, int page)
        : faults(f), camera(CameraOn(name, f)), front(page) {
        camera.Start();
        SetPortPath(1, camera.Options().linkPath);
    }
    ~Rig() { session.Close(); }

    void Start() {
        session.Start();
        session.SendTimer().SetEnabled(false);
    }
    // Runs until done; when the camera has left out its answer, waits until the link sits
    // waiting for it (a state that lasts: nothing more comes) and ticks the time-out through.
    bool RunUntil(const std::function<bool()>& done) {
        if (faults.dropAt > 0 && !resent) {
            const auto dropped = [&] {
                return camera.Commands().size() >= static_cast<size_t>(faults.dropAt) &&
                       session.Link().LINK_STATUS == 2;
            };
            if (!loop.RunUntil([&] { return done() || dropped(); }, kPatienceMs)) return false;
            if (done()) return true; // the answer was never left out: the test fails on counts
            EXPECT_EQ(front.answers, faults.dropAt - 1);
            for (int t = 0; t <= CameraLink::kCommandTicks; ++t)
                session.SendTimerTimer();
            resent = true;
        }
        return loop.RunUntil(done, kPatienceMs);
    }

    Faults faults;
    sim::CameraSim camera;
    PollLoop loop;
    Front front;
    Session session{loop, front};
    bool resent = false;
};

// The Easy tab's page: Easy blocks 0-9 and camera register 0x0151.
struct EasyPage : Room {
    PageTable Page() const override { return kEasyPage; }
};

struct EasyLoad {
    std::vector<std::string> decoded;
    CameraState state;
    std::vector<Bytes> received;
    std::vector<std::string> messages;
};

EasyLoad LoadEasyPage(const char* name, const Faults& f) {
    EasyPage page;
    Rig rig(name, f, kEasyGroup);
    rig.session.SetRoom(kEasyGroup, &page);
    std::vector<std::string> decoded; // A1..A15 of each answer the decoders were given
    for (uint8_t group : {0x60, 0x0C})
        rig.session.OnGroup(group, kAnyItem, [&](const AnswerView& a) {
            std::string answer;
            for (int n = 1; n <= static_cast<int>(kStxAnswerPayload); ++n)
                answer += HexByte(a.A(n));
            decoded.push_back(answer);
        });
    rig.Start();
    EXPECT_TRUE(rig.RunUntil([&] { return rig.front.panels.size() == 2; }));
    EXPECT_EQ(rig.front.panels, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig.session.TransStep(), 0);
    return {decoded, rig.session.State(), ReceivedThroughLastAck(rig.camera, rig.front.answers),
            rig.front.messages};
}

TEST(LineFaults, AnEasyPageLoadShowsExactlyTheCameraValues) {
    const EasyLoad clean = LoadEasyPage("easy-clean", kClean);
    ASSERT_EQ(clean.decoded.size(), std::size(kEasyPage));
    for (size_t i = 0; i + 1 < clean.decoded.size(); ++i) {
        EXPECT_EQ(clean.decoded[i].substr(0, 6), "A060" + HexByte(static_cast<uint8_t>(i)));
    }

    // Answers 3, 6, 9 and 12 come after noise; the 7th is left out and its re-send answered
    // as the 8th; the 10th has a bad CRC and comes again after the NAK.
    const EasyLoad faulty = LoadEasyPage("easy-faulty", {10, 3, 7});
    EXPECT_EQ(faulty.decoded, clean.decoded);
    EXPECT_EQ(faulty.state.SettingTable, clean.state.SettingTable);
    EXPECT_EQ(faulty.state.ImageWidth, clean.state.ImageWidth);
    EXPECT_EQ(faulty.state.ImageHeight, clean.state.ImageHeight);
    EXPECT_EQ(faulty.state.TvIsNtsc, clean.state.TvIsNtsc);
    EXPECT_EQ(faulty.state.MarkLimits, clean.state.MarkLimits);
    EXPECT_TRUE(faulty.messages.empty());

    // Each answer frame acknowledged once, the bad one refused once, the lost request sent
    // twice.
    EXPECT_EQ(Count(faulty.received, ACK), std::size(kEasyPage));
    EXPECT_EQ(Count(faulty.received, NAK), 1u);
    EXPECT_EQ(Count(clean.received, NAK), 0u);
    const auto frames = [](const std::vector<Bytes>& units) {
        std::vector<Bytes> out;
        for (const Bytes& u : units)
            if (u.size() == kCommandFrameSize) out.push_back(u);
        return out;
    };
    std::vector<Bytes> expected = frames(clean.received);
    expected.insert(expected.begin() + 7, expected[6]);
    EXPECT_EQ(frames(faulty.received), expected);
}

struct CopyRun {
    std::string file;
    std::vector<Bytes> received;
    std::vector<std::string> failures, messages;
};

CopyRun CopyCameraToPc(const char* name, const Faults& f, const TempDir& dir) {
    Rig rig(name, f, kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    rig.Start();
    EXPECT_TRUE(rig.loop.RunUntil([&] { return rig.front.panels.size() == 2; }, kPatienceMs));

    const std::string path = dir.File(std::string(name) + ".dat");
    EXPECT_TRUE(engine.CtopOK2Click(path));
    EXPECT_TRUE(rig.RunUntil([&] { return rig.front.done + rig.front.failures.size() > 0; }));
    EXPECT_EQ(rig.front.done, 1);
    return {ReadAll(path), ReceivedThroughLastAck(rig.camera, rig.front.answers),
            rig.front.failures, rig.front.messages};
}

TEST(LineFaults, ACameraToPcCopyGivesTheSameFileAsOnACleanLine) {
    TempDir dir;
    const CopyRun clean = CopyCameraToPc("copy-clean", kClean, dir);
    ASSERT_EQ(clean.file.size(), kRecordSize * (kDataRecords + 1));

    // The page's two reads come first: the 707th answer is that of word 704.
    const CopyRun faulty = CopyCameraToPc("copy-faulty", {10, 3, 707}, dir);
    EXPECT_TRUE(faulty.failures.empty());
    EXPECT_TRUE(faulty.messages.empty());
    EXPECT_TRUE(faulty.file == clean.file) << "the files differ";
    const size_t answers = std::size(CopyEngine::kPage) + kEepromWords;
    EXPECT_EQ(Count(clean.received, ACK), answers);
    EXPECT_EQ(Count(faulty.received, ACK), answers);
    EXPECT_GE(Count(faulty.received, NAK), answers / 10);
}

} // namespace
} // namespace r8
