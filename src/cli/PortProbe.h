// SPDX-License-Identifier: MIT
#pragma once
// Which of the machine's serial ports has a camera: each is opened the way the serial component
// opens it (exclusive, locked; a port another program holds is left alone and called busy),
// sent one ENQ, and watched for the camera's ACK. All ports are probed at once, so the time is
// that of one port however many there are. Also the port the tools remember.
#include "PortCandidates.h"

#include <string>
#include <vector>

namespace r8 {

struct ProbeResult {
    enum class State { Answered, NoAnswer, Busy, Missing, Denied, NotSerial, Failed, Network };
    State state = State::NoAnswer;
    std::string text; // "PATH: busy. Another program is using it."
};

// "answered", "no answer", "busy", "missing", "permission", "not a serial port", "failed",
// "network (not probed)".
const char* ProbeStateName(ProbeResult::State s);

constexpr int kProbeMs = 500;

// One result per path, in order. firstOnly: ends as soon as the first port in order that
// answers is known (every port before it has failed or stayed silent). Network ports are not
// probed.
std::vector<ProbeResult> ProbePorts(const std::vector<std::string>& paths, int timeoutMs = kProbeMs,
                                    bool firstOnly = false);

// $XDG_CONFIG_HOME/r8v5mc/port (~/.config/r8v5mc/port without it): the port the camera last
// answered on for a tool; "" when none is kept.
std::string ToolPortFile();
std::string RememberedToolPort();
// Keeps path there; false when it cannot be written (the tool goes on).
bool RememberToolPort(const std::string& path);

// The search of --port auto, one round per call: the candidates listed afresh (the remembered
// port first), probed at once. A port's failure other than silence is said once (note).
class AutoPortSearch {
public:
    explicit AutoPortSearch(std::string root = ScanRoot(), int probeMs = kProbeMs);
    // The port that answered this round, or "".
    std::string Tick();
    // Every port tried so far with its last outcome, in the order first tried.
    std::vector<ProbeResult> Tried() const;
    // Failures to say now (busy, permission, ...), once per port; taken by the call.
    std::vector<std::string> TakeNotes();
    // The device the answering port stands for, when it differs (a by-id name).
    std::string DeviceOf(const std::string& path) const;

private:
    std::string root_;
    int probeMs_;
    std::string remembered_;
    std::vector<std::pair<std::string, ProbeResult>> tried_;
    std::vector<std::string> noted_, notes_;
    std::vector<PortCandidate> last_;
};

} // namespace r8
