// SPDX-License-Identifier: MIT
// The start every command-line tool shares: --help, --version and usage errors answered before
// anything is opened, then SIGINT and SIGTERM taken by a signalfd, so that a command stops
// between exchanges and releases the port.
#pragma once

#include "ExitCodes.h"
#include "ToolError.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace r8 {

// parse(arguments) gives the tool's arguments (with help, version and error), usage(program)
// its help text, run(arguments, signal descriptor or -1) its exit code.
template <class Parse, class Usage, class Run>
int ToolMain(const std::string& program, const char* version, int argc, char** argv, Parse parse,
             Usage usage, Run run) {
    const auto args = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::fputs(usage(program).c_str(), stdout);
        return kExitDone;
    }
    if (args.version) {
        std::printf("%s %s\n", program.c_str(), version);
        return kExitDone;
    }
    if (!args.error.empty()) {
        // --json anywhere on the line, also after the word at fault.
        bool json = args.json;
        for (int i = 1; i < argc; ++i)
            json = json || std::string(argv[i]) == "--json";
        if (json) std::fputs(JsonError(ErrorKind::Usage, args.error).c_str(), stdout);
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), args.error.c_str(),
                     program.c_str());
        return kExitUsage;
    }
    // Blocked before any thread starts, so that only the signalfd sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    int sfd = -1;
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) == 0) sfd = signalfd(-1, &stop, SFD_CLOEXEC);
    const int code = run(args, sfd);
    if (sfd >= 0) close(sfd);
    return code;
}

} // namespace r8
