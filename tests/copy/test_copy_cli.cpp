// SPDX-License-Identifier: MIT
// r8v5mc-copy as a program: exit codes and the sentence that names the port or file.
#include "CopyTool.h"
#include "EepromImage.h"
#include "Session.h"
#include "SimPeer.h"
#include "Spawn.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace r8 {
namespace {

using sim::test::TempDir;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Result {
    int code = -1;
    std::string out, err;
};

Result RunCopy(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), R8_COPY_EXE);
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    pid_t pid = -1;
    Result r;
    if (test::SpawnProgram(args, out, err, pid, environ, dir.File("")) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.code = test::ExitCode(status);
    }
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

TEST(CopyCommand, UsagePortAndFileErrorsExitTwoWithOneSentence) {
    TempDir dir;
    std::ofstream(dir.File("exists.dat")) << "x";
    std::ofstream(dir.File("bad.dat"), std::ios::binary)
        << "210C00000000000000000000000000\r\n210C0001000000000000000000000\r\n";
    const std::string factory = sim::SettingsText(sim::FactoryEeprom({}));
    std::ofstream(dir.File("good.dat"), std::ios::binary) << factory;
    // A patch of one word: good for a single write, not a whole image.
    std::ofstream(dir.File("patch.dat"), std::ios::binary)
        << factory.substr(0, 32) << factory.substr(factory.size() - 32);
    ASSERT_EQ(mkfifo(dir.File("fifo.dat").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder"));
    std::ofstream(dir.File("end.dat"), std::ios::binary) << factory.substr(factory.size() - 32);
    const std::string shm = "/dev/shm/r8v5mc-copy-test-" + std::to_string(getpid()) + ".dat";

    sim::CameraSim camera;
    camera.Start();
    const int held = open(camera.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    const struct {
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {{}, 2, "no command given"},
        {{"--frobnicate", "read", "a.dat"}, 2, "unknown option --frobnicate"},
        {{"read"}, 2, "read takes one file"},
        {{"copy", "a.dat"}, 2, "unknown command copy"},
        {{"read", "a.dat", "--single"}, 2, "--batch and --single go with write only"},
        {{"write", "a.dat", "--batch", "--single"}, 2, "--batch and --single exclude each other"},
        {{"--force", "write", "a.dat"}, 2, "--force goes with read only"},
        {{"--force", "verify", "a.dat"}, 2, "--force goes with read only"},
        {{"--port", "/dev/r8-no-such-port", "read", "a.dat"},
         2,
         "/dev/r8-no-such-port: no such device"},
        {{"--port", "/dev/null", "read", "a.dat"}, 2, "/dev/null: not a serial device"},
        {{"--port", camera.SlavePath(), "read", "a.dat"}, 2, "busy in another program"},
        {{"--simulate", "read", "exists.dat"}, 2, "exists.dat exists; give --force"},
        {{"--simulate", "write", "missing.dat"}, 2, "missing.dat: cannot open"},
        {{"--simulate", "write", "bad.dat"}, 2, "bad.dat: line 2: a record has 30"},
        {{"--simulate", "verify", "bad.dat"}, 2, "bad.dat: line 2"},
        // A pipe is refused at once, without waiting for a writer.
        {{"--simulate", "write", "fifo.dat"}, 2, "fifo.dat: a pipe (FIFO), not a settings file"},
        {{"--simulate", "verify", "folder"}, 2, "folder: a folder, not a settings file"},
        {{"--simulate", "write", "/dev/null"}, 2, "/dev/null: a character device"},
        {{"--simulate", "write", "patch.dat"}, 2, "patch.dat: word 0001 has no record"},
        {{"--simulate", "verify", "patch.dat"}, 2, "patch.dat: word 0001 has no record"},
        {{"--simulate", "--force", "read", "/dev/stdout"}, 2, "/dev/stdout: not a regular file"},
        {{"--simulate", "--force", "read", "/dev/null"}, 2, "/dev/null: not a regular file"},
        {{"--simulate", "--force", "read", "folder"}, 2, "folder: a folder"},
        {{"--simulate", "read", "missing/a.dat"}, 2, "cannot write in missing"},
        {{"diff", "good.dat", "bad.dat"}, 2, "bad.dat: line 2"},
        {{"diff", "good.dat", "good.dat"}, 0, ""},
        // The trace file must not be the command's own file; a trace cut short is an error.
        {{"--simulate", "--trace-file", "good.dat", "write", "good.dat"},
         2,
         "good.dat: the trace file is the command's own file"},
        {{"--simulate", "--force", "--trace-file=exists.dat", "read", "./exists.dat"},
         2,
         "the trace file is the command's own file"},
        {{"--simulate", "--trace-file", "/dev/full", "verify", "good.dat"},
         2,
         "/dev/full: the trace is cut: No space left on device"},
        // A single write of the end record alone sends nothing (the port is not opened).
        {{"--simulate", "write", "--single", "end.dat"}, 2, "end.dat: no EEPROM word record"},
        // /dev/shm holds plain files.
        {{"--simulate", "read", shm}, 0, ""},
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const Result r = RunCopy(dir, c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    close(held);
    EXPECT_EQ(ReadAll(dir.File("exists.dat")), "x");
    EXPECT_EQ(ReadAll(dir.File("good.dat")), factory);
    EXPECT_EQ(ReadAll(shm), factory);
    std::filesystem::remove(shm);
    EXPECT_TRUE(camera.Received().empty()) << "nothing reached the camera";
}

TEST(CopyCommand, ReadWriteVerifyOnTheSimulatedCamera) {
    TempDir dir;
    const std::string factory = sim::SettingsText(sim::FactoryEeprom({}));
    Result r = RunCopy(dir, {"--simulate", "read", "camera.dat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAll(dir.File("camera.dat")), factory);
    EXPECT_NE(r.out.find("read camera.dat: 1024 words"), std::string::npos) << r.out;

    std::string edited = factory;
    edited.replace(5 * 32 + 8, 4, "BEEF");
    std::ofstream(dir.File("edited.dat"), std::ios::binary) << edited;
    r = RunCopy(dir, {"--simulate", "verify", "edited.dat"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.substr(0, 15), "0005 BEEF " + factory.substr(5 * 32 + 8, 4) + "\n");
    EXPECT_NE(r.out.find("verify edited.dat: 1023 words compared, 1 differ"), std::string::npos)
        << r.out;
    r = RunCopy(dir, {"diff", "camera.dat", "edited.dat"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.find("0005 "), 0u);
    for (const char* mode : {"--batch", "--single"}) {
        r = RunCopy(dir, {"--simulate", "write", "edited.dat", mode});
        EXPECT_EQ(r.code, 0) << mode << r.err;
    }

    // Through a symbolic link: the file it points to is replaced, the link stays.
    std::filesystem::create_directory(dir.File("kept"));
    std::ofstream(dir.File("kept/camera.dat")) << "old";
    ASSERT_EQ(symlink("kept/camera.dat", dir.File("link.dat").c_str()), 0);
    r = RunCopy(dir, {"--simulate", "--force", "read", "link.dat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.dat")));
    EXPECT_EQ(ReadAll(dir.File("kept/camera.dat")), factory);
}

// The command run in-process against a camera that holds its replies: the step hook lets
// out the start-up and the page load, then the test acts with the first EEPROM read pending.
struct HeldCamera {
    TempDir dir;
    sim::CameraSim camera;
    ToolStreams io;
    size_t released = 0;

    explicit HeldCamera(sim::SimOptions o = {}) : camera(o) {
        camera.Start();
        camera.Hold();
        io.out = std::fopen(dir.File("out").c_str(), "w");
        io.err = std::fopen(dir.File("err").c_str(), "w");
    }
    ~HeldCamera() {
        std::fclose(io.out);
        std::fclose(io.err);
    }
    CopyArgs Args(const char* command, const char* file) {
        CopyArgs a = ParseCopyArgs({"--port", camera.SlavePath(), command, dir.File(file)});
        EXPECT_EQ(a.error, "");
        return a;
    }
    // Lets out held replies until `units` have gone; true once they have.
    bool LetOut(size_t units) {
        while (released < units && camera.Held() > 0) {
            camera.Release(1);
            ++released;
        }
        return released == units && camera.Held() > 0;
    }
    std::string Err() {
        std::fflush(io.err);
        return ReadAll(dir.File("err"));
    }
    size_t EepromReads() const {
        size_t n = 0;
        for (const auto& p : camera.Commands())
            n += p[0] == 0x31 && p[1] == 0x0C;
        return n;
    }
};

// ENQ, the two reads of the Copy page.
constexpr size_t kStartUnits = 3;

std::vector<std::string> Entries(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.File("")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CopyCommand, ACameraThatNeverAnswersExitsThree) {
    HeldCamera h; // the enquiry is never answered
    std::ofstream(h.dir.File("camera.dat"), std::ios::binary)
        << sim::SettingsText(sim::FactoryEeprom({}));
    bool ticked = false;
    const int code = RunCopyTool(h.Args("verify", "camera.dat"), h.io, -1, [&](Session& s) {
        for (int i = 0; i < 16 && !ticked; ++i)
            s.SendTimerTimer(); // the port search gives up at the 16th
        ticked = true;
    });
    EXPECT_EQ(code, kExitNoCamera);
    EXPECT_NE(h.Err().find("no camera answered"), std::string::npos) << h.Err();
}

// The second time-out ends the command: nothing is sent after the last line, and a write says
// what the camera may hold.
TEST(CopyCommand, AnUnansweredCameraEndsWithItsOwnExitCodeAtTheSecondTimeOut) {
    for (const char* command : {"read", "write"}) {
        SCOPED_TRACE(command);
        HeldCamera h;
        const bool write = std::string(command) == "write";
        std::ofstream(h.dir.File("camera.dat"), std::ios::binary)
            << sim::SettingsText(sim::FactoryEeprom({}));
        CopyArgs args = h.Args(command, write ? "camera.dat" : "new.dat");
        args.batch = false;
        auto sent = [&h, write] {
            size_t n = 0;
            for (const auto& p : h.camera.Commands())
                n += p[0] == (write ? 0x21 : 0x31) && p[1] == 0x0C;
            return n;
        };
        int ticks = 0;
        const int code = RunCopyTool(args, h.io, -1, [&](Session& s) {
            if (!h.LetOut(kStartUnits)) return;
            // The first EEPROM command waits: the 21st tick sends it again, the 42nd gives up.
            for (; ticks < 21; ++ticks)
                s.SendTimerTimer();
            ASSERT_TRUE(h.camera.WaitHeld(2, 5000)) << "the command is sent again";
            EXPECT_EQ(sent(), 2u);
            for (; ticks < 41; ++ticks)
                s.SendTimerTimer();
            EXPECT_EQ(h.Err().find("link is lost"), std::string::npos) << "not before the 42nd";
            s.SendTimerTimer();
            ++ticks;
        });
        EXPECT_EQ(ticks, 42);
        EXPECT_EQ(code, kExitNoCamera);
        const std::string err = h.Err();
        EXPECT_NE(err.find("stopped answering: the link is lost"), std::string::npos) << err;
        EXPECT_EQ(err.find("retry 2"), std::string::npos) << "no re-send after the last line";
        EXPECT_EQ(h.camera.Held(), 2u) << "nothing sent after the last line";
        EXPECT_EQ(err.find("the camera may hold part of the file") != std::string::npos, write)
            << err;
        EXPECT_FALSE(std::filesystem::exists(h.dir.File("new.dat")));
    }
}

TEST(CopyCommand, ASignalStopsBetweenExchangesAndReleasesThePort) {
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        HeldCamera h;
        std::ofstream(h.dir.File("camera.dat")) << "an earlier file";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        bool signalled = false;
        CopyArgs args = h.Args("read", "camera.dat");
        args.force = true;
        const int code = RunCopyTool(args, h.io, fds[0], [&](Session&) {
            // Words 0 and 1 answered; the signal comes while the read of word 2 is out.
            if (!h.LetOut(kStartUnits + 2) || signalled) return;
            signalfd_siginfo info{};
            info.ssi_signo = static_cast<uint32_t>(sig);
            ASSERT_EQ(write(fds[1], &info, sizeof info), static_cast<ssize_t>(sizeof info));
            signalled = true;
            h.camera.Resume(); // the exchange in flight ends normally
        });
        close(fds[0]);
        close(fds[1]);
        EXPECT_EQ(code, sig == SIGINT ? kExitInterrupt : kExitTerminate);
        EXPECT_EQ(h.EepromReads(), 3u) << "nothing sent after the answer in flight";
        EXPECT_EQ(ReadAll(h.dir.File("camera.dat")), "an earlier file");
        EXPECT_EQ(Entries(h.dir), (std::vector<std::string>{"camera.dat", "err", "out"}))
            << "no temporary file left";
        EXPECT_NE(h.Err().find("stopped by"), std::string::npos) << h.Err();
        const int fd = open(h.camera.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the port is released";
        close(fd);
    }
}

// A stop asked for while the file is read ends the command before the port is opened.
TEST(CopyCommand, ASignalDuringTheFileReadStopsBeforeThePortIsOpened) {
    HeldCamera h;
    std::ofstream(h.dir.File("image.dat"), std::ios::binary)
        << sim::SettingsText(sim::FactoryEeprom({}));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    signalfd_siginfo info{};
    info.ssi_signo = SIGTERM;
    ASSERT_EQ(write(fds[1], &info, sizeof info), static_cast<ssize_t>(sizeof info));
    EXPECT_EQ(RunCopyTool(h.Args("write", "image.dat"), h.io, fds[0]), kExitTerminate);
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(h.Err().find("stopped by SIGTERM; nothing sent"), std::string::npos) << h.Err();
    EXPECT_TRUE(h.camera.Received().empty());
}

// The block's answer is lost: the block goes again (and the progress says so), then the reset.
TEST(CopyCommand, ALostAnswerToTheBlockSendsTheBlockAgain) {
    sim::SimOptions o;
    o.dropEvery = 4; // the two page reads, the read of word 1023, then the block's answer
    HeldCamera h(o);
    h.camera.Resume();
    std::ofstream(h.dir.File("image.dat"), std::ios::binary)
        << sim::SettingsText(sim::FactoryEeprom({}));
    bool ticked = false;
    const int code = RunCopyTool(h.Args("write", "image.dat"), h.io, -1, [&](Session& s) {
        // Once the camera's ACK to the block is in, its answer is due.
        if (ticked || s.Link().SendFrame[0] != SOH || s.Link().LINK_STATUS != 2) return;
        for (int tick = 0; tick <= CameraLink::kBlockTicks; ++tick)
            s.SendTimerTimer();
        ticked = true;
    });
    EXPECT_EQ(code, kExitDone) << h.Err();
    EXPECT_NE(h.Err().find("no answer to the settings block: sending it again (retry 1)"),
              std::string::npos)
        << h.Err();
    size_t blocks = 0;
    for (const auto& u : h.camera.Received()) {
        blocks += u.size() == kBlockFrameSize;
        EXPECT_FALSE(u.size() == kCommandFrameSize && u[0] == SOH) << "no header over a command";
    }
    EXPECT_EQ(blocks, 2u);
}

// Every file of the malformed corpus is refused by both write modes and by verify, each with
// its own message, before the port is touched.
TEST(CopyCommand, MalformedFilesAreRefusedAndNothingIsSent) {
    sim::CameraSim camera;
    camera.Start();
    TempDir dir;
    std::ifstream expected(R8_MALFORMED_DIR "/EXPECTED");
    ASSERT_TRUE(expected);
    int files = 0;
    size_t distinct = 0;
    std::set<std::string> messages;
    for (std::string line; std::getline(expected, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> columns;
        for (size_t at = 0;;) {
            const size_t tab = line.find('\t', at);
            columns.push_back(line.substr(at, tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        ASSERT_GE(columns.size(), 2u) << line;
        const std::string path = R8_MALFORMED_DIR "/" + columns[0];
        // --single may say something else, or take the file ("-": a patch).
        const std::string single = columns.size() > 2 ? columns[2] : columns[1];
        ++files;
        distinct += single != columns[1] && single != "-" ? 2 : 1;
        for (const char* mode : {"--batch", "--single", "verify"}) {
            SCOPED_TRACE(path + " " + mode);
            const bool verify = std::string(mode) == "verify";
            const bool isSingle = std::string(mode) == "--single";
            if (isSingle && single == "-") continue;
            const std::string says = path + ": " + (isSingle ? single : columns[1]);
            std::vector<std::string> words{"--port", camera.SlavePath()};
            if (verify)
                words.insert(words.end(), {"verify", path});
            else
                words.insert(words.end(), {"write", path, mode});
            const CopyArgs args = ParseCopyArgs(words);
            ASSERT_EQ(args.error, "");
            ToolStreams io;
            io.out = std::fopen(dir.File("out").c_str(), "w");
            io.err = std::fopen(dir.File("err").c_str(), "w");
            EXPECT_EQ(RunCopyTool(args, io), kExitUsage);
            std::fclose(io.out);
            std::fclose(io.err);
            const std::string err = ReadAll(dir.File("err"));
            EXPECT_EQ(err, "r8v5mc-copy: " + err.substr(13)) << "one line";
            EXPECT_NE(err.find(says), std::string::npos) << err;
            messages.insert(err);
        }
    }
    EXPECT_GE(files, 40);
    EXPECT_EQ(messages.size(), distinct) << "each file its own message";
    EXPECT_TRUE(camera.Received().empty()) << "nothing reached the camera";
}

// The variants a writer may produce (mixed line ends, descending order, a file that carries
// 03FF): the writes take them, and verify then finds the camera equal to the file.
TEST(CopyCommand, AcceptedVariantsWriteAndVerifyClean) {
    sim::CameraSim camera;
    camera.Start();
    TempDir dir;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(R8_ACCEPTED_DIR)) {
        const std::string path = e.path().string();
        const bool kept = e.path().filename() == "carries-03ff.dat";
        ++files;
        for (const char* mode : {"--single", "--batch", "verify"}) {
            // One record-by-record write is enough: in file order, so the descending one.
            if (std::string(mode) == "--single" && e.path().filename() != "descending-order.dat")
                continue;
            SCOPED_TRACE(path + " " + mode);
            std::vector<std::string> words{"--port", camera.SlavePath()};
            if (std::string(mode) == "verify")
                words.insert(words.end(), {"verify", path});
            else
                words.insert(words.end(), {"write", path, mode});
            ToolStreams io;
            io.out = std::fopen(dir.File("out").c_str(), "w");
            io.err = std::fopen(dir.File("err").c_str(), "w");
            EXPECT_EQ(RunCopyTool(ParseCopyArgs(words), io), kExitDone);
            std::fclose(io.out);
            std::fclose(io.err);
            EXPECT_EQ(ReadAll(dir.File("err")).find("r8v5mc-copy:"), std::string::npos)
                << ReadAll(dir.File("err"));
            if (std::string(mode) == "verify") {
                EXPECT_NE(ReadAll(dir.File("out"))
                              .find(kept ? "1024 words (03FF included) compared, 0 differ"
                                         : "1023 words compared, 0 differ"),
                          std::string::npos)
                    << ReadAll(dir.File("out"));
            }
        }
    }
    EXPECT_EQ(files, 3);
}

} // namespace
} // namespace r8
