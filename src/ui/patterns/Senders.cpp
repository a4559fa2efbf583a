// SPDX-License-Identifier: MIT
#include "Senders.h"

#include "HexText.h"

namespace r8::ui {

void SendPayload(RoomContext& ctx, const Prefix& prefix, std::initializer_list<uint8_t> tail) {
    SendSetting(ctx, prefix, tail, tail.size() == 0 ? 0 : static_cast<int>(prefix.size()));
}

void SendSetting(RoomContext& ctx, const Prefix& prefix, std::initializer_list<uint8_t> tail,
                 int names) {
    Request r;
    for (uint8_t b : prefix)
        if (r.n < static_cast<int>(kPayloadSize)) r.p[static_cast<size_t>(r.n++)] = b;
    for (uint8_t b : tail)
        if (r.n < static_cast<int>(kPayloadSize)) r.p[static_cast<size_t>(r.n++)] = b;
    // Only a write names a setting that a newer value may replace.
    r.replaces = r.p[0] == 0x21 ? names : 0;
    ctx.Exchange(r);
}

namespace {
uint8_t Low(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}
// What every sender asks first: no read-back is being shown and Trans_chk accepts.
bool MaySend(RoomContext& ctx) {
    return !ReadBack::Showing() && ctx.Trans_chk();
}
} // namespace

DebouncedBar::DebouncedBar(RoomContext& ctx, TrackBar* bar, Prefix prefix, const char* timerName,
                           OnBusy busy, int intervalMs)
    : DebouncedBar(
          ctx, bar,
          [&ctx, prefix = std::move(prefix)](int v) { SendPayload(ctx, prefix, {Low(v)}); },
          timerName, intervalMs) {
    busy_ = busy;
}

DebouncedBar::DebouncedBar(RoomContext& ctx, TrackBar* bar, std::function<void(int)> act,
                           const char* timerName, int intervalMs)
    : Bar(bar), DebounceTimer(new Timer(bar, intervalMs, false)), ctx_(ctx), act_(std::move(act)) {
    DebounceTimer->setObjectName(timerName);
    bar->OnChange = [this] { Change(); };
    DebounceTimer->OnTimer = [this] { Tick(); };
}

void DebouncedBar::Change() {
    if (ctx_.TransStep() != 0 || ReadBack::Showing()) return;
    if (ArmWhen && !ArmWhen()) return;
    DebounceTimer->SetEnabled(true);
}

void DebouncedBar::Tick() {
    if (busy_ == OnBusy::Retry && !ctx_.Trans_chk()) return;
    DebounceTimer->SetEnabled(false);
    act_(Bar->Position());
}

void SendOnClick(RoomContext& ctx, RadioGroup* group, Prefix prefix, std::function<bool()> when) {
    group->OnClick = [&ctx, group, prefix = std::move(prefix), when = std::move(when)] {
        if (!MaySend(ctx)) return;
        if (when && !when()) return;
        SendPayload(ctx, prefix, {Low(group->ItemIndex())});
    };
}

void SendOnClick(RoomContext& ctx, CheckBox* box, Prefix prefix) {
    box->OnClick = [&ctx, box, prefix = std::move(prefix)] {
        if (!MaySend(ctx)) return;
        SendPayload(ctx, prefix, {static_cast<uint8_t>(box->Checked() ? 1 : 0)});
    };
}

void SendOnChange(RoomContext& ctx, ComboBox* box, Prefix prefix) {
    box->OnChange = [&ctx, box, prefix = std::move(prefix)] {
        if (!MaySend(ctx)) return;
        SendPayload(ctx, prefix, {Low(box->ItemIndex())});
    };
}

void SendOnClick(RoomContext& ctx, Button* button, Prefix payload) {
    button->OnClick = [&ctx, payload = std::move(payload)] {
        if (!MaySend(ctx)) return;
        SendPayload(ctx, payload);
    };
}

void SendDisablingSelf(RoomContext& ctx, RadioGroup* group, Prefix prefix,
                       std::vector<QWidget*> also) {
    group->OnClick = [&ctx, group, prefix = std::move(prefix), also = std::move(also)] {
        if (!MaySend(ctx)) return;
        group->setEnabled(false);
        SetEnabled(also, false);
        SendPayload(ctx, prefix, {Low(group->ItemIndex())});
    };
}

void SendDisabling(RoomContext& ctx, Button* button, Prefix payload,
                   std::vector<QWidget*> disable) {
    button->OnClick = [&ctx, payload = std::move(payload), disable = std::move(disable)] {
        if (!MaySend(ctx)) return;
        SetEnabled(disable, false);
        SendPayload(ctx, payload);
    };
}

void SendInterlocked(RoomContext& ctx, RadioGroup* group, RadioGroup* partner, Prefix prefix) {
    group->OnClick = [&ctx, group, partner, prefix = std::move(prefix)] {
        if (!MaySend(ctx)) return;
        if (!partner->isEnabled()) {
            partner->setEnabled(true);
            return;
        }
        group->setEnabled(false);
        SendPayload(ctx, prefix, {Low(group->ItemIndex())});
    };
}

int CompleteHexValue(const Edit* edit) {
    const std::string text = edit->Text().toStdString();
    if (static_cast<int>(text.size()) != edit->maxLength()) return -1;
    for (char c : text)
        if (HexDigitValue(c) < 0) return -1;
    return ParseHex(text);
}

void SendOnCompleteHex(RoomContext& ctx, Edit* edit, Prefix prefix, HexEntry options) {
    edit->OnChange = [&ctx, edit, prefix = std::move(prefix), options = std::move(options)] {
        if (!MaySend(ctx)) return;
        const int v = CompleteHexValue(edit);
        if (v < 0) return;
        if (options.when && !options.when()) return;
        if (options.before) options.before();
        Prefix payload = prefix;
        if (options.bytes == 2) payload.push_back(Low(v >> 8));
        payload.push_back(Low(v));
        payload.insert(payload.end(), options.after.begin(), options.after.end());
        SendSetting(ctx, payload, {}, static_cast<int>(prefix.size()));
    };
}

void SendOnCompleteHexGroup(RoomContext& ctx, std::vector<Edit*> edits,
                            std::function<Prefix(const std::vector<int>&)> build,
                            std::function<bool()> when) {
    auto send = [&ctx, edits, build = std::move(build), when = std::move(when)] {
        if (!MaySend(ctx)) return;
        if (when && !when()) return;
        std::vector<int> values;
        for (const Edit* e : edits) {
            values.push_back(CompleteHexValue(e));
            if (values.back() < 0) return;
        }
        SendPayload(ctx, build(values));
    };
    for (Edit* e : edits)
        e->OnChange = send;
}

void SendBuilt(RoomContext& ctx, Handler& event, Build build) {
    event = [&ctx, build = std::move(build)] {
        if (!MaySend(ctx)) return;
        if (const auto payload = build()) SendPayload(ctx, *payload);
    };
}

void SetEnabled(const std::vector<QWidget*>& widgets, bool on) {
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

} // namespace r8::ui
