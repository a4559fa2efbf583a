// SPDX-License-Identifier: MIT
// Radio group: one OnClick per change of ItemIndex, whether the operator or the code made it.
#include "Controls.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

namespace r8::ui {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), items_(items), columns_(std::max(columns, 1)),
      group_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
    group_->setExclusive(true);
    rebuild();
}

int RadioGroup::LeftMargin() const {
    return grid_->contentsMargins().left();
}
int RadioGroup::TopMargin() const {
    return grid_->contentsMargins().top();
}
int RadioGroup::RightMargin() const {
    return grid_->contentsMargins().right();
}
int RadioGroup::BottomMargin() const {
    return grid_->contentsMargins().bottom();
}
int RadioGroup::Spacing() const {
    return grid_->spacing();
}
void RadioGroup::setMargin(void (QMargins::*side)(int), int v) {
    QMargins m = grid_->contentsMargins();
    (m.*side)(v);
    grid_->setContentsMargins(m);
}
void RadioGroup::SetLeftMargin(int v) {
    setMargin(&QMargins::setLeft, v);
}
void RadioGroup::SetTopMargin(int v) {
    setMargin(&QMargins::setTop, v);
}
void RadioGroup::SetRightMargin(int v) {
    setMargin(&QMargins::setRight, v);
}
void RadioGroup::SetBottomMargin(int v) {
    setMargin(&QMargins::setBottom, v);
}
void RadioGroup::SetSpacing(int v) {
    grid_->setSpacing(v);
}

int RadioGroup::Count() const {
    return static_cast<int>(items_.size());
}

QStringList RadioGroup::Items() const {
    return items_;
}

QRadioButton* RadioGroup::ItemButton(int i) const {
    return i >= 0 && i < Count() ? buttons_[static_cast<std::size_t>(i)] : nullptr;
}

void RadioGroup::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) index = -1;
    if (index == index_) return;
    // index_ first, so the toggles that follow find nothing new to report.
    index_ = index;
    check(index);
    RunGuarded(OnClick);
}

void RadioGroup::SetItems(const QStringList& items) {
    const int before = index_;
    items_ = items;
    if (index_ >= Count()) index_ = -1;
    rebuild();
    if (index_ != before) RunGuarded(OnClick);
}

void RadioGroup::SetColumns(int columns) {
    columns = std::max(columns, 1);
    if (columns == columns_) return;
    columns_ = columns;
    relayout();
}

void RadioGroup::rebuild() {
    for (QRadioButton* b : buttons_) {
        disconnect(b, nullptr, this, nullptr);
        group_->removeButton(b);
        grid_->removeWidget(b);
        b->hide();
        // Later, not now: the rebuild may run inside one of these buttons' own signals.
        b->deleteLater();
    }
    buttons_.clear();
    for (const QString& text : items_) {
        auto* b = new QRadioButton(text, this);
        group_->addButton(b, static_cast<int>(buttons_.size()));
        connect(b, &QAbstractButton::toggled, this, &RadioGroup::buttonToggled);
        buttons_.push_back(b);
    }
    check(index_);
    relayout();
}

// Items go down the first column, then the next: rows = ceil(count / columns).
void RadioGroup::relayout() {
    for (QRadioButton* b : buttons_)
        grid_->removeWidget(b);
    const int count = Count();
    const int rows = (count + columns_ - 1) / columns_;
    for (int i = 0; i < count; ++i) {
        grid_->addWidget(buttons_[static_cast<std::size_t>(i)], i % rows, i / rows);
    }
}

void RadioGroup::check(int index) {
    if (QRadioButton* b = ItemButton(index)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group keeps its checked button; clearing needs it non-exclusive for a moment.
    if (QAbstractButton* b = group_->checkedButton()) {
        group_->setExclusive(false);
        b->setChecked(false);
        group_->setExclusive(true);
    }
}

// Called for both halves of a switch (old item off, new item on); the first that shows a new
// index fires, the other finds nothing changed.
void RadioGroup::buttonToggled() {
    int now = -1;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i]->isChecked()) now = static_cast<int>(i);
    }
    if (now == index_) return;
    index_ = now;
    RunGuarded(OnClick);
}

} // namespace r8::ui
