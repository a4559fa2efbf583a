// SPDX-License-Identifier: MIT
#pragma once
// The panel of the mask preview window: an olive cross-hatched shape that stands for the
// picture, and on it the two privacy masks, each in its own colour, filled while it was last
// switched on, outlined with dashes while it was last switched off, dotted before either.
#include "tabs/mask/MaskGeometry.h"

#include <QColor>
#include <QFrame>

#include <array>

namespace r8::ui {

class MaskPanel : public QFrame {
    Q_OBJECT
public:
    explicit MaskPanel(QWidget* parent = nullptr);
    void SetMask(int mask, const MaskView& view);
    const MaskView& Mask(int mask) const { return masks_.at(mask); }
    static QColor Colour(int mask);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<MaskView, 2> masks_{};
};

} // namespace r8::ui
