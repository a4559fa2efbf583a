// SPDX-License-Identifier: MIT
#pragma once
// A drawn shape that takes mouse clicks: a rectangle or a circle filling the widget, painted with
// a brush (colour and pattern) and an optional outline. It reports a mouse button released over
// it; a release elsewhere (the pointer dragged off after the press) is no click and is not
// reported.
#include <QColor>
#include <QWidget>

#include <functional>

namespace r8::ui {

// value measured on a span of fromSpan, brought to a span of toSpan: integer multiplication
// first, then truncating division. 0 when fromSpan is not positive.
int ScaleToSpan(int value, int fromSpan, int toSpan);

class Shape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool circle READ IsCircle WRITE SetCircle)
public:
    enum class Kind { Rectangle, Circle };
    explicit Shape(Kind kind, QWidget* parent = nullptr);
    explicit Shape(QWidget* parent) : Shape(Kind::Rectangle, parent) {}
    bool IsCircle() const { return kind_ == Kind::Circle; }
    void SetCircle(bool on) {
        kind_ = on ? Kind::Circle : Kind::Rectangle;
        update();
    }
    void SetBrush(const QColor& colour, Qt::BrushStyle style = Qt::SolidPattern);
    // An invalid colour draws no outline.
    void SetPen(const QColor& colour);
    // Moves the shape so that its top left corner is at (left, top) of its parent.
    void Place(int left, int top) { move(left, top); }

    // Button released, keyboard modifiers, and the pointer in pixels of the shape.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Kind kind_;
    QColor brushColour_ = Qt::white;
    Qt::BrushStyle brushStyle_ = Qt::SolidPattern;
    QColor pen_ = Qt::black;
};

} // namespace r8::ui
