// SPDX-License-Identifier: MIT
#pragma once
// One exchange with the camera: a command and what came of it. The link keeps one exchange on
// the wire; a command asked for meanwhile waits for it, and whoever asked gets the answer
// together with the command it answers, or one of a few typed failures.
#include "Frames.h"

#include <array>
#include <cstdint>
#include <functional>

namespace r8 {

// P1..P15 of a command, or A1..A15 of an answer.
using Payload15 = std::array<uint8_t, kPayloadSize>;

// How an exchange ended. A closed set: each kind has one meaning.
enum class ExchangeError : uint8_t {
    None,        // answered with A1 = A0, or acknowledged by a command that has no answer frame
    ErrorAnswer, // answered, with A1 other than A0
    NoAnswer, // the answer time-out ran out twice (the link report " Serial Port not connected ")
    LinkLost, // the device went away, or the link was not up, before an answer came
};

// One word for messages and --json: "ok", "error answer", "no answer", "link lost".
const char* ExchangeErrorText(ExchangeError e);

struct Request {
    Payload15 p{}; // P1..Pn; the rest is sent as zero
    int n = 0;
    // P1..P(replaces) name the setting the command writes: while it waits, a newer request with
    // the same bytes there takes its place (a dragged bar sends its last position). 0: never
    // replaced. Requests that wait for a reply are never replaced.
    int replaces = 0;
};

struct Reply {
    ExchangeError error = ExchangeError::None;
    Payload15 command{};  // the command this answers
    Payload15 answer{};   // A1..A15; zero when no answer frame came
    bool ackOnly = false; // the camera's ACK ended the exchange (21 20 00, a reset)
    bool Ok() const { return error == ExchangeError::None; }
};

using ReplyFn = std::function<void(const Reply&)>;

// Whether an answer can be the answer to `command`: its A2 repeats the command's P2, and a good
// answer of the EEPROM and RAM words repeats the address P3:P4 in A3:A4, so that a late answer
// to an earlier word (the camera answered a request and its re-send) is not taken for the
// answer to the next one.
bool AnswerBelongs(const uint8_t* answer, const Payload15& command);

} // namespace r8
