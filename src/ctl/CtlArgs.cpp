// SPDX-License-Identifier: MIT
#include "CtlArgs.h"

namespace r8 {

CtlArgs ParseCtlArgs(const std::vector<std::string>& args) {
    CtlArgs r;
    std::vector<std::string> words;
    const auto own = [&r](const std::vector<std::string>& all, size_t& i, std::string& error) {
        if (all[i] == "--json")
            r.json = true;
        else if (IsOption(all[i], "--page"))
            OptionValue(all, i, "--page", r.page, error, "a page name");
        else
            return false;
        return true;
    };
    if (!SplitToolArgs(args, r, own, "list, get, set, dump, apply, raw or ports", words)) return r;
    const std::string command = words[0];
    r.words.assign(words.begin() + 1, words.end());
    const size_t n = r.words.size();
    if (command == "list" || command == "dump") {
        r.op = command == "list" ? CtlArgs::Op::List : CtlArgs::Op::Dump;
        if (n != 0) r.error = command + " takes no arguments (--page NAME for one page)";
    } else if (command == "get") {
        r.op = CtlArgs::Op::Get;
        if (n == 0) r.error = "get needs one or more setting names";
    } else if (command == "set") {
        r.op = CtlArgs::Op::Set;
        if (n == 0) r.error = "set needs one or more NAME=VALUE";
    } else if (command == "apply") {
        r.op = CtlArgs::Op::Apply;
        if (n != 1) r.error = "apply takes one file (- for standard input)";
    } else if (command == "raw") {
        r.op = CtlArgs::Op::Raw;
        if (n == 0) r.error = "raw needs the command's payload bytes in hexadecimal";
    } else if (command == "ports") {
        r.op = CtlArgs::Op::Ports;
        if (n != 0) r.error = "ports takes no arguments";
    } else {
        r.error = "unknown command " + command;
    }
    if (r.error.empty() && !r.page.empty() && r.op != CtlArgs::Op::List &&
        r.op != CtlArgs::Op::Dump)
        r.error = "--page goes with list and dump only";
    return r;
}

std::string CtlUsage(const std::string& program) {
    const std::string p = program;
    return "Usage: " + p + " [options] list [--page NAME]\n       " + p +
           " [options] get NAME...\n       " + p + " [options] set NAME=VALUE...\n       " + p +
           " [options] dump [--page NAME]\n       " + p + " [options] apply FILE\n       " + p +
           " [options] raw HEX...\n       " + p + R"( ports [--json]
Lists, reads and sets the settings of an R8V5MC camera by name.

  list           every setting: name, kind, current value, range or choices
  get NAME...    NAME=VALUE for each setting named
  set NAME=VALUE...
                 checks every value first (nothing is sent if one is refused), then sends
                 them in order and reads each back
  dump           every setting as NAME=VALUE lines, a profile for apply
  apply FILE     sets the settings of a profile (NAME=VALUE lines, # comments)
  raw HEX...     sends one command (payload bytes P1.., e.g. 31 1A 01) and prints the
                 answer A1..A15, for service work
  ports          every serial port where a camera may be: its stable name, device, USB
                 adapter and whether a camera answered (one ENQ, within half a second;
                 a busy port is reported busy and left alone)

Values: int settings in decimal; choices by the window's item text (any case) or index;
bool settings on or off; hex settings in hexadecimal as the window
shows them (two digits a byte, up to four a word).

  --page NAME    list or dump one page: easy, mask, adjust, debug, defect, line
  --json         print JSON instead of text
)" + ToolOptionsUsage() +
           R"(
Exit status: 0 done (ports: a camera answered on one); 1 the camera answered an error or a value read back differs; 2 usage,
port, file or value error (nothing sent); 3 no camera answered (ports: on none) or the link was
lost; 130 / 143
stopped by SIGINT / SIGTERM.
)";
}

} // namespace r8
