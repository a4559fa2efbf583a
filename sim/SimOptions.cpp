// SPDX-License-Identifier: MIT
#include "SimOptions.h"

#include "HexText.h"
#include "TcpBridge.h"

#include <charconv>
#include <string_view>

namespace r8::sim {

namespace {

bool ParseCount(std::string_view text, int& out) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < 0) return false;
    out = v;
    return true;
}

bool ParseTrailer(std::string_view text, uint8_t& out) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return false;
    int v = ParseHexByte(text);
    if (v < 0) return false;
    out = static_cast<uint8_t>(v);
    return true;
}

} // namespace

SimArgs ParseSimArgs(const std::vector<std::string>& args) {
    SimArgs r;
    SimOptions& o = r.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        auto flag = [&] {
            if (inlineValue) r.error = name + " takes no value";
            return inlineValue;
        };
        auto needValue = [&]() -> bool {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) {
                r.error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto count = [&](int& field) {
            if (needValue() && !ParseCount(value, field))
                r.error = name + ": not a count: " + value;
        };
        if (name == "--help" || name == "-h") {
            if (!flag()) r.help = true;
        } else if (name == "--version") {
            if (!flag()) r.version = true;
        } else if (name == "--pace") {
            if (!flag()) o.pace = true;
        } else if (name == "--trace") {
            if (!flag()) o.trace = true;
        } else if (name == "--silent-start") {
            if (!flag()) o.silentStart = true;
        } else if (name == "--tv") {
            if (needValue()) {
                if (value == "pal" || value == "ntsc")
                    o.ntsc = value == "ntsc";
                else
                    r.error = "--tv takes pal or ntsc";
            }
        } else if (name == "--resolution") {
            if (needValue()) {
                if (value == "hi" || value == "lo")
                    o.hiRes = value == "hi";
                else
                    r.error = "--resolution takes hi or lo";
            }
        } else if (name == "--corrupt-every") {
            count(o.corruptEvery);
        } else if (name == "--drop-every") {
            count(o.dropEvery);
        } else if (name == "--noise-every") {
            count(o.noiseEvery);
        } else if (name == "--lens-adjust-zeros") {
            count(o.lensAdjustZeros);
        } else if (name == "--eeprom") {
            if (needValue()) o.eepromFile = value;
        } else if (name == "--save-eeprom") {
            if (needValue()) o.saveEepromFile = value;
        } else if (name == "--link") {
            if (needValue()) o.linkPath = value;
        } else if (name == "--listen") {
            uint16_t port = 0;
            if (needValue() && !ParseListen(value, o.listenHost, port))
                r.error = "--listen takes [HOST:]PORT: " + value;
            o.listenPort = port;
        } else if (name == "--trailer") {
            if (needValue() && !ParseTrailer(value, o.trailer))
                r.error = "--trailer takes one byte in hexadecimal: " + value;
        } else {
            r.error = "unknown option " + args[i];
        }
        if (!r.error.empty()) return r;
    }
    return r;
}

std::string SimUsage(const std::string& program) {
    return "Usage: " + program + R"( [options]
Simulated R8V5MC camera on a pseudo-terminal. The first line on stdout is the path of the
terminal to open as the camera's serial port; with --listen the second is the network port
(socket://HOST:PORT). The camera runs until SIGINT or SIGTERM.

  --tv pal|ntsc          TV system the camera reports (default pal)
  --resolution hi|lo     sensor resolution the camera reports (default hi)
  --pace                 bytes take their real time at 9600 bit/s, both ways
  --trace                every frame both ways in hexadecimal on stderr
  --corrupt-every N      corrupt the CRC of every Nth answer frame
  --drop-every N         leave out every Nth answer frame (its ACK is still sent)
  --noise-every N        send noise bytes before every Nth answer frame
  --silent-start         do not answer the first ENQ
  --lens-adjust-zeros N  the lens adjustment answers 0 N times, then 1 (default 2)
  --eeprom FILE          load the EEPROM from a settings file
  --save-eeprom FILE     write the EEPROM to a settings file when the camera stops
  --trailer HEX          the byte sent after each answer frame (default FF)
  --link PATH            make PATH a symbolic link to the terminal while running
  --listen [HOST:]PORT   also serve the camera on TCP (raw; a new client takes over), on
                         127.0.0.1 unless HOST is given ("[::1]:PORT" for IPv6); port 0
                         takes a free port
  --help                 this text
  --version              the version
)";
}

} // namespace r8::sim
