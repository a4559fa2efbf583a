// SPDX-License-Identifier: MIT
#pragma once
// What the transfer engine needs from the window.
#include <cstdint>
#include <functional>
#include <string>

namespace r8 {

class TransferHost {
public:
    virtual ~TransferHost() = default;

    // Index of the active page of the tab control (0..6).
    virtual int ActivePage() const = 0;
    // The six tab panels, always in the order Adjust, Debug, CCD Defect, Copy, Easy, Line.
    virtual void SetTabPanelsEnabled(bool on) = 0;
    // The hidden label that counts queued load orders.
    virtual void ShowOrderCount(int count) = 0;
    // The page sequence of `group` is about to send its first request.
    virtual void PageStarting(uint8_t group) = 0;
    // Makes the window system re-evaluate the cursor shape if the pointer is over the window.
    virtual void RefreshCursor() = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption, int buttons) = 0;
    // Runs fn later on the window thread, after the current event has been handled.
    virtual void Post(std::function<void()> fn) = 0;

    // Answer handling: the common read decoder, the handler of the tab on the given page, and
    // what the window does after every answer.
    virtual void Trans_end_common() = 0;
    virtual void TabAnswer(int page) = 0;
    virtual void AnswerHandled() = 0;
};

} // namespace r8
