// r8v5mc-copy: backup, restore, verify and compare of a camera's settings image.
#include "CopyTool.h"

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::string program = "r8v5mc-copy";
    const r8::CopyArgs args = r8::ParseCopyArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::fputs(r8::CopyUsage(program).c_str(), stdout);
        return r8::kExitDone;
    }
    if (args.version) {
        std::printf("%s %s\n", program.c_str(), R8_VERSION);
        return r8::kExitDone;
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), args.error.c_str(),
                     program.c_str());
        return r8::kExitUsage;
    }

    // Blocked before any thread starts, so that only the signalfd sees them; the copy then
    // stops between exchanges and releases the port.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    int sfd = -1;
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) == 0) sfd = signalfd(-1, &stop, SFD_CLOEXEC);
    const int code = r8::RunCopyTool(args, r8::ToolStreams{}, sfd);
    if (sfd >= 0) close(sfd);
    return code;
}
