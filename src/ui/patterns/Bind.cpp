// SPDX-License-Identifier: MIT
#include "Bind.h"

#include "Catalogue.h"
#include "HexText.h"

#include <algorithm>
#include <stdexcept>
#include <string>

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

namespace {

QStringList ItemTexts(const SettingEntry& s) {
    QStringList items;
    for (std::string_view t : s.items)
        items << QString::fromUtf8(t.data(), static_cast<int>(t.size()));
    return items;
}

QString Caption(const SettingEntry& s) {
    return QString::fromUtf8(s.caption.data(), static_cast<int>(s.caption.size()));
}

bool Listed(const std::vector<const SettingEntry*>& list, const SettingEntry* s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

} // namespace

void FillFromEntry(QWidget* control, const SettingEntry& s) {
    if (auto* bar = qobject_cast<TrackBar*>(control)) {
        bar->SetMax(s.max);
        bar->SetMin(s.min);
    } else if (auto* group = qobject_cast<RadioGroup*>(control)) {
        // A button's text takes '&' for its shortcut mark: "&&" shows one.
        if (s.kind == SettingKind::Choice)
            group->SetItems(ItemTexts(s).replaceInStrings("&", "&&"));
        if (group->title().isEmpty()) group->setTitle(Caption(s));
    } else if (auto* list = qobject_cast<ComboBox*>(control)) {
        list->clear();
        list->addItems(ItemTexts(s));
        list->SetItemIndex(-1);
    } else if (auto* box = qobject_cast<CheckBox*>(control)) {
        if (box->text().isEmpty()) box->setText(Caption(s));
    } else if (auto* edit = qobject_cast<Edit*>(control)) {
        if (s.kind == SettingKind::HexWord) edit->SetMaxLength(2 * s.width);
    }
}

BoundForm::BoundForm(RoomContext& ctx, QWidget* form, std::span<const SettingEntry* const> table,
                     const Options& options) {
    for (const SettingEntry* s : table) {
        if (s->control.empty()) continue;
        auto* control = form->findChild<QWidget*>(
            QString::fromUtf8(s->control.data(), static_cast<int>(s->control.size())));
        if (!control) continue;
        bound_.push_back(s);
        FillFromEntry(control, *s);
        if (Listed(options.own, s)) continue;
        if (auto* bar = qobject_cast<TrackBar*>(control)) {
            const std::string timer(s->timer);
            const auto busy =
                Listed(options.drop, s) ? DebouncedBar::OnBusy::Drop : DebouncedBar::OnBusy::Retry;
            bars_.emplace_back(s, Bind(ctx, *s, bar, timer.c_str(), busy));
        } else if (auto* group = qobject_cast<RadioGroup*>(control)) {
            Bind(ctx, *s, group);
        } else if (auto* list = qobject_cast<ComboBox*>(control)) {
            Bind(ctx, *s, list);
        } else if (auto* box = qobject_cast<CheckBox*>(control)) {
            Bind(ctx, *s, box);
        } else if (auto* edit = qobject_cast<Edit*>(control)) {
            Bind(ctx, *s, edit);
        } else {
            throw std::logic_error("no binding for the control of setting " + std::string(s->name));
        }
    }
}

DebouncedBar* BoundForm::Bar(const SettingEntry& s) const {
    for (const auto& [entry, bar] : bars_)
        if (entry == &s) return bar.get();
    return nullptr;
}

} // namespace r8::ui
