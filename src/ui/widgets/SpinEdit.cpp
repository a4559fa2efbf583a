// SPDX-License-Identifier: MIT
#include "SpinEdit.h"

#include "Controls.h"

namespace r8::ui {

SpinEdit::SpinEdit(int min, int max, int value, QWidget* parent) : QSpinBox(parent) {
    setRange(min, max);
    setValue(value);
    connect(this, &QSpinBox::valueChanged, this, [this] { RunGuarded(OnChange); });
}

} // namespace r8::ui
