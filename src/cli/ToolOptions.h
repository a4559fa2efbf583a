// SPDX-License-Identifier: MIT
#pragma once
// The options every command-line tool takes: the port, the simulated camera, the trace, help
// and version. A tool's own arguments derive from ToolOptions and parse their own words.
#include <functional>
#include <string>
#include <vector>

namespace r8 {

// R8V5MC_PORT, or "auto": the serial ports searched for the camera.
std::string DefaultToolPort();

struct ToolOptions {
    std::string port = DefaultToolPort();
    bool simulate = false;
    bool trace = false;    // the traffic trace on stderr
    std::string traceFile; // the traffic trace into this file
    bool json = false;     // results and errors as JSON on stdout (a tool that offers it)
    bool help = false;
    bool version = false;
    std::string error; // empty when the arguments are good
};

// Takes args[i] when it is one of the shared options (and its value, moving i on); false when
// it is not. A missing value sets o.error.
bool ParseToolOption(const std::vector<std::string>& args, size_t& i, ToolOptions& o);

// A tool's own option at args[i]: takes it (and its value, moving i on, or sets error) and says
// true, or says false for an option it does not know.
using OwnOption =
    std::function<bool(const std::vector<std::string>& args, size_t& i, std::string& error)>;

// Splits args into the shared options, the tool's own and the words (the command and its
// arguments, "-" among them). false when the parse ends there: an error set in o.error, --help,
// --version, or no command given ("no command given (COMMANDS)").
bool SplitToolArgs(const std::vector<std::string>& args, ToolOptions& o, const OwnOption& own,
                   const std::string& commands, std::vector<std::string>& words);

// "--name" or "--name=value".
bool IsOption(const std::string& arg, const std::string& name);
// The value of "--name value" or "--name=value" at args[i] (moving i past it); false, and error
// set to "NAME needs WHAT", when it is missing or empty.
bool OptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value, std::string& error, const char* what);

// The help text's lines for the shared options; more (whole lines) stands after --simulate.
std::string ToolOptionsUsage(const std::string& more = {});

} // namespace r8
