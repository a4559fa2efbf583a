// SPDX-License-Identifier: MIT
#pragma once
// r8v5mc-ctl: the camera's plain settings by name from the command line, a front end of the
// session core beside the window and r8v5mc-copy. Every value is checked against the settings
// catalogue before anything is sent. Exit codes (ExitCodes.h): 0 done; 1 the
// camera answered an error or a value read back differs; 2 usage, port, file or value error
// (nothing sent); 3 no camera answered or the link was lost; 130 / 143 after SIGINT / SIGTERM.
#include "CtlArgs.h"
#include "ExitCodes.h"
#include "ToolSession.h"

#include <functional>

namespace r8 {

class Session;

// Runs the command. signalFd: a signalfd for SIGINT and SIGTERM, or -1. onStep, if given, runs
// after every turn of the event loop with the session (for tests that step the camera).
int RunCtlTool(const CtlArgs& args, const ToolStreams& io, int signalFd = -1,
               const std::function<void(Session&)>& onStep = {});

} // namespace r8
