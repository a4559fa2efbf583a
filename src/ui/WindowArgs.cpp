// SPDX-License-Identifier: MIT
#include "WindowArgs.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace r8::ui {
namespace {

// Qt's own options (QGuiApplication, QApplication and the X11 platform), one dash or two.
struct QtOption {
    std::string_view name;
    bool value;
    std::string_view help;
};
constexpr std::array kQtOptions{
    QtOption{"platform", true, "window system plugin (xcb, wayland, offscreen)"},
    QtOption{"platformpluginpath", true, "where to look for window system plugins"},
    QtOption{"platformtheme", true, "platform theme plugin"},
    QtOption{"plugin", true, "an extra plugin to load"},
    QtOption{"display", true, "X display to use (instead of $DISPLAY)"},
    QtOption{"qwindowgeometry", true, "geometry of the main window (WxH+X+Y)"},
    QtOption{"geometry", true, "the same as -qwindowgeometry"},
    QtOption{"qwindowicon", true, "icon of the main window"},
    QtOption{"qwindowtitle", true, "title of the main window"},
    QtOption{"title", true, "the same as -qwindowtitle"},
    QtOption{"name", true, "application name for the window system"},
    QtOption{"session", true, "session to restore"},
    QtOption{"style", true, "widget style (Fusion, Windows)"},
    QtOption{"stylesheet", true, "style sheet file"},
    QtOption{"visual", true, "X visual"},
    QtOption{"qmljsdebugger", true, "QML debugger port"},
    QtOption{"reverse", false, "right-to-left layout"},
    QtOption{"widgetcount", false, "count the widgets at exit"},
    QtOption{"nograb", false, "never grab mouse or keyboard"},
    QtOption{"dograb", false, "grab even under a debugger"},
    QtOption{"sync", false, "synchronous X calls (debugging)"},
};

const QtOption* FindQtOption(std::string_view name) {
    const auto it = std::find_if(kQtOptions.begin(), kQtOptions.end(),
                                 [&](const QtOption& o) { return o.name == name; });
    return it == kQtOptions.end() ? nullptr : &*it;
}

} // namespace

WindowArgs ParseWindowArgs(const std::vector<std::string>& args) {
    WindowArgs out;
    auto fail = [&out](std::string text) {
        if (out.error.empty()) out.error = std::move(text);
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "-?" || arg == "--help") {
            out.help = true;
            continue;
        }
        if (arg == "--help-all") {
            out.help = out.helpAll = true;
            continue;
        }
        if (arg == "-v" || arg == "--version") {
            out.version = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            fail("unexpected argument '" + arg + "' (a port is named with --com1 PATH)");
            continue;
        }
        const bool twoDashes = arg.compare(0, 2, "--") == 0;
        std::string name = arg.substr(twoDashes ? 2 : 1);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        // The value of an option: after '=' or the next argument.
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            fail("option '" + arg + "' needs a value");
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                fail("option '--" + name + "' takes no value");
            else
                target = true;
        };
        if (twoDashes && name == "com1") {
            out.com1 = value();
        } else if (twoDashes && name == "com2") {
            out.com2 = value();
        } else if (twoDashes && name == "trace-file") {
            out.traceFile = value();
        } else if (twoDashes && name == "simulate") {
            flag(out.simulate);
        } else if (twoDashes && name == "trace") {
            flag(out.trace);
        } else if (const QtOption* qt = FindQtOption(name)) {
            if (qt->value) {
                const auto v = value();
                if (name == "platform" && v) out.platform = *v;
            } else if (inlineValue) {
                fail("option '" + arg + "' takes no value");
            }
        } else {
            fail("unknown option '" + arg + "'");
        }
    }
    return out;
}

std::string WindowUsage(const std::string& program, bool withQtOptions) {
    std::string text = "Usage: " + program + R"( [OPTION]...
Adjusts and services the R8V5MC CCD colour camera over a serial line.
Press Ctrl+Shift+P in the main window to enter the service access code.
The window needs a graphical session (DISPLAY or WAYLAND_DISPLAY set).

Without --com1 and --com2 the camera is searched on every serial port: the
port it last answered on, /dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*,
/dev/ttyS0, /dev/ttyS1. Camera > Port... lists them and takes another.

Options:
  --com1 PATH        Device of serial port 1, or socket://HOST:PORT or
                     rfc2217://HOST:PORT for a serial device server.
  --com2 PATH        Device of serial port 2 (default /dev/ttyS1), or a
                     network port.
  --simulate         Start a simulated camera on a pseudo-terminal and put it
                     on port 1.
  --trace            Write the traffic on the camera line to stderr: every
                     byte both ways, one line per control byte or frame, with
                     the time to the millisecond (also in Option > Traffic).
  --trace-file FILE  Write the same traffic trace into FILE.
  -h, --help         Show this help and end.
  --help-all         Show this help with the Qt options and end.
  -v, --version      Show the version and end.
)";
    if (withQtOptions) {
        text += "\nQt options (passed to Qt):\n";
        for (const QtOption& o : kQtOptions) {
            std::string left = "  -" + std::string(o.name) + (o.value ? " VALUE" : "");
            left.resize(std::max<size_t>(left.size() + 1, 27), ' ');
            text += left + std::string(o.help) + "\n";
        }
    }
    text += "\nSee r8v5mc(1) for the traffic trace and the exit status.\n";
    return text;
}

} // namespace r8::ui
