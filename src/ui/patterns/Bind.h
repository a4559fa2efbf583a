// SPDX-License-Identifier: MIT
#pragma once
// Binds a control to a plain setting of the catalogue, in one line: the control sends its
// value with the setting's write and shows the setting's read-back (the answer to its read,
// when the window shows that, and its byte in the tab's page load). The send follows the
// control's pattern in Senders.h; the read-back sets the control from code inside a ReadBack,
// so what the camera reported is shown and never written back: no sender sends and no
// debounced bar is armed by it, in a page load or outside one.
//
// A control whose read-back does more than show the value (an interlocked pair, a group that
// enables others) takes the setting's WritePrefix for its sender and OnSettingAnswer /
// OnSettingPage for its own show function.
#include "SettingEntry.h"
#include "patterns/Senders.h"

#include <functional>
#include <memory>
#include <span>
#include <vector>

class QWidget;

namespace r8::ui {

// 21 key: the payload before the value.
Prefix WritePrefix(const SettingEntry& s);
// The bytes the write sends after the value (most settings have none).
Prefix WriteTail(const SettingEntry& s);

// show(value) runs, inside a ReadBack, for each good read answer to the setting's read (nothing
// when the entry is PageOnly) / for each page answer that holds the setting / for both.
void OnSettingAnswer(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show);
void OnSettingPage(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show);
void OnSettingRead(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show);

// A debounced bar (position), a radio group (item index), a check box (1/0), a drop-down list
// (item index). The bar's debouncer is returned for the part to keep. The radio group, check
// box and list show their read-back without sending it back.
std::unique_ptr<DebouncedBar> Bind(RoomContext& ctx, const SettingEntry& s, TrackBar* bar,
                                   const char* timerName,
                                   DebouncedBar::OnBusy busy = DebouncedBar::OnBusy::Retry);
void Bind(RoomContext& ctx, const SettingEntry& s, RadioGroup* group);
void Bind(RoomContext& ctx, const SettingEntry& s, CheckBox* box);
void Bind(RoomContext& ctx, const SettingEntry& s, ComboBox* box);
// A hexadecimal edit of two digits per value byte: a complete entry sends (SendOnCompleteHex),
// and `when`, if given, must also hold. The read-back shows the value and never sends it back.
void Bind(RoomContext& ctx, const SettingEntry& s, Edit* edit, std::function<bool()> when = {});

// Binds a room's plain settings by name, in one call: for each entry of the table whose control
// (SettingEntry::control) is found under form by its object name, the control takes the entry's
// range (a track bar), items (a radio group or a drop-down list) and caption (a radio group or a
// check box whose form leaves it empty), then is bound as Bind() above binds it. Entries listed
// in `own` are filled the same way but keep their send and read-back with the room (their
// read-back does more than show the value); track bars listed in `drop` drop a change that
// finds the link busy instead of retrying.
class BoundForm {
public:
    struct Options {
        std::vector<const SettingEntry*> own{};
        std::vector<const SettingEntry*> drop{};
    };
    BoundForm() = default;
    BoundForm(RoomContext& ctx, QWidget* form, std::span<const SettingEntry* const> table,
              const Options& options);
    BoundForm(RoomContext& ctx, QWidget* form, std::span<const SettingEntry* const> table)
        : BoundForm(ctx, form, table, Options{}) {}
    // The debouncer of a bound track bar; nullptr for any other entry.
    DebouncedBar* Bar(const SettingEntry& s) const;
    // The entries whose control was found.
    const std::vector<const SettingEntry*>& Bound() const { return bound_; }

private:
    std::vector<const SettingEntry*> bound_;
    std::vector<std::pair<const SettingEntry*, std::unique_ptr<DebouncedBar>>> bars_;
};

// Gives a control the entry's range, items and (where the form leaves it empty) caption.
void FillFromEntry(QWidget* control, const SettingEntry& s);

} // namespace r8::ui
