// SPDX-License-Identifier: MIT
// The copy engine as a room of a session on a plain poll loop: against the simulated camera on
// its pseudo-terminal through the termios component, and against a scripted port where the
// camera has to misbehave.
#include "Comm.h"
#include "CopyEngine.h"
#include "FakePort.h"
#include "PollLoop.h"
#include "Session.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace r8 {
namespace {

using sim::test::TempDir;
constexpr int kPatienceMs = 15000;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The command and block frames the camera received, without control bytes.
std::vector<std::vector<uint8_t>> Frames(const sim::CameraSim& camera) {
    auto units = camera.Received();
    std::erase_if(units, [](const auto& u) { return u.size() == 1; });
    return units;
}

struct Front : SessionObserver, CopyReport {
    int ActivePage() const override { return kCopyGroup; }
    void Message(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void PanelsEnabled(bool on) override { pageLoaded = on; }
    void ResetAcknowledged() override { engine->CloseCopyFile(); }
    void CopyProgress(int position, int maximum) override { last = {position, maximum}; }
    void CopyDone() override { ++done; }
    void CopyFailed(const CopyFailure& f) override { failures.push_back(f); }
    void Resending(bool block) override { resent.push_back(block); }

    CopyEngine* engine = nullptr;
    bool pageLoaded = false;
    std::pair<int, int> last{};
    int done = 0;
    std::vector<CopyFailure> failures;
    std::vector<std::string> messages;
    std::vector<bool> resent;
};

// A session with the copy engine on the Copy page, its link up and the page loaded.
struct OnSimulator {
    sim::CameraSim camera;
    PollLoop loop;
    Front front;
    Session session{loop, front};
    CopyEngine engine{session, [this](const int32_t* table) { session.Link().SohCommand(table); },
                      front};

