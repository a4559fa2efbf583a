// SPDX-License-Identifier: MIT
// r8v5mc-ctl against the simulated camera on a pseudo-terminal, through the real termios
// component: every catalogued setting set and read back, values refused before anything is
// sent, a profile carried from one camera to another, a set that stops half-way, and ctl on a
// camera whose last copy was killed mid-exchange.
#include "Catalogue.h"
#include "CtlTool.h"
#include "EepromImage.h"
#include "HexText.h"
#include "Session.h"
#include "SimPeer.h"
#include "Spawn.h"
#include "TempDir.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace r8 {
namespace {

using sim::CameraSim;

using Result = test::ToolRun;

// Runs r8v5mc-ctl in this process on the camera's terminal.
Result Ctl(CameraSim& camera, const std::vector<std::string>& words,
           const std::function<void(Session&)>& onStep = {}) {
    return test::RunOnPort(ParseCtlArgs, RunCtlTool, camera.SlavePath(), words, onStep);
}

// A strict JSON reader for the shape checks: true when text is one JSON value (and a newline)
// whose objects never repeat a key; top gets the top-level object's keys.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : t_(text) {}
    bool Whole(std::vector<std::string>& top) {
        top_ = &top;
        if (!value(0)) return false;
        return i_ + 1 == t_.size() && t_[i_] == '\n';
    }

private:
    void ws() {
        while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n'))
            ++i_;
    }
    bool str(std::string* out) {
        if (i_ >= t_.size() || t_[i_] != '"') return false;
        std::string r;
        for (++i_; i_ < t_.size() && t_[i_] != '"'; ++i_) {
            if (static_cast<unsigned char>(t_[i_]) < 0x20) return false;
            if (t_[i_] == '\\') ++i_;
            r += t_[i_];
        }
        if (i_++ >= t_.size()) return false;
        if (out) *out = r;
        return true;
    }
    bool value(int depth) {
        ws();
        if (i_ >= t_.size()) return false;
        const char c = t_[i_];
        if (c == '"') return str(nullptr);
        if (c == '{' || c == '[') {
            ++i_;
            std::vector<std::string> keys;
            ws();
            if (i_ < t_.size() && t_[i_] == (c == '{' ? '}' : ']')) return ++i_, true;
            for (;;) {
                ws();
                if (c == '{') {
                    std::string k;
                    if (!str(&k)) return false;
                    if (std::find(keys.begin(), keys.end(), k) != keys.end()) return false;
                    keys.push_back(k);
                    ws();
                    if (i_ >= t_.size() || t_[i_++] != ':') return false;
                }
                if (!value(depth + 1)) return false;
                ws();
                if (i_ >= t_.size()) return false;
                if (t_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (t_[i_++] != (c == '{' ? '}' : ']')) return false;
                if (depth == 0 && c == '{') *top_ = keys;
                return true;
            }
        }
        for (const char* word : {"true", "false", "null"})
            if (t_.compare(i_, std::strlen(word), word) == 0) return i_ += std::strlen(word), true;
        const size_t at = i_;
        if (t_[i_] == '-') ++i_;
        while (i_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[i_])))
            ++i_;
        return i_ > at;
    }
    const std::string& t_;
    size_t i_ = 0;
    std::vector<std::string>* top_ = nullptr;
};

size_t Writes(const CameraSim& camera) {
    size_t n = 0;
    for (const auto& p : camera.Commands())
        n += p[0] == 0x21 ? 1 : 0;
    return n;
}

class CtlTest : public ::testing::Test {
protected:
    void SetUp() override { camera.Start(); }
    void TearDown() override { camera.Stop(); }

    // The range to walk: the catalogue's, or the one the camera reports for the setting.
    std::pair<int, int> RangeOf(const SettingEntry& s) {
        if (s.cameraRange.key.size == 0) return {s.min, s.max};
        std::string hex = "31";
        for (int i = 0; i < s.cameraRange.key.size; ++i)
            hex += HexByte(s.cameraRange.key.bytes[static_cast<size_t>(i)]);
        const Result r = Ctl(camera, {"raw", hex});
        EXPECT_EQ(r.code, kExitDone) << r.err;
        auto word = [&r](int at) { // A(at):A(at+1) of "A0 1C 00 ..."
            return static_cast<int16_t>(
                ParseHex(r.out.substr(3 * (at - 1), 2) + r.out.substr(3 * at, 2)));
        };
        return {word(s.cameraRange.minAt), word(s.cameraRange.maxAt)};
    }

