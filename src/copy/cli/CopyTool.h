#pragma once
// r8v5mc-copy: the settings copy from the command line. Reads a camera's EEPROM image into a
// settings file, writes a file into a camera, verifies a camera against a file and compares
// two files. Exit codes: ExitCodes.h.
#include "ExitCodes.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace r8 {

class Session;

struct CopyArgs {
    enum class Op { None, Read, Write, Verify, Diff };
    Op op = Op::None;
    std::string port = "/dev/ttyS0";
    bool simulate = false;
    bool force = false;
    bool trace = false;    // the traffic trace on stderr
    std::string traceFile; // the traffic trace into this file
    bool batch = true;
    std::string file;
    std::string file2;
    bool help = false;
    bool version = false;
    std::string error; // empty when the arguments are good
};

// Arguments after the program name.
CopyArgs ParseCopyArgs(const std::vector<std::string>& args);
std::string CopyUsage(const std::string& program);

// "" when the device can be opened as a serial port now (for a network port: when its name is
// good), else one sentence naming it and why.
std::string CheckPort(const std::string& path);

class TComm;
// Why the port NAME stopped working, for a tool's last line: the network cause, or that the
// device went away.
std::string PortGoneText(const TComm& comm, const std::string& name);

struct ToolStreams {
    std::FILE* out = stdout; // summary and differences
    std::FILE* err = stderr; // progress, trace and errors
};

// Runs the command. signalFd: a signalfd for SIGINT and SIGTERM (anything that delivers
// signalfd_siginfo records), or -1. onStep, if given, runs after every turn of the event loop
// while the command runs, with its session (for tests that step the camera or the link timer).
int RunCopyTool(const CopyArgs& args, const ToolStreams& io, int signalFd = -1,
                const std::function<void(Session&)>& onStep = {});

} // namespace r8