    explicit OnSimulator(sim::SimOptions o = {}) : camera(o) {
        camera.Start();
        SetPortPath(1, camera.SlavePath());
        SetPortPath(2, camera.SlavePath());
        front.engine = &engine;
        session.SetRoom(kCopyGroup, &engine);
        session.Start();
        EXPECT_TRUE(loop.RunUntil([&] { return front.pageLoaded; }, kPatienceMs));
    }
    ~OnSimulator() { session.Close(); }
    bool RunToEnd() {
        return loop.RunUntil([&] { return front.done + front.failures.size() > 0; }, kPatienceMs);
    }
    sim::EepromImage Eeprom() {
        sim::EepromImage image{};
        camera.WithModel([&](sim::CameraModel& m) { image = m.Eeprom(); });
        return image;
    }
};

TEST(CameraToPc, WritesTheCameraImageAfterReadingEveryWordInOrder) {
    TempDir dir;
    const std::string path = dir.File("camera.dat");
    WriteAll(path, "an earlier file");
    OnSimulator s;
    const size_t before = s.camera.Commands().size();
    ASSERT_TRUE(s.engine.CtopOK2Click(path));
    ASSERT_TRUE(s.RunToEnd());
    EXPECT_EQ(s.front.done, 1);
    EXPECT_TRUE(s.front.failures.empty());
    EXPECT_EQ(s.front.last, (std::pair{1024, 1024}));

    EXPECT_EQ(ReadAll(path), sim::SettingsText(s.Eeprom()));
    const auto commands = s.camera.Commands();
    ASSERT_EQ(commands.size() - before, 1024u);
    for (size_t k = 0; k < 1024; ++k) {
        const auto& p = commands[before + k];
        const std::array<uint8_t, 4> expect{0x31, 0x0C, static_cast<uint8_t>(k >> 8),
                                            static_cast<uint8_t>(k)};
        ASSERT_TRUE(std::equal(expect.begin(), expect.end(), p.begin())) << "word " << k;
    }
    for (size_t k = 0; k < 1024; ++k)
        ASSERT_EQ(s.engine.Image()[k], s.Eeprom()[k]) << k;
}

// An image unlike the camera's own, as the file a camera-to-PC copy would give.
std::string EditedFile(const sim::EepromImage& camera, std::vector<int>& edited) {
    WordImage words{};
    for (size_t k = 0; k < words.size(); ++k)
        words[k] = camera[k];
    for (int k : {0, 5, 0x2B, 0x3FE}) {
        words[static_cast<size_t>(k)] ^= 0x5A5A;
        edited.push_back(k);
    }
    return SettingsFileText(words.data());
}

TEST(PcToCamera, BatchAndSingleLeaveTheFileInTheEeprom) {
    for (const bool batch : {true, false}) {
        SCOPED_TRACE(batch ? "batch" : "single");
        TempDir dir;
        const std::string path = dir.File("edited.dat");
        OnSimulator s;
        // The word no file carries: a batch reads it first and gives it back unchanged.
        s.camera.WithModel([](sim::CameraModel& m) {
            m.Command({0x21, 0x0C, 0x03, 0xFF, 0x18, 0x15});
        });
        const sim::EepromImage original = s.Eeprom();
        ASSERT_EQ(original[1023], 0x1815);
        std::vector<int> edited;
        WriteAll(path, EditedFile(original, edited));
        SettingsFile file;
        ASSERT_EQ(ReadSettingsFile(path, file), "");

        const size_t before = Frames(s.camera).size();
        ASSERT_TRUE(batch ? s.engine.ptocOk2Click(path) : s.engine.ptocOkClick(path));
        ASSERT_TRUE(s.RunToEnd());
        EXPECT_EQ(s.front.done, 1);
        EXPECT_TRUE(s.front.failures.empty());
        EXPECT_TRUE(s.front.messages.empty());

        const sim::EepromImage now = s.Eeprom();
        for (int k = 0; k < kDataRecords; ++k)
            ASSERT_EQ(now[static_cast<size_t>(k)], file.words[static_cast<size_t>(k)]) << k;
        for (int k : edited)
            EXPECT_NE(now[static_cast<size_t>(k)], original[static_cast<size_t>(k)]);
        EXPECT_EQ(now[1023], 0x1815);

        // What went out: the read of word 1023 and the block, or the records; then the reset;
        // each frame once.
        auto frames = Frames(s.camera);
        frames.erase(frames.begin(), frames.begin() + static_cast<ptrdiff_t>(before));
        ASSERT_EQ(frames.size(), batch ? 3u : 1024u);
        if (batch) {
            const std::vector<uint8_t> read1023{STX, 0x31, 0x0C, 0x03, 0xFF};
            EXPECT_TRUE(std::equal(read1023.begin(), read1023.end(), frames[0].begin()));
            EXPECT_EQ(frames[1].size(), kBlockFrameSize);
            EXPECT_EQ(frames[1][1], kBlockKind2048);
            EXPECT_EQ(frames[1][2 + 2 * 5], static_cast<uint8_t>(file.words[5]));
            EXPECT_EQ(frames[1][3 + 2 * 5], static_cast<uint8_t>(file.words[5] >> 8));
            EXPECT_EQ(frames[1][2 + 2 * 1023], 0x15);
            EXPECT_EQ(frames[1][3 + 2 * 1023], 0x18);
        } else {
            for (size_t i = 0; i + 1 < frames.size(); ++i)
                ASSERT_TRUE(std::equal(file.records[i].begin(), file.records[i].end(),
                                       frames[i].begin() + 1))
                    << "record " << i;
        }
        EXPECT_EQ(frames.back()[1], 0xF1);
        // Closing again, as a second reset acknowledgement would, changes nothing.
        s.engine.CloseCopyFile();
        EXPECT_EQ(s.front.done, 1);
    }
}

TEST(PcToCamera, ABadFileSendsNothing) {
    const std::string good = SettingsFileText(WordImage{}.data());
    const struct {
        const char* what;
        std::string text; // empty: no file at all
        bool batchOnly;
    } cases[] = {
        {"missing file", "", false},
        {"short data record", good.substr(0, 32) + "210C000100000000000000000000\r\n", false},
        {"address above 1023", "210C04000000000000000000000000\r\n" + good, false},
        {"another command", good.substr(0, 64) + "211A0100000000000000000000000\r\n", false},
        {"not hexadecimal", "210C00000x00000000000000000000\r\n", false},
        {"a word missing", good.substr(32), true},
    };
    OnSimulator s;
    TempDir dir;
    for (const auto& c : cases)
        for (const bool batch : {true, false}) {
            if (c.batchOnly && !batch) continue;
            SCOPED_TRACE(std::string(c.what) + (batch ? ", batch" : ", single"));
            const std::string path = dir.File("bad.dat");
            std::remove(path.c_str());
            if (!c.text.empty()) WriteAll(path, c.text);
            s.front.failures.clear();
            const size_t before = Frames(s.camera).size();
            EXPECT_FALSE(batch ? s.engine.ptocOk2Click(path) : s.engine.ptocOkClick(path));
            ASSERT_EQ(s.front.failures.size(), 1u);
            EXPECT_EQ(s.front.failures[0].text, "File read Error occured");
            EXPECT_EQ(s.front.failures[0].caption, "File.ERR");
            EXPECT_NE(s.front.failures[0].detail.find(path), std::string::npos);
            s.loop.RunUntil([] { return false; }, 20);
            EXPECT_EQ(Frames(s.camera).size(), before);
            EXPECT_FALSE(s.engine.Running());
        }
}

// The link up on a scripted port, the Copy page loaded; the test answers for the camera.
struct OnScript {
    test::FakePort port;
    PollLoop loop;
    Front front;
    Session session{loop, front, &port};
    CopyEngine engine{session, [this](const int32_t* table) { session.Link().SohCommand(table); },
                      front};

