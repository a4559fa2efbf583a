// SPDX-License-Identifier: MIT
// r8v5mc-sim: the simulated camera as a program. Prints the terminal path, serves it until
// SIGINT, SIGTERM or SIGHUP, then removes its link.
#include "SimPeer.h"
#include "TcpBridge.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace r8::sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    SimArgs parsed = ParseSimArgs(args);
    const std::string program = argc > 0 ? argv[0] : "r8v5mc-sim";
    if (parsed.help) {
        std::fputs(SimUsage(program).c_str(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("r8v5mc-sim %s\n", R8_VERSION);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), parsed.error.c_str(),
                     SimUsage(program).c_str());
        return 2;
    }

    // Blocked before the camera's thread starts, so only the signalfd below sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
        std::perror("sigprocmask");
        return 1;
    }
    int sfd = signalfd(-1, &stop, SFD_CLOEXEC);
    if (sfd < 0) {
        std::perror("signalfd");
        return 1;
    }

    try {
        CameraSim camera(parsed.options);
        camera.Start();
        std::printf("%s\n", camera.SlavePath().c_str());
        std::unique_ptr<TcpBridge> bridge;
        if (parsed.options.listenPort >= 0) {
            bridge = std::make_unique<TcpBridge>(camera.SlavePath(), parsed.options.listenHost,
                                                 static_cast<uint16_t>(parsed.options.listenPort));
            bridge->Start();
            std::printf("%s\n", bridge->Url().c_str());
        }
        std::fflush(stdout);
        signalfd_siginfo info{};
        while (read(sfd, &info, sizeof info) < 0 && errno == EINTR) {
        }
        if (bridge) bridge->Stop();
        camera.Stop();
        if (!parsed.options.saveEepromFile.empty()) {
            std::string text;
            camera.WithModel([&](CameraModel& m) { text = SettingsText(m.Eeprom()); });
            std::FILE* f = std::fopen(parsed.options.saveEepromFile.c_str(), "wb");
            const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
            if ((f && std::fclose(f) != 0) || !written) {
                std::fprintf(stderr, "%s: cannot write %s\n", program.c_str(),
                             parsed.options.saveEepromFile.c_str());
                close(sfd);
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        close(sfd);
        return 1;
    }
    close(sfd);
    return 0;
}
