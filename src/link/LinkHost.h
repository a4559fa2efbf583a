// SPDX-License-Identifier: MIT
#pragma once
// What the link needs from the window around it. The window implements it; tests record it.
#include "Exchange.h"

#include <string>

namespace r8 {

class LinkHost {
public:
    virtual ~LinkHost() = default;

    // Status bar panel 0..3.
    virtual void SetStatusText(int panel, const std::string& text) = 0;
    // buttons: 1 = OK and Cancel, 2 = Abort, Retry and Ignore. The answer is not used.
    virtual void ShowMessage(const std::string& text, const std::string& caption, int buttons) = 0;
    virtual void SetPageControlEnabled(bool on) = 0;
    virtual void SetScreenCursor(bool busy) = 0;
    virtual void SetCursorTimerEnabled(bool on) = 0;
    virtual void SetSendTimerEnabled(bool on) = 0;
    // A block frame has gone out: the copy progress bar shows its maximum.
    virtual void CopyProgressToMax() = 0;

    // The camera acknowledged the start-up enquiry: load the page of the active tab.
    virtual void ReLoadClick() = 0;
    // A good answer (or the ACK standing for one) has been acknowledged: decode it and take
    // the next step of a running page sequence.
    virtual void AnswerArrived() = 0;
    // The camera acknowledged a reset that ends a command-by-command copy.
    virtual void CloseCopyFile() = 0;
    // The camera never answered the start-up enquiry: end the program.
    virtual void Terminate() = 0;
    // The port the search opens at its attempt n (1..15); 0: none this time (the port is
    // closed). Port 1 keeps the start-up period and attempts 1-3, then the ports alternate in
    // fours.
    virtual uint8_t SearchPort(int32_t attempt) { return (attempt / 4) % 2 == 1 ? 2 : 1; }
    // The answer time-out expired and the frame (a block: the block) has been sent again.
    virtual void Resending(bool /*block*/) {}
    // The second time-out was reported: the answer that was awaited will not come.
    virtual void AnswerLost() {}
    // A good answer that cannot be the answer to the command in flight was dropped.
    virtual void StaleAnswer(const uint8_t* /*answer*/, const Payload15& /*command*/) {}
};

} // namespace r8
