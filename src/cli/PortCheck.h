// SPDX-License-Identifier: MIT
#pragma once
// The port of a command-line tool before and after: whether it can be opened now, and why it
// stopped working.
#include <string>

namespace r8 {

class TComm;

// "" when the device can be opened as a serial port now (for a network port: when its name is
// good), else one sentence naming it and why.
std::string CheckPort(const std::string& path);

// Why the port NAME stopped working, for a tool's last line: the network cause, or that the
// device went away.
std::string PortGoneText(const TComm& comm, const std::string& name);

} // namespace r8
