// SPDX-License-Identifier: MIT
#include "Shape.h"

#include "Controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace r8::ui {

int ScaleToSpan(int value, int fromSpan, int toSpan) {
    if (fromSpan <= 0) return 0;
    return static_cast<int>(static_cast<long long>(value) * toSpan / fromSpan);
}

Shape::Shape(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

void Shape::SetBrush(const QColor& colour, Qt::BrushStyle style) {
    brushColour_ = colour;
    brushStyle_ = style;
    update();
}

void Shape::SetPen(const QColor& colour) {
    pen_ = colour;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    if (pen_.isValid()) {
        p.setPen(pen_);
        r.adjust(0, 0, -1, -1); // the outline inside the shape's pixels
    } else {
        p.setPen(Qt::NoPen);
    }
    p.setBrush(QBrush(brushColour_, brushStyle_));
    if (kind_ == Kind::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

void Shape::mousePressEvent(QMouseEvent* e) {
    e->accept(); // the release comes to the shape that took the press
}

void Shape::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    const QPoint at = e->position().toPoint();
    if (!rect().contains(at)) return;
    RunGuarded([&] {
        if (OnMouseUp) OnMouseUp(e->button(), e->modifiers(), at.x(), at.y());
    });
}

} // namespace r8::ui
