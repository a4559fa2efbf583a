// SPDX-License-Identifier: MIT
// The program r8v5mc: SIGTERM ends it with status 0, with nothing on stderr beyond its own
// messages, and leaves the port free for the next program: while it talks to the camera, while
// its start-up shows an open error and while a box raised by received bytes is open.
#include "Comm.h"
#include "Frames.h"
#include "SimPeer.h"
#include "Spawn.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace r8 {
namespace {

using sim::test::TempDir;

constexpr int kPatienceMs = 15000;

size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class Program {
public:
    // env: the environment of the program (this one's unless given).
    explicit Program(std::vector<std::string> args, char** env = environ) {
        args.insert(args.begin(), R8_UI_EXE);
        const int rc = test::SpawnProgram(args, "/dev/null", err_, pid_, env);
        if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void Signal(int sig) { kill(pid_, sig); }
    // Waits until the program has written text to stderr.
    bool WaitStderr(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (Stderr().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    std::string Stderr() const {
        std::ifstream in(err_);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The exit status, or -1 if the program has not ended in time.
    int Exit() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return test::ExitCode(status);
    }

private:
    TempDir dir_;
    std::string err_ = dir_.File("stderr");
    pid_t pid_ = -1;
};

TEST(Program, SigtermEndsWithStatusZeroAndReleasesThePort) {
    sim::CameraSim camera;
    camera.Start();
    Program tool({"-platform", "offscreen", "--com1", camera.SlavePath()});
    // ENQ, EOT and the first request of the Easy page: the link is up and a load runs.
    ASSERT_TRUE(camera.WaitReceived(3, kPatienceMs));
    const auto units = camera.Received();
    EXPECT_EQ(units[0], std::vector<uint8_t>{ENQ});
    ASSERT_EQ(units[2].size(), kCommandFrameSize);
    EXPECT_EQ(units[2][1], 0x31) << "a read request";

    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.Exit(), 0);
    EXPECT_EQ(tool.Stderr(), "");

    const int fd = open(camera.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    int exclusive = -1;
    EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the exclusive flag is cleared";
    close(fd);
    SetPortPath(1, camera.SlavePath());
    TComm comm;
    comm.SetPort(1);
    EXPECT_NO_THROW(comm.Open()) << "the port is released: exclusive open and lock succeed";
    comm.Close();
}

TEST(Program, SigtermDuringTheSearchOfMissingPortsEndsWithStatusZero) {
    TempDir dir;
    Program tool({"-platform", "offscreen", "--com1", dir.File("no-such-port"), "--com2",
                  dir.File("no-such-port-2")});
    // Each port the search cannot open is one line on stderr, and no box (the give-up's box
    // lists them all).
    ASSERT_TRUE(tool.WaitStderr("no such device")) << tool.Stderr();
    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.Exit(), 0) << tool.Stderr();
    std::istringstream lines(tool.Stderr());
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("r8v5mc: " + dir.File("no-such-port"), 0), 0u) << line;
}

// A peer of the test's own on a pseudo-terminal: it answers the enquiry with a frame whose ETX
// is missing, so a box opens inside the receive handler.
TEST(Program, SigtermWhileABoxOfTheReceiveHandlerIsOpenEndsWithStatusZero) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    Program tool({"-platform", "offscreen", "--com1", slave});
    pollfd p{master, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, kPatienceMs), 1) << "the enquiry";
    uint8_t enq = 0;
    ASSERT_EQ(read(master, &enq, 1), 1);
    EXPECT_EQ(enq, ENQ);
    std::vector<uint8_t> bad(kCommandFrameSize, 0x00);
    bad[0] = STX; // ... and no ETX where it belongs
    ASSERT_EQ(write(master, bad.data(), bad.size()), static_cast<ssize_t>(bad.size()));
    ASSERT_TRUE(tool.WaitStderr("sr_err1")) << tool.Stderr();

    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.Exit(), 0) << tool.Stderr();
    EXPECT_EQ(Lines(tool.Stderr()), 1u) << tool.Stderr();
    close(master);
}

// This environment without any display or Qt platform.
std::vector<std::string> HeadlessEnvironment() {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        if (var.rfind("DISPLAY=", 0) != 0 && var.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            var.rfind("QT_QPA_PLATFORM=", 0) != 0)
            out.push_back(var);
    }
    return out;
}

// Without a display: help answers, a usage error says how to get help, a missing or failing
// window system is told in a message; never a crash (status 128 + signal) or a core dump.
TEST(Program, CommandLineWithoutADisplay) {
    std::vector<std::string> vars = HeadlessEnvironment();
    std::vector<char*> env;
    for (auto& v : vars)
        env.push_back(v.data());
    env.push_back(nullptr);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string stderrHas;
    } cases[] = {
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
        {{"--bogus"}, 2, "r8v5mc: unknown option '--bogus'\nTry 'r8v5mc --help'.\n"},
        {{"/dev/ttyUSB0"}, 2, "Try 'r8v5mc --help'.\n"},
        {{"--com1"}, 2, "Try 'r8v5mc --help'.\n"},
        {{}, 2, "the window needs a graphical session"},
        {{"-platform", "no-such-platform"}, 2, "the window needs a graphical session"},
    };
    for (const auto& c : cases) {
        Program tool(c.args, env.data());
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(tool.Exit(), c.status) << what << ": " << tool.Stderr();
        EXPECT_NE(tool.Stderr().find(c.stderrHas), std::string::npos)
            << what << ": " << tool.Stderr();
        if (c.status == 0) {
            EXPECT_EQ(tool.Stderr(), "") << what;
        }
    }
}

} // namespace
} // namespace r8
