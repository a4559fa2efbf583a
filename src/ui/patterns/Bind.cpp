// SPDX-License-Identifier: MIT
#include "Bind.h"

#include "Catalogue.h"
#include "HexText.h"

namespace r8::ui {

Prefix WritePrefix(const SettingEntry& s) {
    Prefix p{0x21};
    for (int i = 0; i < s.key.size; ++i)
        p.push_back(s.key.bytes[static_cast<size_t>(i)]);
    return p;
}

Prefix WriteTail(const SettingEntry& s) {
    return Prefix(s.tail.bytes.begin(), s.tail.bytes.begin() + s.tail.size);
}

void OnSettingAnswer(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show) {
    if (!s.shownOnRead) return;
    // A function without items (key of one byte) answers with any A3.
    const int item = s.key.size > 1 ? s.key.bytes[1] : kAnyItem;
    ctx.OnGroup(s.key.Function(), item, [&s, show = std::move(show)](const AnswerView& a) {
        if (!AnswerCarries(s, a)) return;
        const ReadBack quiet;
        show(ReadValue(s, a));
    });
}

void OnSettingPage(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show) {
    if (s.inPage.at == 0) return;
    ctx.OnGroup(s.inPage.group, s.inPage.item, [&s, show = std::move(show)](const AnswerView& a) {
        const ReadBack quiet;
        show(ValueIn(s, a, s.inPage.at));
    });
}

void OnSettingRead(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show) {
    OnSettingAnswer(ctx, s, show);
    OnSettingPage(ctx, s, std::move(show));
}

std::unique_ptr<DebouncedBar> Bind(RoomContext& ctx, const SettingEntry& s, TrackBar* bar,
                                   const char* timerName, DebouncedBar::OnBusy busy) {
    auto d = std::make_unique<DebouncedBar>(ctx, bar, WritePrefix(s), timerName, busy);
    OnSettingRead(ctx, s, [bar](int v) { bar->SetPosition(v); });
    return d;
}

namespace {

// A control whose sender keeps quiet while its read-back shows a value: what the camera
// reported is shown, never written back (a read outside a page load brings such answers).
void BindQuiet(RoomContext& ctx, const SettingEntry& s, Handler& event, std::function<int()> value,
               std::function<void(int)> show) {
    auto quiet = std::make_shared<bool>(false);
    SendBuilt(ctx, event, [&s, quiet, value = std::move(value)]() -> std::optional<Prefix> {
        if (*quiet) return std::nullopt;
        return WritePayload(s, value());
    });
    OnSettingRead(ctx, s, [quiet, show = std::move(show)](int v) {
        *quiet = true;
        show(v);
        *quiet = false;
    });
}

} // namespace

void Bind(RoomContext& ctx, const SettingEntry& s, RadioGroup* group) {
    BindQuiet(
        ctx, s, group->OnClick, [group] { return group->ItemIndex(); },
        [group](int v) { group->SetItemIndex(v); });
}

void Bind(RoomContext& ctx, const SettingEntry& s, CheckBox* box) {
    BindQuiet(
        ctx, s, box->OnClick, [box] { return box->Checked() ? 1 : 0; },
        [box](int v) { box->SetChecked(v != 0); });
}

void Bind(RoomContext& ctx, const SettingEntry& s, ComboBox* box) {
    BindQuiet(
        ctx, s, box->OnChange, [box] { return box->ItemIndex(); },
        [box](int v) { box->SetItemIndex(v); });
}

void Bind(RoomContext& ctx, const SettingEntry& s, Edit* edit, std::function<bool()> when) {
    auto showing = std::make_shared<bool>(false);
    SendOnCompleteHex(
        ctx, edit, WritePrefix(s),
        {.when = [showing, when = std::move(when)] { return !*showing && (!when || when()); },
         .after = WriteTail(s),
         .bytes = s.width});
    OnSettingRead(ctx, s, [&s, edit, showing](int v) {
        *showing = true;
        edit->SetText(
            QString::fromStdString(s.width == 2 ? HexWord(v) : HexByte(static_cast<uint8_t>(v))));
        *showing = false;
    });
}

} // namespace r8::ui
