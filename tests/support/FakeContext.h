// SPDX-License-Identifier: MIT
#pragma once
// A room context without a session: Trans_chk and TransStep as the test sets them, and every
// command sent kept as its payload P1..Pn in hexadecimal.
#include "Room.h"

#include <string>
#include <vector>

namespace r8::test {

class FakeContext : public RoomContext {
public:
    bool Trans_chk() const override { return step == 0 && !busy; }
    int32_t TransStep() const override { return step; }
    CommandFrame& SendFrame() override { return frame; }
    void StxCommand(int n) override {
        if (busy) return; // a busy link sends nothing
        std::string s;
        for (int i = 1; i <= n; ++i) {
            static const char* d = "0123456789ABCDEF";
            s += d[frame[static_cast<size_t>(i)] >> 4];
            s += d[frame[static_cast<size_t>(i)] & 15];
        }
        sent.push_back(s);
    }
    AnswerView Answer() const override { return AnswerView(frame.data() + 1, frame.data() + 1); }
    CameraState& State() override { return state; }
    void ReLoadClick() override {}
    int ActivePage() const override { return page; }
    void ShowMessage(const std::string&, const std::string&, int) override {}
    void OnGroup(uint8_t, int, GroupDecoder) override {}
    void OnResolution(std::function<void(bool)>) override {}
    void OnTvSystem(std::function<void(bool)>) override {}

    int page = kEasyGroup;
    int32_t step = 0;
    bool busy = false;
    CommandFrame frame{};
    CameraState state;
    std::vector<std::string> sent;
};

} // namespace r8::test
