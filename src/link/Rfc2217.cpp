// SPDX-License-Identifier: MIT
#include "Rfc2217.h"

namespace r8::rfc2217 {

namespace {

constexpr size_t kMaxSub = 64;

void appendSub(std::vector<uint8_t>& out, uint8_t command, std::initializer_list<uint8_t> value) {
    out.insert(out.end(), {IAC, SB, kComPort, command});
    for (uint8_t b : value) {
        out.push_back(b);
        if (b == IAC) out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, SE});
}

} // namespace

void AppendEscaped(const uint8_t* data, size_t n, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < n; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC) out.push_back(IAC);
    }
}

std::vector<uint8_t> Offer() {
    return {IAC, WILL, kComPort};
}

std::vector<uint8_t> LineRequests(const LineRequest& line) {
    std::vector<uint8_t> out;
    const uint32_t b = line.baud;
    appendSub(out, kSetBaudRate,
              {static_cast<uint8_t>(b >> 24), static_cast<uint8_t>(b >> 16),
               static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)});
    appendSub(out, kSetDataSize, {line.dataSize});
    appendSub(out, kSetParity, {line.parity});
    appendSub(out, kSetStopSize, {line.stopSize});
    appendSub(out, kSetControl, {line.control});
    appendSub(out, kSetControl, {8}); // DTR on
    appendSub(out, kSetModemStateMask, {kModemLines});
    return out;
}

int64_t Decoder::Answered(uint8_t request) const {
    if (request < kSetBaudRate || request > kSetControl) return -1;
    return answered_[request];
}

void Decoder::Feed(const uint8_t* in, size_t n, std::vector<uint8_t>& data,
                   std::vector<uint8_t>& replies) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = in[i];
        switch (state_) {
        case State::Data:
            if (c == IAC)
                state_ = State::Iac;
            else
                data.push_back(c);
            break;
        case State::Iac:
            command(c, data);
            break;
        case State::Option:
            option(verb_, c, replies);
            state_ = State::Data;
            break;
        case State::Sub:
            if (c == IAC) {
                state_ = State::SubIac;
            } else if (sub_.size() < kMaxSub) {
                sub_.push_back(c);
            } else {
                subOverflow_ = true;
            }
            break;
        case State::SubIac:
            if (c == SE) {
                if (!subOverflow_) subnegotiation();
                state_ = State::Data;
            } else if (c == IAC) {
                if (sub_.size() < kMaxSub)
                    sub_.push_back(IAC);
                else
                    subOverflow_ = true;
                state_ = State::Sub;
            } else {
                // A command inside a subnegotiation: the subnegotiation was cut off. What came
                // of it is dropped and the command is taken as it stands, so that the option
                // byte of an IAC WILL never reaches the data.
                command(c, data);
            }
            break;
        }
    }
}

// The byte after an IAC.
void Decoder::command(uint8_t c, std::vector<uint8_t>& data) {
    if (c == IAC) {
        data.push_back(IAC);
        state_ = State::Data;
    } else if (c == WILL || c == WONT || c == DO || c == DONT) {
        verb_ = c;
        state_ = State::Option;
    } else if (c == SB) {
        sub_.clear();
        subOverflow_ = false;
        state_ = State::Sub;
    } else {
        state_ = State::Data; // NOP, GA, DM, a stray SE: nothing to do
    }
}

// The client offers COM-PORT-OPTION itself (Offer) and takes BINARY and SUPPRESS-GO-AHEAD both
// ways; it refuses every other option, ECHO included, so that nothing of its own comes back.
void Decoder::option(uint8_t verb, uint8_t opt, std::vector<uint8_t>& replies) {
    const bool wanted = opt == kBinary || opt == kSuppressGoAhead;
    switch (verb) {
    case DO:
        if (opt == kComPort) {
            if (comPort_ != ComPort::Agreed) comPort_ = ComPort::Agreed;
        } else if (wanted) {
            if (!weDo_[opt]) replies.insert(replies.end(), {IAC, WILL, opt});
            weDo_[opt] = true;
        } else {
            replies.insert(replies.end(), {IAC, WONT, opt});
        }
        break;
    case DONT:
        if (opt == kComPort) comPort_ = ComPort::Refused;
        if (weDo_[opt]) replies.insert(replies.end(), {IAC, WONT, opt});
        weDo_[opt] = false;
        break;
    case WILL:
        if (wanted) {
            if (!theyDo_[opt]) replies.insert(replies.end(), {IAC, DO, opt});
            theyDo_[opt] = true;
        } else {
            replies.insert(replies.end(), {IAC, DONT, opt});
        }
        break;
    case WONT:
        if (theyDo_[opt]) replies.insert(replies.end(), {IAC, DONT, opt});
        theyDo_[opt] = false;
        break;
    default:
        break;
    }
}

void Decoder::subnegotiation() {
    if (sub_.size() < 2 || sub_[0] != kComPort) return;
    const uint8_t code = sub_[1];
    const size_t len = sub_.size() - 2;
    const uint8_t* v = sub_.data() + 2;
    if (code == kServerOffset + kNotifyModemState && len >= 1) {
        modemState_ = v[0];
    } else if (code == kServerOffset + kSetBaudRate && len >= 4) {
        answered_[kSetBaudRate] = (int64_t{v[0]} << 24) | (v[1] << 16) | (v[2] << 8) | v[3];
    } else if (code == kServerOffset + kSetControl && len >= 1) {
        if (v[0] <= 3) answered_[kSetControl] = v[0]; // flow control, not DTR, RTS or break
    } else if (code > kServerOffset + kSetBaudRate && code < kServerOffset + kSetControl &&
               len >= 1) {
        answered_[code - kServerOffset] = v[0];
    }
}

} // namespace r8::rfc2217
