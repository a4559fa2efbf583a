// SPDX-License-Identifier: MIT
// The program r8v5mc-sim: terminal path on stdout, the link, and a clean end on SIGTERM.
#include "LineClient.h"
#include "Spawn.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace r8::sim::test {
namespace {

class Program {
public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), R8_SIM_EXE);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        stdout_ = out[0];
        if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(stdout_);
    }

    // The first line on stdout, without its newline; empty if none comes in time.
    std::string FirstLine() {
        std::string line;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (line.find('\n') == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{stdout_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char buf[256];
            ssize_t n = read(stdout_, buf, sizeof buf);
            if (n <= 0) return {};
            line.append(buf, static_cast<size_t>(n));
        }
        return line.substr(0, line.find('\n'));
    }

    // Waits for the end of the program (its stdout closes), then its exit status.
    int Exit() {
        for (;;) {
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, kPatienceMs) <= 0) return -1;
            char buf[256];
            if (read(stdout_, buf, sizeof buf) <= 0) break;
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return r8::test::ExitCode(status);
    }

    void Signal(int sig) { kill(pid_, sig); }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

TEST(Program, ServesTheLinkUntilSigtermAndSavesItsEeprom) {
    TempDir dir;
    const std::string link = dir.File("camera");
    const std::string saved = dir.File("saved.dat");
    Program sim({"--link", link, "--tv", "ntsc", "--save-eeprom", saved});
    const std::string slave = sim.FirstLine();
    ASSERT_FALSE(slave.empty());
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
    {
        LineClient c(link);
        c.Send({ENQ});
        EXPECT_EQ(c.Read(1), Bytes{ACK});
        c.Send(Cmd({0x31, 0x0A, 0x40}));
        Bytes answer = c.Read(21);
        ASSERT_EQ(answer.size(), 21u);
        EXPECT_EQ(answer[6] & 1, 0) << "NTSC: bit 0 of A4:A5";
        c.Send(Cmd({0x21, 0x0C, 0x00, 0x05, 0xBE, 0xEF})); // EEPROM word 5
        EXPECT_EQ(c.Read(21).size(), 21u);
    }
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Exit(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::ifstream in(saved, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(text.size(), 1024u * 32u);
    EXPECT_EQ(text.substr(5 * 32, 32), "210C0005BEEF000000000000000000\r\n");
}

// SIGTERM while a paced answer (about 20 ms at 9600 bit/s) is going out ends the program
// without waiting for the line; bench/ measures how soon.
TEST(Program, SigtermInTheMiddleOfAPacedAnswerEndsIt) {
    Program sim({"--pace"});
    const std::string slave = sim.FirstLine();
    ASSERT_FALSE(slave.empty());
    LineClient c(slave);
    c.Send({ENQ});
    EXPECT_EQ(c.Read(1), Bytes{ACK});
    c.Send(Cmd({0x31, 0x0A, 0x40}));
    EXPECT_EQ(c.Read(1), Bytes{ACK}) << "the command is taken; its answer is on its way";
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Exit(), 0);
}

TEST(Program, HelpVersionAndBadArguments) {
    Program help({"--help"});
    EXPECT_EQ(help.FirstLine().rfind("Usage:", 0), 0u);
    EXPECT_EQ(help.Exit(), 0);
    Program version({"--version"});
    EXPECT_EQ(version.FirstLine(), "r8v5mc-sim " R8_VERSION);
    EXPECT_EQ(version.Exit(), 0);
    Program bad({"--tv", "secam"});
    EXPECT_EQ(bad.Exit(), 2);
    Program noFile({"--eeprom", "/nonexistent/camera.dat"});
    EXPECT_EQ(noFile.Exit(), 1);
}

// A folder, an endless device and a pipe nobody writes to: each refused at once with exit 1,
// never started on the factory image nor read for ever.
TEST(Program, AnEepromFileThatIsNoRegularFileIsRefused) {
    TempDir dir;
    const std::string fifo = dir.File("camera.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {dir.File(""), std::string("/dev/zero"), fifo}) {
        Program sim({"--eeprom", path});
        EXPECT_EQ(sim.Exit(), 1) << path;
    }
}

} // namespace
} // namespace r8::sim::test