    // A text just outside the setting's range or choice list.
    static std::string Beyond(const SettingEntry& s, int hi) {
        switch (s.kind) {
        case SettingKind::Choice:
            return "none of these";
        case SettingKind::OnOff:
            return "2";
        case SettingKind::HexWord:
            if (s.width == 1) return hi < 0xFF ? FormatValue(s, hi + 1) : "100";
            return hi < (s.isSigned ? 0x7FFF : 0xFFFF) ? FormatValue(s, hi + 1) : "10000";
        case SettingKind::Range:
            break;
        }
        return std::to_string(hi + 1);
    }

    CameraSim camera;
};

// For every entry: minimum, maximum and a middle value are set, each read back by the set and
// then by get; one value beyond the range (or the choice list) is refused with nothing sent.
TEST_F(CtlTest, WalksTheWholeCatalogue) {
    for (const SettingEntry* s : Catalogue()) {
        const std::string name(s->name);
        SCOPED_TRACE(name);
        const auto [lo, hi] = RangeOf(*s);
        for (int v : {lo, hi, lo + (hi - lo) / 2}) {
            const std::string text = FormatValue(*s, v);
            const std::string line = name + "=" + text + "\n";
            const Result set = Ctl(camera, {"set", name + "=" + text});
            ASSERT_EQ(set.code, kExitDone) << set.err;
            EXPECT_EQ(set.out, line);
            const Result get = Ctl(camera, {"get", name});
            ASSERT_EQ(get.code, kExitDone) << get.err;
            EXPECT_EQ(get.out, line);
        }
        const size_t before = Writes(camera);
        const std::string beyond = Beyond(*s, hi);
        const Result bad = Ctl(camera, {"set", "agc=3", name + "=" + beyond});
        EXPECT_EQ(bad.code, kExitUsage) << name << "=" << beyond;
        EXPECT_NE(bad.err.find("nothing"), std::string::npos) << bad.err;
        EXPECT_EQ(Writes(camera), before);
    }
}

// dump, then apply onto a second camera: every setting of the second equals the first.
TEST_F(CtlTest, DumpAppliedToAnotherCameraMakesItsSettingsEqual) {
    using sim::Setting;
    camera.WithModel([](sim::CameraModel& m) {
        m.Set(Setting::Agc, 2);
        m.Set(Setting::WbMode, 1);
        m.Set(Setting::Phase, -100);
        m.Set(Setting::Blc, 1);
        m.Set(Setting::AesFix, 6);
        m.Set(Setting::HRev, 1);
        m.Set(Setting::IrLevelExt, 17);
        m.Set(Setting::TitlePos, 1);
    });
    const Result dump = Ctl(camera, {"dump"});
    ASSERT_EQ(dump.code, kExitDone) << dump.err;
    EXPECT_NE(dump.out.find("phase_level=FF9C\n"), std::string::npos);
    EXPECT_NE(dump.out.find("shutter_fixed=1/4000\n"), std::string::npos);

    sim::test::TempDir dir;
    const std::string profile = dir.File("camera.profile");
    std::ofstream(profile) << "# from the first camera\n\n" << dump.out;
    CameraSim second;
    second.Start();
    const Result before = Ctl(second, {"dump"});
    EXPECT_NE(before.out, dump.out);
    const Result apply = Ctl(second, {"apply", profile});
    EXPECT_EQ(apply.code, kExitDone) << apply.err;
    const Result after = Ctl(second, {"dump"});
    EXPECT_EQ(after.out, dump.out);
    second.Stop();
}

