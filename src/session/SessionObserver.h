// SPDX-License-Identifier: MIT
#pragma once
// What a front end shows of a session. Every call comes on the loop's thread.
#include <string>

namespace r8 {

class SessionObserver {
public:
    virtual ~SessionObserver() = default;

    // The page on show (0..6, the page groups); the session loads it and hands it the answers.
    virtual int ActivePage() const = 0;

    // Status bar panel 0..3: link state, last command, last answer, spare.
    virtual void StatusText(int /*panel*/, const std::string& /*text*/) {}
    // buttons: 0 OK, 1 OK and Cancel, 2 Abort, Retry and Ignore. The answer is not used.
    virtual void Message(const std::string& text, const std::string& caption, int buttons) = 0;
    // An exchange is outstanding (the busy cursor).
    virtual void Busy(bool /*on*/) {}
    // The link accepts operator commands (the tab control is enabled).
    virtual void LinkUp(bool /*on*/) {}
    // The tab panels are enabled at the end of a page load and disabled at its start.
    virtual void PanelsEnabled(bool /*on*/) {}
    // The count of queued load orders.
    virtual void OrderCount(int /*count*/) {}
    // A good answer was decoded and handed to the room on show.
    virtual void AnswerArrived() {}
    // A settings block has been handed to the port (the line needs about 2 s for it).
    virtual void BlockSent() {}
    // No answer came in time: the frame (after a block, the block) has been sent again.
    virtual void Resending(bool /*block*/) {}
    // The camera acknowledged the reset that ends a command-by-command copy.
    virtual void ResetAcknowledged() {}
    // The camera never answered the start-up enquiry: the session gives up.
    virtual void LinkLost() {}
    // The command on the wire was not answered within its time-out and retries: the link has
    // given up on it (and shown " Serial Port not connected "). Told before the rooms and the
    // reply.
    virtual void NoAnswer() {}
    // A burst of line errors ended: the message shown at its start came `more` times after
    // (the window has shown the count in status panel 3 meanwhile).
    virtual void Repeated(const std::string& /*text*/, const std::string& /*caption*/,
                          int /*more*/) {}
    // The line kept sending bytes that are no frames: the link is dropped and the port is
    // searched again (status panels 0 and 3 say so).
    virtual void LineGarbage(const std::string& /*text*/) {}
    // The port search could not use a port (its open failed): one line per port and search,
    // said as it happens; the give-up's message lists them all again.
    virtual void SearchNote(const std::string& /*text*/) {}
    // The busy cursor may have changed while the pointer rests over the front end.
    virtual void RefreshCursor() {}
};

} // namespace r8
