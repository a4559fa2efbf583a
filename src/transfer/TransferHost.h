#pragma once
// What the transfer engine needs from the window.
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
    // The Easy page load starts with the white balance controls enabled.
    virtual void EnableWhiteBalanceControls() = 0;
    // Makes the window system re-evaluate the cursor shape if the pointer is over the window.
    virtual void RefreshCursor() = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption, int buttons) = 0;
    // Runs fn later on the window thread, after the current event has been handled.
    virtual void Post(std::function<void()> fn) = 0;

    // Answer handling: the common read decoder, the handler of the tab on the given page, and
    // the white-balance preset rule that runs after every answer.
    virtual void Trans_end_common() = 0;
    virtual void TabAnswer(int page) = 0;
    virtual void Trans_cstm_hidden() = 0;
};

} // namespace r8
