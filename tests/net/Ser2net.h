// SPDX-License-Identifier: MIT
#pragma once
// Debian's ser2net serving a terminal on a free loopback port, for tests and benchmarks: raw
// TCP or Telnet with the COM-PORT-OPTION (RFC 2217). The port is chosen free by the kernel and
// taken as ready once ser2net itself listens on it (its socket in /proc), so parallel runs never
// meet and nothing waits a fixed time.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace r8::net::test {

// ser2net's path, or "" when it is not installed (it lives in sbin, often not on PATH).
inline std::string FindSer2net() {
    std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
    dirs += ":/usr/sbin:/usr/local/sbin:/sbin";
    std::stringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');) {
        const std::string path = dir + "/ser2net";
        if (!dir.empty() && ::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

class Ser2net {
public:
    enum class Mode { Raw, Rfc2217 };

    // line: the terminal's settings when ser2net opens it ("9600n81", "19200e71");
    // chardelay: whether ser2net gathers received bytes for a few character times before it
    // sends them on (its default).
    Ser2net(std::string program, std::string terminal, Mode mode, std::string line,
            std::string logPath, bool chardelay = true)
        : program_(std::move(program)), terminal_(std::move(terminal)), mode_(mode),
          line_(std::move(line)), log_(std::move(logPath)), chardelay_(chardelay) {}
    ~Ser2net() { Stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts it and waits (at most timeoutMs) until it listens; tries other ports if the one
    // chosen was taken meanwhile.
    bool Start(int timeoutMs = 20000) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = freePort();
            if (port_ == 0 || !spawn()) return false;
            if (waitListening(timeoutMs)) return true;
            Stop();
        }
        return false;
    }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    std::string Url() const {
        return std::string(mode_ == Mode::Raw ? "socket" : "rfc2217") +
               "://127.0.0.1:" + std::to_string(port_);
    }
    std::string Log() const {
        std::ifstream in(log_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    static uint16_t freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        uint16_t port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    bool spawn() {
        const std::string accepter =
            std::string(mode_ == Mode::Raw ? "tcp" : "telnet(rfc2217),tcp") + ",127.0.0.1," +
            std::to_string(port_);
        const std::string config = "connection: &camera#  accepter: " + accepter +
                                   "#  connector: serialdev," + terminal_ + "," + line_ +
                                   ",local#  options:#    kickolduser: true#    chardelay: " +
                                   (chardelay_ ? "true" : "false");
        const std::string pidFile = log_ + ".pid";
        pid_ = ::fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            if (std::FILE* out = std::freopen(log_.c_str(), "w", stdout)) {
                ::dup2(::fileno(out), STDERR_FILENO);
            }
            ::execl(program_.c_str(), program_.c_str(), "-n", "-d", "-u", "-P", pidFile.c_str(),
                    "-Y", config.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        return true;
    }

    // ser2net's own listening socket on the port: its inode among the process's descriptors.
    bool listening() const {
        std::set<std::string> sockets;
        std::error_code ec;
        for (const auto& fd :
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
            const auto target = std::filesystem::read_symlink(fd.path(), ec).string();
            if (target.rfind("socket:[", 0) == 0)
                sockets.insert(target.substr(8, target.size() - 9));
        }
        std::ifstream tcp("/proc/net/tcp");
        std::string line;
        std::getline(tcp, line); // header
        while (std::getline(tcp, line)) {
            std::istringstream f(line);
            std::string slot, local, remote, state, queues, timer, retrans, uid, timeout, inode;
            f >> slot >> local >> remote >> state >> queues >> timer >> retrans >> uid >> timeout >>
                inode;
            const auto colon = local.find(':');
            if (state == "0A" && colon != std::string::npos &&
                std::stoul(local.substr(colon + 1), nullptr, 16) == port_ && sockets.count(inode))
                return true;
        }
        return false;
    }

    bool waitListening(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false; // it ended: the port was taken, or the configuration is refused
            }
            if (listening()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string program_, terminal_;
    Mode mode_;
    std::string line_, log_;
    bool chardelay_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

} // namespace r8::net::test