// The camera reads back another value than the one sent: the set stops there, prints what
// holds and names what was sent and what was not.
// In text and with --json (one error object that carries what was done).
TEST_F(CtlTest, SetThatStopsHalfWaySaysWhatWasSent) {
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json);
        camera.Hold();
        bool changed = false;
        std::vector<std::string> words{"set", "agc=3", "sens=5", "gamma=1.0"};
        if (json) words.push_back("--json");
        const size_t before = camera.Commands().size();
        const Result r = Ctl(camera, words, [&](Session&) {
            if (camera.Held() == 0) return;
            const auto commands = camera.Commands();
            if (!changed && commands.size() > before && commands.back()[0] == 0x21 &&
                commands.back()[1] == 0x1A && commands.back()[2] == 0x02) {
                // The sens write has been carried out; its read will find another value.
                camera.WithModel([](sim::CameraModel& m) { m.Set(sim::Setting::Sens, 7); });
                changed = true;
            }
            camera.Release(camera.Held());
        });
        camera.Resume();
        EXPECT_EQ(r.code, kExitCamera);
        EXPECT_EQ(r.out, json ? "{\"error\": {\"kind\": \"camera\", \"message\": \"sens=5: the "
                                "camera reads back 7\"}, \"confirmed\": {\"agc\": 3}, "
                                "\"unconfirmed\": [\"sens\"], \"not_sent\": [\"gamma\"]}\n"
                              : "agc=3\n");
        EXPECT_NE(r.err.find("sens=5: the camera reads back 7"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("sent and read back: agc; sent, not confirmed: sens; not sent: gamma"),
                  std::string::npos)
            << r.err;
        for (const auto& p : camera.Commands())
            EXPECT_FALSE(p[0] == 0x21 && p[1] == 0x59) << "gamma was sent";
    }
}

