// SPDX-License-Identifier: MIT
#pragma once
// A number edit with up and down arrows, kept within [Min, Max]. A value set from code fires
// OnChange as the operator's does, once, and only when it really changes.
#include <QSpinBox>

#include <functional>

namespace r8::ui {

class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    SpinEdit(int min, int max, int value, QWidget* parent = nullptr);
    explicit SpinEdit(QWidget* parent) : SpinEdit(0, 99, 0, parent) {}
    int Value() const { return value(); }
    void SetValue(int v) { setValue(v); } // clamped into [Min, Max]
    std::function<void()> OnChange;
};

} // namespace r8::ui