    OnScript() {
        front.engine = &engine;
        session.SetRoom(kCopyGroup, &engine);
        session.Start();
        port.Deliver({ACK});
        Answer({0xA0, 0x0A, 0x01, 0x43, 0x20});
        Answer({0xA0, 0x0A, 0x40, 0x01, 0x39});
        EXPECT_TRUE(front.pageLoaded);
    }
    void Answer(std::initializer_list<uint8_t> a) {
        const std::vector<uint8_t> payload(a);
        const CommandFrame f = MakeStxFrame(payload.data(), payload.size());
        std::vector<uint8_t> bytes{ACK};
        bytes.insert(bytes.end(), f.begin(), f.end());
        bytes.push_back(0xFF);
        port.Deliver(bytes);
    }
};

TEST(CameraToPc, AnErrorAnswerEndsTheCopyWithoutAFile) {
    const struct {
        const char* what;
        std::vector<uint8_t> answer; // to the read of word 1
    } cases[] = {
        {"an error", {0xA2, 0x0C, 0x00, 0x01}},
        {"an error naming another word", {0xA2, 0x0C, 0x00, 0x02}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.File("camera.dat");
        WriteAll(path, "an earlier file");
        OnScript s;
        ASSERT_TRUE(s.engine.CtopOK2Click(path));
        s.Answer({0xA0, 0x0C, 0x00, 0x00, 0xBE, 0xEF});
        const CommandFrame f = MakeStxFrame(c.answer.data(), c.answer.size());
        std::vector<uint8_t> bytes{ACK};
        bytes.insert(bytes.end(), f.begin(), f.end());
        s.port.ClearWritten();
        s.port.Deliver(bytes);
        ASSERT_EQ(s.front.failures.size(), 1u);
        EXPECT_EQ(s.front.failures[0].caption, "ERR");
        EXPECT_EQ(s.front.done, 0);
        EXPECT_FALSE(s.engine.Running());
        EXPECT_EQ(s.port.written, std::vector<uint8_t>{ACK}) << "no further read";
        EXPECT_EQ(ReadAll(path), "an earlier file");
        const auto entries = std::distance(std::filesystem::directory_iterator(dir.File("")),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(entries, 1) << "no temporary file left";
    }
}

// Another group, or a late answer to another word (the camera answered a read and its
// re-send): stale, and the read of word 0 goes on waiting for its own answer.
TEST(CameraToPc, AnAnswerForAnotherGroupOrWordIsStaleAndTheReadGoesOnWaiting) {
    for (const std::vector<uint8_t>& stale :
         {std::vector<uint8_t>{0xA0, 0x0A, 0x00, 0x01, 0x12, 0x34},
          std::vector<uint8_t>{0xA0, 0x0C, 0x00, 0x01, 0x12, 0x34},
          std::vector<uint8_t>{0xA0, 0x0C, 0x04, 0x00, 0x12, 0x34}}) {
        SCOPED_TRACE(static_cast<int>(stale[1] << 16 | stale[2] << 8 | stale[3]));
        TempDir dir;
        OnScript s;
        ASSERT_TRUE(s.engine.CtopOK2Click(dir.File("camera.dat")));
        s.port.ClearWritten();
        const CommandFrame f = MakeStxFrame(stale.data(), stale.size());
        std::vector<uint8_t> bytes{ACK};
        bytes.insert(bytes.end(), f.begin(), f.end());
        s.port.Deliver(bytes);
        EXPECT_TRUE(s.front.failures.empty());
        EXPECT_TRUE(s.engine.Running());
        EXPECT_EQ(s.port.written, std::vector<uint8_t>{ACK}) << "acknowledged, nothing else sent";
        s.Answer({0xA0, 0x0C, 0x00, 0x00, 0xBE, 0xEF}); // the answer to the read of word 0
        EXPECT_EQ(s.session.State().SettingTable[0], 0xBEEF);
    }
}

TEST(CameraToPc, AFileThatCannotBeWrittenIsReportedBeforeTheFirstRead) {
    OnScript s;
    s.port.ClearWritten();
    EXPECT_FALSE(s.engine.CtopOK2Click("/nonexistent-folder/camera.dat"));
    ASSERT_EQ(s.front.failures.size(), 1u);
    EXPECT_EQ(s.front.failures[0].text, "File write Error occured");
    EXPECT_EQ(s.front.failures[0].caption, "File.ERR");
    EXPECT_EQ(s.front.done, 0);
    EXPECT_TRUE(s.port.written.empty());
    EXPECT_FALSE(s.engine.Running());
}

// The second time-out ends a running transfer: no file, no temporary file, and a write says
// that the camera may hold part of the file.
TEST(CopyEngineLinkLost, TheTransferEndsAndSaysWhatIsLeft) {
    for (const CopyMode mode : {kCameraToPc, kPcToCameraSingle, kPcToCameraBatch}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        const std::string path = dir.File("file.dat");
        WriteAll(path, SettingsFileText(WordImage{}.data()));
        OnScript s;
        const bool started = mode == kCameraToPc         ? s.engine.CtopOK2Click(path)
                             : mode == kPcToCameraSingle ? s.engine.ptocOkClick(path)
                                                         : s.engine.ptocOk2Click(path);
        ASSERT_TRUE(started);
        if (mode == kPcToCameraBatch) s.Answer({0xA0, 0x0C, 0x03, 0xFF, 0x18, 0x15});
        if (mode == kPcToCameraSingle) s.Answer({0xA0, 0x0C, 0x00, 0x00});
        ASSERT_TRUE(s.front.failures.empty());
        for (int tick = 0; tick < 400 && s.front.failures.empty(); ++tick)
            s.session.SendTimerTimer();
        ASSERT_EQ(s.front.failures.size(), 1u);
        const CopyFailure& f = s.front.failures[0];
        EXPECT_TRUE(f.linkLost);
        EXPECT_EQ(f.caption, "Comm.ERR");
        EXPECT_EQ(f.detail.find("may hold part of the file") != std::string::npos,
                  mode != kCameraToPc)
            << f.detail;
        EXPECT_FALSE(s.engine.Running());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")),
                                std::filesystem::directory_iterator()),
                  1)
            << "no temporary file left";
    }
}

// A lost answer to the block: the block itself goes again, not a header over the last command.
TEST(PcToCamera, ABlockWhoseAnswerIsLostIsSentAgainWhole) {
    TempDir dir;
    const std::string path = dir.File("file.dat");
    sim::SimOptions o;
    o.dropEvery = 4; // the two page reads, the read of word 1023, then the block's answer
    OnSimulator s(o);
    WriteAll(path, sim::SettingsText(s.Eeprom()));
    const size_t before = Frames(s.camera).size();
    ASSERT_TRUE(s.engine.ptocOk2Click(path));
    // The camera took the block (its ACK is in) and its answer is lost.
    ASSERT_TRUE(s.loop.RunUntil(
        [&] { return s.session.Link().SendFrame[0] == SOH && s.session.Link().LINK_STATUS == 2; },
        kPatienceMs));
    EXPECT_LT(s.front.last.first, kEepromWords) << "the block is not through before its answer";
    for (int tick = 0; tick <= CameraLink::kBlockTicks; ++tick)
        s.session.SendTimerTimer();
    ASSERT_TRUE(s.RunToEnd());
    EXPECT_EQ(s.front.done, 1);
    EXPECT_TRUE(s.front.failures.empty());
    EXPECT_EQ(s.front.resent, std::vector<bool>{true});
    auto frames = Frames(s.camera);
    frames.erase(frames.begin(), frames.begin() + static_cast<ptrdiff_t>(before));
    ASSERT_EQ(frames.size(), 4u); // read of word 1023, block, block, reset
    EXPECT_EQ(frames[1].size(), kBlockFrameSize);
    EXPECT_EQ(frames[2], frames[1]);
    EXPECT_EQ(frames[3][1], 0xF1);
}

} // namespace
} // namespace r8
