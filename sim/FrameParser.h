// SPDX-License-Identifier: MIT
#pragma once
// The camera's receiver: splits the bytes from the line into control bytes, command frames and
// block frames. The caller gives the arrival time of each byte, so the gap rule runs on whatever
// clock the caller keeps (the line's, or a test's).
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace r8::sim {

using Clock = std::chrono::steady_clock;

struct RxUnit {
    enum class Kind {
        Control,   // one control byte: NUL, EOT, ENQ, ACK, DC1, NAK, SYN
        Command,   // 19-byte STX frame
        Block,     // SOH block frame
        Broken,    // a frame whose byte after the data is not ETX
        Abandoned, // a frame that stopped for longer than the gap
        Ignored,   // a byte between frames that is neither a frame start nor a control byte
    };
    Kind kind;
    std::vector<uint8_t> bytes;
    bool crcOk = false;     // Command and Block only
    Clock::time_point at{}; // when its last byte arrived (when it was given up, if abandoned)
};

class FrameParser {
public:
    // Longest pause between two bytes of one frame.
    static constexpr std::chrono::milliseconds kGap{500};

    // Takes one byte that arrived at `at` and appends the units it completes to `out`.
    void Feed(uint8_t b, Clock::time_point at, std::vector<RxUnit>& out);
    // When the unfinished frame will be given up, if there is one.
    std::optional<Clock::time_point> Deadline() const;
    // Gives up the unfinished frame if its gap is over at `now`.
    std::optional<RxUnit> Expire(Clock::time_point now);

private:
    void Start(uint8_t b, Clock::time_point at, std::vector<RxUnit>& out);

    std::vector<uint8_t> frame_; // empty between frames
    size_t expected_ = 0;        // whole frame length, once known
    Clock::time_point last_{};
};

} // namespace r8::sim