// Profiles and arguments that are refused before the port is touched; raw frames both ways.
TEST_F(CtlTest, RefusedInputSendsNothingAndRawShowsTheAnswer) {
    sim::test::TempDir dir;
    const std::string profile = dir.File("bad.profile");
    std::ofstream(profile) << "agc=2\n# comment\nwhite_balance=grey\n";
    const Result file = Ctl(camera, {"apply", profile});
    EXPECT_EQ(file.code, kExitUsage);
    EXPECT_NE(file.err.find("bad.profile:3: \"grey\" is not a value of white_balance"),
              std::string::npos)
        << file.err;
    // Only a regular file is a profile: an endless device and a pipe are refused at once.
    const std::string fifo = dir.File("profile.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/zero"), fifo, dir.File("")}) {
        const Result r = Ctl(camera, {"apply", path});
        EXPECT_EQ(r.code, kExitUsage) << path;
        EXPECT_NE(r.err.find(", not a profile"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Ctl(camera, {"get", "agc", "nonsense"}).code, kExitUsage);
    EXPECT_EQ(Ctl(camera, {"set", "agc"}).code, kExitUsage);
    EXPECT_EQ(Ctl(camera, {"list", "--page", "nowhere"}).code, kExitUsage);
    EXPECT_EQ(Ctl(camera, {"raw", "31", "1"}).code, kExitUsage);
    EXPECT_TRUE(camera.Commands().empty());

    struct Case {
        std::vector<std::string> words;
        int code;
        std::string out;
    };
    const Case raws[] = {
        {{"raw", "31", "1A", "01"}, kExitDone, "A0 1A 01 04 00 00 00 00 00 00 00 00 00 00 00\n"},
        {{"raw", "311A01", "--json"},
         kExitDone,
         "{\"command\": \"311A01\", \"answer\": \"A01A01040000000000000000000000\"}\n"},
        {{"raw", "21 20 00"}, kExitDone, "ACK (no answer frame)\n"},
        {{"raw", "31", "99"}, kExitCamera, "A1 99 00 00 00 00 00 00 00 00 00 00 00 00 00\n"},
    };
    for (const Case& c : raws) {
        const Result r = Ctl(camera, c.words);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    const Result json = Ctl(camera, {"get", "agc", "white_balance", "h_rev", "--json"});
    EXPECT_EQ(json.out, "{\"agc\": 4, \"white_balance\": \"ATW\", \"h_rev\": false}\n");
}

// --json: every command prints one object with unique keys, a failed read is null, and an
// error is {"error": {"kind", "message"}} on stdout with the exit code of the text mode.
TEST_F(CtlTest, JsonIsOneObjectPerCommandAndErrorsAreObjectsToo) {
    sim::test::TempDir dir;
    const std::string profile = dir.File("p.txt");
    std::ofstream(profile) << "agc=3\n";
    struct Case {
        std::vector<std::string> words;
        int code;
        std::string firstKey; // the top-level object's first key
        std::string has;      // a part of the output
    };
    const Case cases[] = {
        {{"list", "--page", "line"}, kExitDone, "settings", "\"iris_bias\""},
        {{"get", "agc", "agc"}, kExitDone, "agc", "{\"agc\": 4}"},
        {{"dump", "--page", "line"}, kExitDone, "iris_bias", ""},
        {{"set", "agc=2", "agc=5"}, kExitDone, "agc", "{\"agc\": 5}"},
        {{"apply", profile}, kExitDone, "agc", "{\"agc\": 3}"},
        {{"set", "iris_bias=40"}, kExitDone, "iris_bias", "{\"iris_bias\": \"40\"}"},
        {{"raw", "31", "1A", "01"}, kExitDone, "command", ""},
        {{"raw", "21", "20", "00"}, kExitDone, "command", "\"answer\": null"},
        {{"get", "nonsense"}, kExitUsage, "error", "\"kind\": \"value\""},
        {{"set", "agc=99"}, kExitUsage, "error", "\"kind\": \"value\""},
        {{"apply", dir.File("missing.txt")}, kExitUsage, "error", "\"kind\": \"file\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        words.push_back("--json");
        SCOPED_TRACE(words[0] + " " + words[1]);
        const Result r = Ctl(camera, words);
        EXPECT_EQ(r.code, c.code) << r.err;
        std::vector<std::string> keys;
        EXPECT_TRUE(JsonCheck(r.out).Whole(keys)) << r.out;
        ASSERT_FALSE(keys.empty()) << r.out;
        EXPECT_EQ(keys[0], c.firstKey) << r.out;
        EXPECT_NE(r.out.find(c.has), std::string::npos) << r.out;
    }
    // iris_bias is hexadecimal as in the window: "40" is the byte 40.
    bool sent40 = false;
    for (const auto& p : camera.Commands())
        sent40 = sent40 || (p[0] == 0x21 && p[1] == 0x53 && p[2] == 0x40);
    EXPECT_TRUE(sent40);
    // A port that cannot be used.
    const CtlArgs port = ParseCtlArgs({"--port", dir.File("none"), "--json", "get", "agc"});
    const Result r = test::CaptureTool([&](const ToolStreams& io) { return RunCtlTool(port, io); });
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.out.find("{\"error\": {\"kind\": \"port\""), std::string::npos);
}

// r8v5mc-copy killed in the middle of an exchange, then r8v5mc-ctl on the same camera: ctl gets
// the answer to its own command, never what the camera still had to say to the dead copy. The
// camera holds its replies, so each kill moment is a state of the line that the test sets up
// exactly: what the camera has received and how much of its reply it has let out.
constexpr int kPatienceMs = 15000;

pid_t SpawnCopy(const sim::test::TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), R8_COPY_EXE);
    pid_t pid = -1;
    EXPECT_EQ(test::SpawnProgram(args, dir.File("copy.out"), dir.File("copy.err"), pid), 0);
    return pid;
}

// What the camera has let out of its reply to the dead copy's last command when the copy dies.
enum class Out { Nothing, Ack, AckAndHalfTheAnswer, All };

