// SPDX-License-Identifier: MIT
#pragma once
// A multi-step operation that advances one step per answer (the save write-back, the defect
// search, a RAM dump, the IRIS steps), written as a table: each row names the answer it follows
// (group A2 and item A3, or every item) and what to do then, usually send the next command.
#include "Room.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace r8::ui {

struct ChainStep {
    uint8_t group;
    int item; // A3, or kAnyItem
    std::function<void(const AnswerView&)> then;
};

class AnswerChain {
public:
    explicit AnswerChain(std::vector<ChainStep> steps) : steps_(std::move(steps)) {}
    // Runs the first row that matches the answer; false when none does.
    bool Advance(const AnswerView& a) const {
        for (const auto& s : steps_)
            if (s.group == a.Group() && (s.item == kAnyItem || s.item == a.Item())) {
                s.then(a);
                return true;
            }
        return false;
    }

private:
    std::vector<ChainStep> steps_;
};

} // namespace r8::ui
