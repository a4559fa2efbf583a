// r8v5mc-ctl: list, read and set a camera's settings by name.
#include "CtlTool.h"

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::string program = "r8v5mc-ctl";
    const r8::CtlArgs args = r8::ParseCtlArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::fputs(r8::CtlUsage(program).c_str(), stdout);
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
    // Blocked before any thread starts, so that only the signalfd sees them; the command then
    // stops between exchanges and releases the port.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    int sfd = -1;
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) == 0) sfd = signalfd(-1, &stop, SFD_CLOEXEC);
    const int code = r8::RunCtlTool(args, r8::ToolStreams{}, sfd);
    if (sfd >= 0) close(sfd);
    return code;
}
