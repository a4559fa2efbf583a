// SPDX-License-Identifier: MIT
// The program r8v5mc as a process, on the offscreen platform, against the simulated camera on
// a pseudo-terminal reached through a symbolic link:
//
//   bench_process PATH-OF-r8v5mc [--idle SECONDS]
//
// Prints rows of the bench/run table: the time from the start of the process to the first ENQ
// the camera receives (the median of three starts), the time from the start to the Easy page
// filled on a paced line (the best of three), the peak resident memory (VmHWM) once the
// Easy page has loaded, and the CPU time used while idle, first connected, then unplugged (the
// camera's line closed and its link removed; the tool then waits for the path to come back).
// CPU time is read from /proc/PID/stat (utime + stime, in clock ticks) and, finer, from the
// run times in /proc/PID/task/*/schedstat.
#include "Frames.h"
#include "SimPeer.h"
#include "Table.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// utime + stime of the process, in clock ticks.
long long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    long long utime = 0, stime = 0;
    // Field 3 (state) comes first; utime and stime are fields 14 and 15.
    for (int k = 3; k <= 15 && fields >> f; ++k) {
        if (k == 14) utime = std::atoll(f.c_str());
        if (k == 15) stime = std::atoll(f.c_str());
    }
    return utime + stime;
}

// Run time of all the process's threads, in nanoseconds.
long long RunNanoseconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir) return -1;
    long long sum = 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(tasks + "/" + e->d_name + "/schedstat");
        long long ns = 0;
        if (in >> ns) sum += ns;
    }
    closedir(dir);
    return sum;
}

// A field of /proc/PID/status in kB, or -1.
long long StatusKb(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ":", 0) == 0) return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

