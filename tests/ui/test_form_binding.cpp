// SPDX-License-Identifier: MIT
// Every plain setting of the catalogue has its control in its tab's form, found by object name,
// showing the entry's range, items and value width: the catalogue is the one source of them.
#include "Catalogue.h"
#include "FakePort.h"
#include "MainWindow.h"
#include "widgets/Controls.h"

#include <QTabWidget>
#include <gtest/gtest.h>

#include <string>

namespace r8 {
namespace {

using ui::CheckBox;
using ui::ComboBox;
using ui::Edit;
using ui::RadioGroup;
using ui::TFR8V2;
using ui::TrackBar;

QStringList Items(const SettingEntry& s) {
    QStringList items;
    for (std::string_view t : s.items)
        items << QString::fromUtf8(t.data(), static_cast<int>(t.size()));
    return items;
}

TEST(FormBinding, EveryCatalogueEntryFindsItsControlByNameInItsTab) {
    test::FakePort port;
    TFR8V2 w(&port);
    auto* tabs = w.findChild<QTabWidget*>("PageControl1");
    ASSERT_NE(tabs, nullptr);
    for (const SettingEntry* s : Catalogue()) {
        SCOPED_TRACE(std::string(s->name));
        ASSERT_FALSE(s->control.empty());
        const QString name =
            QString::fromUtf8(s->control.data(), static_cast<int>(s->control.size()));
        const auto found = tabs->widget(s->page)->findChildren<QWidget*>(name);
        ASSERT_EQ(found.size(), 1) << "control " << name.toStdString();
        QWidget* c = found.front();
        if (auto* bar = qobject_cast<TrackBar*>(c)) {
            EXPECT_EQ(s->kind, SettingKind::Range);
            EXPECT_EQ(bar->Min(), s->min);
            EXPECT_EQ(bar->Max(), s->max);
            EXPECT_FALSE(s->timer.empty());
        } else if (auto* group = qobject_cast<RadioGroup*>(c)) {
            // An '&' of an item is shown as typed, so the button holds it doubled.
            EXPECT_EQ(s->kind, SettingKind::Choice);
            EXPECT_EQ(group->Items().replaceInStrings("&&", "&"), Items(*s));
        } else if (auto* list = qobject_cast<ComboBox*>(c)) {
            EXPECT_EQ(s->kind, SettingKind::Choice);
            EXPECT_EQ(list->Items(), Items(*s));
        } else if (qobject_cast<CheckBox*>(c)) {
            EXPECT_EQ(s->kind, SettingKind::OnOff);
        } else if (auto* edit = qobject_cast<Edit*>(c)) {
            // Hexadecimal: two digits a byte; a decimal edit (the alarm number) is typed.
            if (s->kind == SettingKind::HexWord)
                EXPECT_EQ(edit->maxLength(), 2 * s->width);
            else
                EXPECT_EQ(s->kind, SettingKind::Range);
        } else if (qobject_cast<ui::GroupBox*>(c)) {
            // A value typed in several edits of one box (the CCD timing nibbles).
            EXPECT_EQ(s->kind, SettingKind::HexWord);
        } else {
            ADD_FAILURE() << "no bound control kind: " << c->metaObject()->className();
        }
    }
}

} // namespace
} // namespace r8
