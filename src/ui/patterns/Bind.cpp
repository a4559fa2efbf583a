#include "Bind.h"

#include "Catalogue.h"

namespace r8::ui {

Prefix WritePrefix(const SettingEntry& s) {
    Prefix p{0x21};
    for (int i = 0; i < s.key.size; ++i)
        p.push_back(s.key.bytes[static_cast<size_t>(i)]);
    return p;
}

void OnSettingAnswer(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show) {
    if (!s.shownOnRead) return;
    // A function without items (key of one byte) answers with any A3.
    const int item = s.key.size > 1 ? s.key.bytes[1] : kAnyItem;
    ctx.OnGroup(s.key.Function(), item, [&s, show = std::move(show)](const AnswerView& a) {
        if (AnswerCarries(s, a)) show(ReadValue(s, a));
    });
}

void OnSettingPage(RoomContext& ctx, const SettingEntry& s, std::function<void(int)> show) {
    if (s.inPage.at == 0) return;
    ctx.OnGroup(s.inPage.group, s.inPage.item, [&s, show = std::move(show)](const AnswerView& a) {
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

void Bind(RoomContext& ctx, const SettingEntry& s, RadioGroup* group) {
    SendOnClick(ctx, group, WritePrefix(s));
    OnSettingRead(ctx, s, [group](int v) { group->SetItemIndex(v); });
}

void Bind(RoomContext& ctx, const SettingEntry& s, CheckBox* box) {
    SendOnClick(ctx, box, WritePrefix(s));
    OnSettingRead(ctx, s, [box](int v) { box->SetChecked(v != 0); });
}

void Bind(RoomContext& ctx, const SettingEntry& s, ComboBox* box) {
    SendOnChange(ctx, box, WritePrefix(s));
    OnSettingRead(ctx, s, [box](int v) { box->SetItemIndex(v); });
}

} // namespace r8::ui
