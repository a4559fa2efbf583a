// SPDX-License-Identifier: MIT
#pragma once
// r8v5mc-copy: the settings copy from the command line. Reads a camera's EEPROM image into a
// settings file, writes a file into a camera, verifies a camera against a file and compares
// two files. Exit codes: ExitCodes.h.
#include "ExitCodes.h"
#include "ToolOptions.h"
#include "ToolSession.h"

#include <functional>
#include <string>
#include <vector>

namespace r8 {

class Session;

struct CopyArgs : ToolOptions {
    enum class Op { None, Read, Write, Verify, Diff };
    Op op = Op::None;
    bool force = false;
    bool batch = true;
    std::string file;
    std::string file2;
};

// Arguments after the program name.
CopyArgs ParseCopyArgs(const std::vector<std::string>& args);
std::string CopyUsage(const std::string& program);

// Runs the command. signalFd: a signalfd for SIGINT and SIGTERM (anything that delivers
// signalfd_siginfo records), or -1. onStep, if given, runs after every turn of the event loop
// while the command runs, with its session (for tests that step the camera or the link timer).
int RunCopyTool(const CopyArgs& args, const ToolStreams& io, int signalFd = -1,
                const std::function<void(Session&)>& onStep = {});

} // namespace r8
