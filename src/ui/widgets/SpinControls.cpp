// SPDX-License-Identifier: MIT
// Spin button and up-down control: arrow buttons that repeat while held.
#include "Controls.h"

#include <QBoxLayout>
#include <QToolButton>

#include <algorithm>

namespace r8::ui {
namespace {

constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 100;

QToolButton* arrowButton(QWidget* parent, Qt::ArrowType arrow) {
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(kRepeatDelayMs);
    b->setAutoRepeatInterval(kRepeatIntervalMs);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return b;
}

// Up first (top) on a vertical control; down first (left) on a horizontal one.
void placeButtons(QWidget* owner, Qt::Orientation o, QToolButton* up, QToolButton* down) {
    QBoxLayout* box;
    if (o == Qt::Vertical) {
        box = new QVBoxLayout(owner);
        box->addWidget(up);
        box->addWidget(down);
    } else {
        box = new QHBoxLayout(owner);
        box->addWidget(down);
        box->addWidget(up);
    }
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
}

} // namespace

SpinButton::SpinButton(QWidget* parent, Qt::Orientation o)
    : QWidget(parent), up_(arrowButton(this, o == Qt::Vertical ? Qt::UpArrow : Qt::RightArrow)),
      down_(arrowButton(this, o == Qt::Vertical ? Qt::DownArrow : Qt::LeftArrow)) {
    placeButtons(this, o, up_, down_);
    // clicked comes on release and on each repeat while the button is held.
    connect(up_, &QAbstractButton::clicked, this, [this] { RunGuarded(OnUpClick); });
    connect(down_, &QAbstractButton::clicked, this, [this] { RunGuarded(OnDownClick); });
}

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), up_(arrowButton(this, Qt::UpArrow)),
      down_(arrowButton(this, Qt::DownArrow)) {
    placeButtons(this, Qt::Vertical, up_, down_);
    connect(up_, &QAbstractButton::clicked, this, [this] { Step(Direction::Up); });
    connect(down_, &QAbstractButton::clicked, this, [this] { Step(Direction::Down); });
}

void UpDown::SetMin(int v) {
    min_ = v;
    max_ = std::max(max_, v);
    position_ = std::clamp(position_, min_, max_);
}

void UpDown::SetMax(int v) {
    max_ = v;
    min_ = std::min(min_, v);
    position_ = std::clamp(position_, min_, max_);
}

void UpDown::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
}

// OnClick comes after every step, also one that the limit stopped.
void UpDown::Step(Direction d) {
    const long long next = static_cast<long long>(position_) +
                           (d == Direction::Up ? increment_ : -static_cast<long long>(increment_));
    position_ = static_cast<int>(std::clamp<long long>(next, min_, max_));
    RunGuarded([this, d] {
        if (OnClick) OnClick(d);
    });
}

} // namespace r8::ui
