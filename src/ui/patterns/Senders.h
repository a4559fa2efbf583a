// SPDX-License-Identifier: MIT
#pragma once
// The ways a control sends its command, each built once. A tab declares its controls with these
// binders (control, payload prefix, options) instead of writing a handler per control. Every
// sender asks Trans_chk first and does nothing at all when it refuses; the camera's answer is
// handled by the rooms' decoders, never by the sender.
#include "Room.h"
#include "widgets/Controls.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

namespace r8::ui {

// Payload bytes P1..Pk that come before the value.
using Prefix = std::vector<uint8_t>;

// While a ReadBack lives, no sender of this file sends and no debounced bar is armed, as while
// Trans_chk refuses: a value the camera reported is being put into its control, and the event
// that setting it fires must not write it back. A read-back opens one around what it shows
// (Bind.h does so for every plain setting); sends the read-back makes itself (a chained read)
// go out through ctx.Send as before.
class ReadBack {
public:
    ReadBack() { ++depth_; }
    ~ReadBack() { --depth_; }
    ReadBack(const ReadBack&) = delete;
    ReadBack& operator=(const ReadBack&) = delete;
    static bool Showing() { return depth_ > 0; }

private:
    static inline int depth_ = 0;
};

// Sends prefix and then tail. With a tail, the prefix names the setting: a newer value for it
// replaces one still waiting behind the exchange on the wire.
void SendPayload(RoomContext& ctx, const Prefix& prefix, std::initializer_list<uint8_t> tail = {});
// The same, with P1..P(names) naming the setting (0: nothing replaces this command).
void SendSetting(RoomContext& ctx, const Prefix& prefix, std::initializer_list<uint8_t> tail,
                 int names);

// A track bar whose changes are sent once they settle. A change (operator or code) arms the
// timer unless a page sequence runs or a read-back shows the position; arming a running timer does
// not restart it, so a burst is sent once, with the position of the moment the timer fires.
class DebouncedBar {
public:
    enum class OnBusy {
        Retry, // the tick waits for Trans_chk, trying again every interval
        Drop,  // the tick sends at once without Trans_chk; a busy link drops the send
    };
    // The tick sends prefix + low byte of the position.
    DebouncedBar(RoomContext& ctx, TrackBar* bar, Prefix prefix, const char* timerName,
                 OnBusy busy = OnBusy::Retry, int intervalMs = 300);
    // The tick hands the position to act instead of sending (a bar that writes an edit).
    DebouncedBar(RoomContext& ctx, TrackBar* bar, std::function<void(int)> act,
                 const char* timerName, int intervalMs = 300);

    void Change(); // the bar's change handler
    void Tick();   // the timer's tick handler

    TrackBar* const Bar;
    Timer* const DebounceTimer;
    // An extra condition for arming (the bar's own enabled state, for one).
    std::function<bool()> ArmWhen;

private:
    RoomContext& ctx_;
    std::function<void(int)> act_;
    OnBusy busy_ = OnBusy::Retry;
};

// Sends prefix + value at once on every change: radio group (item index), check box (1/0),
// drop-down (item index). `when`, if given, must also hold.
void SendOnClick(RoomContext& ctx, RadioGroup* group, Prefix prefix,
                 std::function<bool()> when = {});
void SendOnClick(RoomContext& ctx, CheckBox* box, Prefix prefix);
void SendOnChange(RoomContext& ctx, ComboBox* box, Prefix prefix);
// A button that sends a fixed payload.
void SendOnClick(RoomContext& ctx, Button* button, Prefix payload);

// Disables the group (and `also`) and sends prefix + item index; the answer enables it again.
void SendDisablingSelf(RoomContext& ctx, RadioGroup* group, Prefix prefix,
                       std::vector<QWidget*> also = {});
// Disables the listed controls and sends the fixed payload.
void SendDisabling(RoomContext& ctx, Button* button, Prefix payload, std::vector<QWidget*> disable);

// One member of an interlocked pair: while the partner is enabled, the member disables itself
// and sends prefix + item index; the answer reads the partner back, and the partner's read-back
// enables the member again. While the partner is still disabled (its own read-back pending),
// a click only enables the partner.
void SendInterlocked(RoomContext& ctx, RadioGroup* group, RadioGroup* partner, Prefix prefix);

// An edit that acts only on complete entry: exactly MaxLength hexadecimal digits, sent as a
// 16-bit value high byte first (or one byte), then the bytes `after`. Anything else, including
// characters that are not hexadecimal digits, sends nothing. `when` must also hold; `before`
// runs just before the send.
struct HexEntry {
    std::function<bool()> when{};
    std::function<void()> before{};
    Prefix after{}; // bytes after the value: prefix, value, after
    int bytes = 2;  // the value's width on the wire: 2 (high byte first) or 1
};
void SendOnCompleteHex(RoomContext& ctx, Edit* edit, Prefix prefix, HexEntry options = {});

// Several edits that make one command: a change of any of them sends build(values), the values
// in the order of `edits`, once every one holds a complete hexadecimal entry; nothing otherwise.
// `when`, if given, must also hold (false while a read-back fills the edits one by one).
void SendOnCompleteHexGroup(RoomContext& ctx, std::vector<Edit*> edits,
                            std::function<Prefix(const std::vector<int>& values)> build,
                            std::function<bool()> when = {});

// A payload worked out when the event fires; std::nullopt means there is nothing to send.
using Build = std::function<std::optional<Prefix>()>;
// Binds the event (a control's OnClick or OnChange member) to: Trans_chk, build, send.
void SendBuilt(RoomContext& ctx, Handler& event, Build build);

// The value of a complete hexadecimal entry, or -1.
int CompleteHexValue(const Edit* edit);
// Sets the enabled state of each widget, in order.
void SetEnabled(const std::vector<QWidget*>& widgets, bool on);

} // namespace r8::ui
