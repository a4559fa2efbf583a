// SPDX-License-Identifier: MIT
#include "MaskPanel.h"

#include <QPainter>

namespace r8::ui {
namespace {

// The shape is larger than the panel, which shows its top left part.
constexpr int kShapeSize = 250;

} // namespace

MaskPanel::MaskPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

QColor MaskPanel::Colour(int mask) {
    return mask == 0 ? QColor(0xD0, 0x10, 0x10) : QColor(0x10, 0x40, 0xE0);
}

void MaskPanel::SetMask(int mask, const MaskView& view) {
    if (masks_.at(mask) == view) return;
    masks_[mask] = view;
    update();
}

void MaskPanel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    const QRect area = contentsRect();
    p.setClipRect(area);
    p.translate(area.topLeft());
    p.fillRect(QRect(0, 0, kShapeSize, kShapeSize),
               QBrush(QColor(0x80, 0x80, 0x00), Qt::CrossPattern));
    for (int n = 0; n < 2; ++n) {
        const MaskView& m = masks_[n];
        if (!m.rect) continue;
        const PanelRect r = MaskToPanel(*m.rect, area.width(), area.height());
        const QRect box(r.x, r.y, r.width, r.height);
        QColor fill = Colour(n);
        fill.setAlpha(120);
        if (m.state == MaskSwitch::On) p.fillRect(box, fill);
        QPen pen(Colour(n), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        if (m.state == MaskSwitch::Off) pen.setStyle(Qt::DashLine);
        if (m.state == MaskSwitch::Unknown) pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        // The pen straddles the path: inset by one pixel it stays inside the mask's area.
        if (box.width() > 2 && box.height() > 2)
            p.drawRect(box.adjusted(1, 1, -1, -1));
        else
            p.fillRect(box, Colour(n));
    }
}

} // namespace r8::ui
