// SPDX-License-Identifier: MIT
#pragma once
// The main window on a scripted port, past start-up, with the Easy page loaded from answers the
// test chooses. Tests act on controls, then read what went out (Sent) and answer it (Answer,
// Ack) exactly as the camera would; timer handlers are called directly.
#include "FakePort.h"
#include "Frames.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "tabs/EasyTab.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace r8::test {

// Payload bytes in hexadecimal, no separators, as the status bar shows them.
inline std::string HexPayload(const uint8_t* p, size_t n) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

class EasyWindow : public ::testing::Test {
protected:
    using Bytes = std::vector<uint8_t>;

    // blocks[k] = A3..A15 of Easy block k (A3 = k is filled in); reg0151 = A5 of that answer.
    void SetUp() override {
        window = std::make_unique<ui::TFR8V2>(&port);
        window->FormCreate();
        port.Deliver({ACK}); // first ACK: the Easy page load starts
    }
    // Answers the running page load: block k gets A4.. from blocks[k] (missing bytes zero).
    void LoadEasyPage(const std::vector<Bytes>& blocks = {}, uint8_t reg0151High = 0) {
        for (int k = 0; k < 10; ++k) {
            Bytes a = {0xA0, 0x60, static_cast<uint8_t>(k)};
            if (k < static_cast<int>(blocks.size()))
                a.insert(a.end(), blocks[k].begin(), blocks[k].end());
            AckAndAnswer(a);
        }
        AckAndAnswer({0xA0, 0x0C, 0x01, 0x51, reg0151High, 0x00});
        ASSERT_EQ(window->Loader().TransStep, 0);
        port.ClearWritten();
    }
    // ACK of the last command, then the answer frame A1..A15 (shorter: zero padded).
    void AckAndAnswer(const Bytes& a) {
        port.Deliver({ACK});
        Answer(a);
    }
    void Answer(const Bytes& a) {
        Bytes p = a;
        p.resize(15, 0);
        auto f = MakeStxFrame(p.data(), 15);
        port.Deliver({f.begin(), f.end()});
    }
    void Ack() { port.Deliver({ACK}); }
    // Answers what is on the wire (and what its answers send) with a good answer that repeats
    // the command's P2.., until nothing is: one exchange is on the wire at a time.
    // The camera leaves what is on the wire unanswered: nothing waits for it any more.
    void GiveUp() { window->Link().DropExchanges(ExchangeError::NoAnswer); }
    void Settle() {
        for (int i = 0; i < 8 && window->Link().InFlight(); ++i) {
            const auto& f = window->Link().SendFrame;
            Bytes a{0xA0};
            a.insert(a.end(), f.begin() + 2, f.begin() + 16);
            AckAndAnswer(a);
        }
    }
    // Payloads P1..P15 of the command frames written since the last ClearWritten, in hex.
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& w : port.writes)
            if (w.size() == kCommandFrameSize) out.push_back(HexPayload(w.data() + 1, 15));
        return out;
    }
    // P1..Pn of the last frame sent, in hex ("" if none).
    std::string Last(size_t n) const {
        const auto s = Sent();
        return s.empty() ? std::string() : s.back().substr(0, 2 * n);
    }
    ui::EasyTab& Easy() { return *window->Easy; }

    RecordingSink sink;
    FakePort port;
    std::unique_ptr<ui::TFR8V2> window;
};

} // namespace r8::test
