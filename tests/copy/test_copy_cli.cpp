// r8v5mc-copy as a program: exit codes and the sentence that names the port or file.
#include "CopyTool.h"
#include "EepromImage.h"
#include "Session.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&fa, dir.File("").c_str());
    pid_t pid = -1;
    Result r;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&fa);
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
        {{"--port", "/dev/r8-no-such-port", "read", "a.dat"},
         2,
         "/dev/r8-no-such-port: no such device"},
        {{"--port", "/dev/null", "read", "a.dat"}, 2, "/dev/null: not a serial device"},
        {{"--port", camera.SlavePath(), "read", "a.dat"}, 2, "busy in another program"},
        {{"--simulate", "read", "exists.dat"}, 2, "exists.dat exists; give --force"},
        {{"--simulate", "write", "missing.dat"}, 2, "missing.dat: cannot open"},
        {{"--simulate", "write", "bad.dat"}, 2, "bad.dat: line 2: a record has 30"},
        {{"--simulate", "verify", "bad.dat"}, 2, "bad.dat: line 2"},
        {{"diff", "good.dat", "bad.dat"}, 2, "bad.dat: line 2"},
        {{"diff", "good.dat", "good.dat"}, 0, ""},
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
    r = RunCopy(dir, {"diff", "camera.dat", "edited.dat"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.find("0005 "), 0u);
    for (const char* mode : {"--batch", "--single"}) {
        r = RunCopy(dir, {"--simulate", "write", "edited.dat", mode});
        EXPECT_EQ(r.code, 0) << mode << r.err;
    }
}

// The command run in-process against a camera that holds its replies: the step hook lets
// out the start-up and the page load, then the test acts with the first EEPROM read pending.
struct HeldCamera {
    TempDir dir;
    sim::CameraSim camera;
    ToolStreams io;
    size_t released = 0;

    HeldCamera() {
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

TEST(CopyCommand, AnUnansweredCameraEndsWithItsOwnExitCodeAtTheSecondTimeOut) {
    HeldCamera h;
    int ticks = 0;
    const int code = RunCopyTool(h.Args("read", "camera.dat"), h.io, -1, [&](Session& s) {
        if (!h.LetOut(kStartUnits)) return;
        // The first EEPROM read waits: the 21st tick sends it again, the 42nd gives up.
        for (; ticks < 21; ++ticks)
            s.Link().SendTimerTimer();
        ASSERT_TRUE(h.camera.WaitHeld(2, 5000)) << "the read is sent again";
        EXPECT_EQ(h.EepromReads(), 2u);
        for (; ticks < 41; ++ticks)
            s.Link().SendTimerTimer();
        EXPECT_EQ(h.Err().find("link is lost"), std::string::npos) << "not before the 42nd tick";
        s.Link().SendTimerTimer();
        ++ticks;
    });
    EXPECT_EQ(ticks, 42);
    EXPECT_EQ(code, kExitNoCamera);
    EXPECT_NE(h.Err().find("stopped answering: the link is lost"), std::string::npos) << h.Err();
    EXPECT_FALSE(std::filesystem::exists(h.dir.File("camera.dat")));
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
        EXPECT_NE(h.Err().find("stopped by"), std::string::npos) << h.Err();
        const int fd = open(h.camera.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the port is released";
        close(fd);
    }
}

} // namespace
} // namespace r8
