// SPDX-License-Identifier: MIT
#include "Trace.h"

#include "Crc.h"
#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <ctime>

namespace r8 {

namespace {

// A longer run of noise is cut into lines of this many bytes.
constexpr size_t kNoiseLine = 32;

std::string Spaced(const uint8_t* p, size_t n) {
    std::string s;
    s.reserve(n * 3);
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += HexByte(p[i]);
    }
    return s;
}

std::string NameOrHex(uint8_t byte) {
    const char* name = ControlName(byte);
    return name ? name : HexByte(byte);
}

std::string TimeOfDay(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0));
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>((ms % 1000 + 1000) % 1000));
    return text;
}

} // namespace

Trace::Trace(Clock clock) : clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

int Trace::AddSink(Sink sink) {
    sinks_.emplace_back(nextId_, std::move(sink));
    return nextId_++;
}

void Trace::RemoveSink(int id) {
    std::erase_if(sinks_, [id](const auto& s) { return s.first == id; });
}

Trace::Sink Trace::ToStream(std::FILE* stream) {
    return [stream](const std::string& line) {
        std::fputs(line.c_str(), stream);
        std::fputc('\n', stream);
        std::fflush(stream);
    };
}

void Trace::Sent(const uint8_t* bytes, size_t count) {
    endNoise(received_);
    for (size_t i = 0; i < count; ++i)
        feed(sent_, bytes[i]);
}

void Trace::Received(const uint8_t* bytes, size_t count) {
    endNoise(sent_);
    for (size_t i = 0; i < count; ++i)
        feed(received_, bytes[i]);
}

void Trace::ReceiveEnded() {
    endNoise(received_);
}

void Trace::Note(const std::string& text) {
    endNoise(sent_);
    endNoise(received_);
    writeLine(nullptr, text);
}

void Trace::Flush() {
    for (Way* way : {&sent_, &received_}) {
        endNoise(*way);
        cutShort(*way);
        way->trailerDue = false;
    }
}

// Mirrors the link's receiver: a header starts a frame of fixed length (a block sent by this
// program announces its length in its kind byte); a frame whose ETX is missing ends at that
// byte; after a good received frame the next byte is taken on its own.
void Trace::feed(Way& way, uint8_t byte) {
    if (!way.frame.empty()) {
        way.frame.push_back(byte);
        if (way.length == 0) { // a block's kind byte
            way.length = BlockDataLength(byte) + 5;
            return;
        }
        const size_t etxAt = way.length - 3;
        if (way.frame.size() == etxAt + 1 && byte != ETX) {
            if (Active())
                writeLine(&way, std::string(ControlName(way.frame[0])) + " " +
                                    Spaced(way.frame.data() + 1, etxAt - 1) + " " + HexByte(byte) +
                                    " instead of ETX");
            way.frame.clear();
            return;
        }
        if (way.frame.size() == way.length) frameDone(way);
        return;
    }
    if (way.trailerDue) {
        way.trailerDue = false;
        writeLine(&way, "trailer " + NameOrHex(byte));
        return;
    }
    if (byte == STX || byte == SOH) {
        endNoise(way);
        way.frame.assign(1, byte);
        if (byte == STX)
            way.length = kCommandFrameSize;
        else
            way.length = way.received ? 1 + kSohAnswerPayload + 3 : 0;
        return;
    }
    if (const char* name = ControlName(byte)) {
        endNoise(way);
        writeLine(&way, name);
        return;
    }
    way.noise.push_back(byte);
    if (way.noise.size() == kNoiseLine) endNoise(way);
}

void Trace::frameDone(Way& way) {
    const std::vector<uint8_t>& f = way.frame;
    const size_t n = f.size();
    const uint16_t carried = static_cast<uint16_t>(f[n - 2] << 8 | f[n - 1]);
    const uint16_t computed = FrameCrc(f.data() + 1, n - 3);
    if (Active()) {
        std::string text = std::string(ControlName(f[0])) + " " + Spaced(f.data() + 1, n - 4) +
                           " ETX CRC " + HexWord(carried);
        text += carried == computed ? " good" : " bad, expected " + HexWord(computed);
        writeLine(&way, text);
    }
    way.trailerDue = way.received && carried == computed;
    way.frame.clear();
}

void Trace::endNoise(Way& way) {
    if (way.noise.empty()) return;
    writeLine(&way, "noise " + Spaced(way.noise.data(), way.noise.size()));
    way.noise.clear();
}

void Trace::cutShort(Way& way) {
    if (way.frame.empty()) return;
    // Appended piece by piece: "literal" + std::string&& draws a false -Wrestrict from GCC 12
    // at -O3.
    std::string text = ControlName(way.frame[0]);
    if (way.frame.size() > 1) {
        text += ' ';
        text += Spaced(way.frame.data() + 1, way.frame.size() - 1);
    }
    text += " cut short after ";
    text += std::to_string(way.frame.size());
    text += " bytes";
    writeLine(&way, text);
    way.frame.clear();
}

void Trace::writeLine(const Way* way, const std::string& text) {
    if (sinks_.empty()) return;
    const std::string line =
        TimeOfDay(clock_()) + (way ? (way->received ? " <- " : " -> ") : " == ") + text;
    // A sink may remove itself or another one while it runs.
    const auto sinks = sinks_;
    for (const auto& s : sinks)
        s.second(line);
}

} // namespace r8