pid_t Spawn(const std::string& program, const std::string& port, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args{program, "-platform", "offscreen", "--com1", port};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), std::strerror(error));
        return -1;
    }
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int k = 0; k < 100; ++k) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool Alive(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

size_t Count(const std::vector<Bytes>& units, size_t size, uint8_t first) {
    return static_cast<size_t>(std::count_if(units.begin(), units.end(), [&](const Bytes& u) {
        return u.size() == size && u[0] == first;
    }));
}

struct Idle {
    double percent = -1;     // from utime + stime
    double finePercent = -1; // from schedstat
    double cpuMs = -1;
    double seconds = 0;
};

Idle MeasureIdle(pid_t pid, double seconds) {
    const long long ticks0 = CpuTicks(pid);
    const long long ns0 = RunNanoseconds(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const long long ticks = CpuTicks(pid) - ticks0;
    const long long ns = RunNanoseconds(pid) - ns0;
    Idle idle;
    idle.seconds = Since(t0);
    idle.percent = 100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
                   idle.seconds;
    idle.cpuMs = static_cast<double>(ns) * 1e-6;
    idle.finePercent = 100.0 * idle.cpuMs * 1e-3 / idle.seconds;
    return idle;
}

void PrintIdle(const char* what, const Idle& idle) {
    char reference[64];
    std::snprintf(reference, sizeof reference, "sched %.2f ms = %.3f %%", idle.cpuMs,
                  idle.finePercent);
    // One clock tick in ten seconds is 0.1 %: the verdict goes by the finer run time.
    bench::Row(what, bench::Fixed(idle.percent, 3, "%"), reference, "", "< 0.1 %",
               bench::Verdict(idle.finePercent < 0.1));
}

// Milliseconds from the start of the process until the paced camera has received the tool's
// acknowledgement of the Easy page's last answer: the page is filled. The best of
// `starts` (a stall of the machine only ever adds time); -1 if a start fails.
double StartToEasyPage(const std::string& program, const r8::sim::SimOptions& paced,
                       const std::string& log, int starts) {
    double best = -1;
    for (int start = 0; start < starts; ++start) {
        r8::sim::CameraSim camera(paced);
        camera.Start();
        const auto t0 = Clock::now();
        const pid_t pid = Spawn(program, paced.linkPath, log);
        if (pid < 0) return -1;
        const auto filled = [&] {
            const auto units = camera.Received();
            return Count(units, r8::kCommandFrameSize, r8::STX) >= 11 &&
                   Count(units, 1, r8::ACK) >= 11;
        };
        while (!filled() && Since(t0) < 20)
            camera.WaitReceived(camera.Received().size() + 1, 1000);
        const double ms = Since(t0) * 1e3;
        Stop(pid);
        if (!filled()) return -1;
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH-OF-r8v5mc [--idle SECONDS]\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    double idleSeconds = 10;
    if (argc >= 4 && std::strcmp(argv[2], "--idle") == 0) idleSeconds = std::atof(argv[3]);

    char dirTemplate[] = "/tmp/r8bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    // The link in a folder of its own: the unplugged tool watches it, and nothing else happens
    // there (the log is written next to it, not in it).
    const std::string dir = dirTemplate;
    const std::string line = dir + "/line";
    const std::string link = line + "/ttyCAM";
    const std::string log = dir + "/r8v5mc.log";
    if (mkdir(line.c_str(), 0700) != 0) {
        std::perror("mkdir");
        return 1;
    }
    r8::sim::SimOptions options;
    options.linkPath = link;

    // Start to the Easy page filled on a paced line, beside what the line needs for the
    // handshake (ENQ, ACK, EOT) and the page (11 exchanges of 40 bytes).
    r8::sim::SimOptions paced = options;
    paced.linkPath = line + "/ttyPACED";
    paced.pace = true;
    const double pagedMs = StartToEasyPage(program, paced, log, 3);
    if (pagedMs < 0) {
        std::fprintf(stderr, "the paced Easy page did not load (see %s)\n", log.c_str());
        return 1;
    }

    std::vector<double> enqMs;
    pid_t pid = -1;
    std::unique_ptr<r8::sim::CameraSim> camera;
    for (int start = 0; start < 3; ++start) {
        camera = std::make_unique<r8::sim::CameraSim>(options);
        camera->Start();
        const auto t0 = Clock::now();
        pid = Spawn(program, link, log);
        if (pid < 0) return 1;
        if (!camera->WaitReceived(1, 20000) || camera->Received()[0] != Bytes{r8::ENQ}) {
            std::fprintf(stderr, "no ENQ from %s (see %s)\n", program.c_str(), log.c_str());
            Stop(pid);
            return 1;
        }
        enqMs.push_back(Since(t0) * 1e3);
        if (start < 2) {
            Stop(pid);
            camera.reset();
        }
    }
    std::vector<double> sorted = enqMs;
    std::sort(sorted.begin(), sorted.end());
    char runs[64];
    std::snprintf(runs, sizeof runs, "starts: %.0f, %.0f, %.0f ms", enqMs[0], enqMs[1], enqMs[2]);
    bench::Row("Start to first ENQ (median of 3)", bench::Fixed(sorted[1], 1, "ms"), runs, "",
               "<= 100 ms", bench::Verdict(sorted[1] <= 100));

    const double wire = (3 + 11 * 40) * 10.0 / 9600.0 * 1e3;
    bench::Row("Start to Easy page filled, paced (best of 3)", bench::Fixed(pagedMs, 1, "ms"),
               bench::Fixed(wire, 1, "ms") + " wire min",
               "+" + bench::Fixed(pagedMs - wire, 1, "ms"), "<= +150 ms",
               bench::Verdict(pagedMs - wire <= 150));

    // The Easy page load: 11 commands, each answer acknowledged.
    const auto loaded = [&] {
        const auto units = camera->Received();
        return Count(units, r8::kCommandFrameSize, r8::STX) >= 11 && Count(units, 1, r8::ACK) >= 11;
    };
    const auto t0 = Clock::now();
    while (!loaded() && Since(t0) < 20)
        camera->WaitReceived(camera->Received().size() + 1, 1000);
    if (!loaded()) {
        std::fprintf(stderr, "the Easy page did not load (see %s)\n", log.c_str());
        Stop(pid);
        return 1;
    }
    // Let the window settle: repaints after the last answer.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long long hwm = StatusKb(pid, "VmHWM");
    const long long rss = StatusKb(pid, "VmRSS");
    const double mb = static_cast<double>(hwm) * 1024 / 1e6;
    bench::Row("Peak resident memory (VmHWM), Easy page load", bench::Fixed(mb, 1, "MB"),
               "VmRSS now " + bench::Fixed(static_cast<double>(rss) * 1024 / 1e6, 1, "MB"), "",
               "< 50 MB", bench::Verdict(hwm > 0 && mb < 50));

    char label[80];
    std::snprintf(label, sizeof label, "Idle CPU, connected (%.0f s)", idleSeconds);
    const Idle connected = MeasureIdle(pid, idleSeconds);
    PrintIdle(label, connected);

    // Unplugged: the camera's line hangs up and its link goes away.
    camera->Stop();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    if (!Alive(pid)) {
        std::fprintf(stderr, "r8v5mc ended when the camera went away (see %s)\n", log.c_str());
        return 1;
    }
    std::snprintf(label, sizeof label, "Idle CPU, unplugged (%.0f s)", idleSeconds);
    const Idle unplugged = MeasureIdle(pid, idleSeconds);
    PrintIdle(label, unplugged);

    Stop(pid);
    camera.reset();
    unlink(log.c_str());
    unlink(link.c_str());
    rmdir(line.c_str());
    rmdir(dir.c_str());
    return 0;
}
