// SPDX-License-Identifier: MIT
#include "ToolOptions.h"

#include <cstdlib>

namespace r8 {

std::string DefaultToolPort() {
    const char* port = std::getenv("R8V5MC_PORT");
    return port && *port ? port : "auto";
}

bool IsOption(const std::string& arg, const std::string& name) {
    return arg == name || arg.starts_with(name + "=");
}

bool OptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value, std::string& error, const char* what) {
    const std::string& a = args[i];
    if (a.size() > name.size())
        value = a.substr(name.size() + 1);
    else if (i + 1 < args.size())
        value = args[++i];
    else
        value.clear();
    if (value.empty()) error = name + " needs " + what;
    return error.empty();
}

bool ParseToolOption(const std::vector<std::string>& args, size_t& i, ToolOptions& o) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h")
        o.help = true;
    else if (a == "--version")
        o.version = true;
    else if (a == "--simulate")
        o.simulate = true;
    else if (a == "--trace")
        o.trace = true;
    else if (IsOption(a, "--port"))
        OptionValue(args, i, "--port", o.port, o.error, "a device path");
    else if (IsOption(a, "--trace-file"))
        OptionValue(args, i, "--trace-file", o.traceFile, o.error, "a file");
    else
        return false;
    return true;
}

bool SplitToolArgs(const std::vector<std::string>& args, ToolOptions& o, const OwnOption& own,
                   const std::string& commands, std::vector<std::string>& words) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (ParseToolOption(args, i, o) || own(args, i, o.error)) {
        } else if (a.starts_with("-") && a != "-") {
            o.error = "unknown option " + a;
        } else {
            words.push_back(a);
        }
        if (!o.error.empty()) return false;
    }
    if (o.help || o.version) return false;
    if (words.empty()) {
        o.error = "no command given (" + commands + ")";
        return false;
    }
    return true;
}

std::string ToolOptionsUsage(const std::string& more) {
    return R"(  --port PATH    serial device of the camera, or a serial device server:
                 socket://HOST:PORT (raw TCP) or rfc2217://HOST:PORT; auto (the default
                 unless R8V5MC_PORT names a port) probes every serial port and takes the
                 one where the camera answers, the port it last answered on first
  --simulate     use a simulated camera instead of a serial device
)" + more + R"(  --trace        trace the line on stderr: every byte both ways, one line per control
                 byte or frame, with the time to the millisecond and the CRC checked
  --trace-file FILE  the same trace into FILE
  --help         this text
  --version      the program's version
)";
}

} // namespace r8
