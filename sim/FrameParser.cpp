// SPDX-License-Identifier: MIT
#include "FrameParser.h"

#include "Crc.h"
#include "Frames.h"

namespace r8::sim {

namespace {

bool IsControl(uint8_t b) {
    return b == NUL || b == EOT || b == ENQ || b == ACK || b == DC1 || b == NAK || b == SYN;
}

bool CrcOk(const std::vector<uint8_t>& f) {
    const size_t n = f.size();
    return FrameCrc(f.data() + 1, n - 3) == (f[n - 2] << 8 | f[n - 1]);
}

} // namespace

void FrameParser::Start(uint8_t b, Clock::time_point at, std::vector<RxUnit>& out) {
    if (b == STX || b == SOH) {
        frame_.assign(1, b);
        expected_ = b == STX ? kCommandFrameSize : 0;
        last_ = at;
    } else {
        out.push_back(
            {IsControl(b) ? RxUnit::Kind::Control : RxUnit::Kind::Ignored, {b}, false, at});
    }
}

void FrameParser::Feed(uint8_t b, Clock::time_point at, std::vector<RxUnit>& out) {
    if (auto gone = Expire(at)) out.push_back(std::move(*gone));
    if (frame_.empty()) {
        Start(b, at, out);
        return;
    }
    frame_.push_back(b);
    last_ = at;
    if (frame_.size() == 2 && frame_[0] == SOH) expected_ = BlockDataLength(b) + 5;
    if (expected_ == 0) return;
    if (frame_.size() == expected_ - 2 && b != ETX) {
        // The frame is lost; a frame start in its place begins the next one.
        frame_.pop_back();
        out.push_back({RxUnit::Kind::Broken, std::move(frame_), false, at});
        frame_.clear();
        if (b == STX || b == SOH) Start(b, at, out);
        return;
    }
    if (frame_.size() == expected_) {
        RxUnit u{frame_[0] == STX ? RxUnit::Kind::Command : RxUnit::Kind::Block, std::move(frame_),
                 false, at};
        u.crcOk = CrcOk(u.bytes);
        out.push_back(std::move(u));
        frame_.clear();
    }
}

std::optional<Clock::time_point> FrameParser::Deadline() const {
    if (frame_.empty()) return std::nullopt;
    return last_ + kGap;
}

std::optional<RxUnit> FrameParser::Expire(Clock::time_point now) {
    if (frame_.empty() || now < last_ + kGap) return std::nullopt;
    RxUnit u{RxUnit::Kind::Abandoned, std::move(frame_), false, now};
    frame_.clear();
    return u;
}

} // namespace r8::sim
