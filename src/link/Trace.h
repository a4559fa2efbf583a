// SPDX-License-Identifier: MIT
#pragma once
// The traffic trace: every byte on the camera line, both ways, as text for service engineers.
//
// One line per unit, each with the time of day to the millisecond and the direction ("->" sent
// by this program, "<-" received from the camera):
//
// 14:02:07.118 -> ENQ
// 14:02:07.137 <- ACK
// 14:02:07.138 -> STX 31 60 00 00 00 00 00 00 00 00 00 00 00 00 00 ETX CRC ADF5 good
// 14:02:07.191 <- STX A0 60 02 01 FE 01 FE 01 FE 01 FE 01 FE 00 00 ETX CRC 60E6 bad, expected 6019
// 14:02:07.191 -> NAK
// 14:02:07.192 <- noise 07 41 9F
//
// A unit is a control byte (by name), a frame (header, payload in hexadecimal, ETX, the CRC it
// carries and whether that matches), the byte the receiver takes on its own after a good answer
// frame ("trailer"), or a run of bytes that belong to nothing ("noise"). Received bytes are cut
// into units the way the link's receiver does. Opening, closing and failed writes of the port
// appear as "==" lines.
//
// The trace is called on the thread that reads and writes the port and calls its sinks there.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace r8 {

class Trace {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    // Receives one line without its newline.
    using Sink = std::function<void(const std::string& line)>;

    // clock: the time of day of each line; the system clock if empty.
    explicit Trace(Clock clock = {});

    // Returns an id for RemoveSink.
    int AddSink(Sink sink);
    void RemoveSink(int id);
    bool Active() const { return !sinks_.empty(); }
    // A sink that writes each line with a newline to the stream and flushes it.
    static Sink ToStream(std::FILE* stream);

    void Sent(const uint8_t* bytes, size_t count);
    void Received(const uint8_t* bytes, size_t count);
    // One receive dispatch is over: a run of noise ends here, so that it shows at once.
    void ReceiveEnded();
    // A remark on the port ("open /dev/ttyS0", "write failed: ..."); ends pending noise first.
    void Note(const std::string& text);
    // Writes out what is pending (a frame cut short, noise) and starts both ways afresh; for a
    // port that closes.
    void Flush();

private:
    struct Way {
        explicit Way(bool isReceived) : received(isReceived) {}
        bool received;
        std::vector<uint8_t> frame; // header and the bytes after it; empty: no frame under way
        size_t length = 0;          // whole frame length; 0 while a block's kind is unknown
        std::vector<uint8_t> noise;
        bool trailerDue = false; // the byte after a good received frame
    };

    void feed(Way& way, uint8_t byte);
    void frameDone(Way& way);
    void endNoise(Way& way);
    void cutShort(Way& way);
    void writeLine(const Way* way, const std::string& text);

    Clock clock_;
    std::vector<std::pair<int, Sink>> sinks_;
    int nextId_ = 1;
    Way sent_{false};
    Way received_{true};
};

} // namespace r8