TEST(AfterAKilledCopy, CtlGetsTheAnswerToItsOwnCommand) {
    // The start: ENQ and the Copy page's two reads; then the copy's own commands.
    constexpr size_t kStartUnits = 3;
    struct Case {
        const char* moment;
        std::vector<std::string> copy; // r8v5mc-copy's command
        size_t answered;               // its commands answered in full before the kill
        Out out;
        std::vector<std::string> ctl;
    } const cases[] = {
        // The read of word 0046 has reached the camera, its reply has not left.
        {"right after a command went out",
         {"verify", "image.dat"},
         0x46,
         Out::Nothing,
         {"raw", "31", "0C", "03", "FF"}},
        // The ACK is out, the answer frame is due: the copy waits for the answer.
        {"between the ACK and the answer",
         {"verify", "image.dat"},
         0x46,
         Out::Ack,
         {"raw", "31", "0C", "03", "FF"}},
        {"mid-answer",
         {"read", "new.dat"},
         0x46,
         Out::AckAndHalfTheAnswer,
         {"raw", "31", "0C", "03", "FF"}},
        {"mid-answer, then get",
         {"read", "new.dat"},
         0x10,
         Out::AckAndHalfTheAnswer,
         {"get", "agc"}},
        // The whole answer is on the line; the copy never acknowledged it, nor sent the next.
        {"between exchanges",
         {"verify", "image.dat"},
         0x46,
         Out::All,
         {"raw", "31", "0C", "03", "FF"}},
        // A batch write: word 03FF read, the settings block taken and acknowledged, its answer
        // due (its answer carries the words the camera took, A2 the block's kind).
        {"during a block", {"write", "image.dat"}, 1, Out::Ack, {"raw", "31", "0C", "03", "FF"}},
        {"during a block, then get", {"write", "image.dat"}, 1, Out::Nothing, {"get", "agc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moment);
        sim::test::TempDir dir;
        std::ofstream(dir.File("image.dat"), std::ios::binary)
            << sim::SettingsText(sim::FactoryEeprom({}));
        CameraSim camera;
        camera.Start();
        camera.Hold();
        std::vector<std::string> args{"--port", camera.SlavePath()};
        for (const std::string& w : c.copy)
            args.push_back(w == "image.dat" || w == "new.dat" ? dir.File(w) : w);
        const pid_t copy = SpawnCopy(dir, args);
        ASSERT_GT(copy, 0);
        // One unit at a time: its command in (its reply held), then its reply out.
        for (size_t unit = 0; unit < kStartUnits + c.answered; ++unit) {
            ASSERT_TRUE(camera.WaitHeld(1, kPatienceMs)) << "unit " << unit;
            camera.Release(1);
        }
        ASSERT_TRUE(camera.WaitHeld(1, kPatienceMs));
        const auto commands = camera.Commands();
        const size_t sentBefore = camera.Sent();
        size_t bytes = 0;
        if (c.out == Out::Ack) bytes = 1;
        if (c.out == Out::AckAndHalfTheAnswer) bytes = 1 + kCommandFrameSize / 2;
        if (bytes > 0) {
            camera.ReleaseBytes(bytes);
            ASSERT_TRUE(camera.WaitSent(sentBefore + bytes, kPatienceMs));
        }
        ASSERT_EQ(kill(copy, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(copy, &status, 0), copy);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the copy was still running when it was killed";
        if (c.out == Out::All) {
            // After the kill: nobody reads it.
            camera.Release(1);
            ASSERT_TRUE(camera.WaitSent(sentBefore + 1 + kCommandFrameSize + 1, kPatienceMs));
        }
        const std::vector<uint8_t> last(commands.back().begin(), commands.back().end());
        if (c.copy[0] == "write") {
            EXPECT_TRUE(camera.Received().back().size() == kBlockFrameSize) << "the block is out";
        } else {
            EXPECT_EQ(last[0], 0x31);
            EXPECT_EQ(last[3], c.answered & 0xFF) << "the dead copy's read";
        }

        // ctl: the camera lets out everything it still holds once ctl's enquiry is in, so what
        // was due to the dead copy arrives after ctl has opened the port and asked.
        const size_t held = camera.Held();
        bool resumed = false;
        const Result r = Ctl(camera, c.ctl, [&](Session&) {
            if (!resumed && camera.Held() > held) {
                camera.Resume();
                resumed = true;
            }
        });
        EXPECT_TRUE(resumed);
        // The same command on the camera at rest is the reference.
        const Result again = Ctl(camera, c.ctl, {});
        EXPECT_EQ(again.code, kExitDone) << again.err;
        EXPECT_EQ(r.code, kExitDone) << r.err;
        EXPECT_EQ(r.out, again.out) << r.err;
        if (c.ctl[0] == "raw") {
            const int word = sim::FactoryEeprom({})[0x3FF];
            EXPECT_EQ(r.out.substr(0, 18), "A0 0C 03 FF " +
                                               HexByte(static_cast<uint8_t>(word >> 8)) + " " +
                                               HexByte(static_cast<uint8_t>(word & 0xFF)) + " ")
                << r.out;
        }
        camera.Stop();
    }
}

} // namespace
} // namespace r8
