// The program r8v5mc: SIGTERM ends it with status 0, with nothing on stderr beyond its own
// messages, and leaves the port free for the next program: while it talks to the camera, while
// its start-up shows an open error and while a box raised by received bytes is open.
#include "Comm.h"
#include "Frames.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
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
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), R8_UI_EXE);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
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
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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

TEST(Program, SigtermDuringTheStartUpOpenErrorEndsWithStatusZero) {
    TempDir dir;
    Program tool({"-platform", "offscreen", "--com1", dir.File("no-such-port"), "--com2",
                  dir.File("no-such-port-2")});
    // The open error of port 1 is reported (and its box shown) before the main loop runs.
    ASSERT_TRUE(tool.WaitStderr("ErrorCode")) << tool.Stderr();
    tool.Signal(SIGTERM);
    EXPECT_EQ(tool.Exit(), 0) << tool.Stderr();
    // Only the open errors' boxes (one line each), nothing else.
    std::istringstream lines(tool.Stderr());
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(line.find("ErrorCode = -1 | "), std::string::npos) << line;
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

} // namespace
} // namespace r8
