// SPDX-License-Identifier: MIT
// The simple controls: each forwards Qt's change-only signal to its guarded handler, so a value
// set from code and one set by the operator fire the same event, once, and only on a change.
#include "Controls.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace r8::ui {

Timer::Timer(QObject* parent, int intervalMs, bool enabled) : QObject(parent) {
    // Precise: a debounce sends its interval after the first change, not up to 5% later.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { RunGuarded(OnTimer); });
    SetEnabled(enabled);
}

void Timer::SetEnabled(bool on) {
    if (on == timer_.isActive()) return; // a running timer keeps its phase
    if (!on) {
        timer_.stop();
        return;
    }
    if (timer_.interval() > 0) timer_.start(); // a zero interval would tick on every idle pass
}

void Timer::SetInterval(int ms) {
    if (ms == timer_.interval()) return;
    const bool running = timer_.isActive();
    timer_.stop();
    timer_.setInterval(ms);
    if (running && ms > 0) timer_.start();
}

Label::Label(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setTextFormat(Qt::PlainText);
}

void Label::mouseDoubleClickEvent(QMouseEvent* e) {
    RunGuarded(OnDblClick);
    e->accept(); // the control under the pointer owns the double click
}

Panel::Panel(QWidget* parent, const QString& caption) : QFrame(parent), caption_(caption) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void Panel::SetCaption(const QString& c) {
    if (c == caption_) return;
    caption_ = c;
    update();
}

void Panel::mouseDoubleClickEvent(QMouseEvent* e) {
    RunGuarded(OnDblClick);
    e->accept();
}

void Panel::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    if (caption_.isEmpty()) return;
    QPainter p(this);
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

GroupBox::GroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

Button::Button(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    connect(this, &QAbstractButton::clicked, this, [this] { RunGuarded(OnClick); });
}

// Runs the handler whether or not the button is enabled; the handler decides.
void Button::Click() {
    RunGuarded(OnClick);
}

CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    // toggled covers the operator's click and setChecked alike, and only real changes.
    connect(this, &QAbstractButton::toggled, this, [this] { RunGuarded(OnClick); });
}

void CheckBox::SetChecked(bool on) {
    setChecked(on);
}

TrackBar::TrackBar(QWidget* parent, Qt::Orientation o) : QSlider(o, parent) {
    setTickPosition(QSlider::TicksBelow);
    if (o == Qt::Vertical) {
        // The minimum is at the top and the Down key moves towards the maximum.
        setInvertedAppearance(true);
        setInvertedControls(true);
    }
    // valueChanged also comes when a new range clamps the position.
    connect(this, &QAbstractSlider::valueChanged, this, [this] { RunGuarded(OnChange); });
}

void TrackBar::SetRange(int min, int max, int frequency, int pageSize) {
    setMaximum(max);
    setMinimum(min);
    setTickInterval(frequency);
    setPageStep(pageSize);
}

ComboBox::ComboBox(const QStringList& items, QWidget* parent) : QComboBox(parent) {
    addItems(items);
    setCurrentIndex(-1);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { RunGuarded(OnChange); });
}

void ComboBox::SetItemIndex(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

QStringList ComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    return items;
}

void TrackBar::SetMin(int v) {
    setMinimum(v);
}
void TrackBar::SetMax(int v) {
    setMaximum(v);
}
void TrackBar::SetPosition(int v) {
    setValue(v);
}
void TrackBar::SetFrequency(int ticks) {
    setTickInterval(ticks);
}
void TrackBar::SetPageSize(int v) {
    setPageStep(v);
}

Edit::Edit(QWidget* parent, const QString& text) : QLineEdit(text, parent) {
    // textChanged comes for each keystroke and for setText, and only when the text differs.
    connect(this, &QLineEdit::textChanged, this, [this] { RunGuarded(OnChange); });
}

void Edit::SetText(const QString& t) {
    setText(t);
}

void Edit::SetMaxLength(int n) {
    setMaxLength(n > 0 ? n : 32767);
}

void Edit::SetPasswordChar(QChar c) {
    setEchoMode(c.isNull() ? Normal : Password);
}

StatusBar::StatusBar(const std::vector<int>& widths, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const bool last = i + 1 == widths.size();
        if (last) {
            panel->setMinimumWidth(widths[i]);
        } else {
            panel->setFixedWidth(widths[i]);
        }
        addWidget(panel, last ? 1 : 0);
        panels_.push_back(panel);
    }
}

QString StatusBar::PanelText(int i) const {
    return i >= 0 && i < PanelCount() ? panels_[static_cast<std::size_t>(i)]->toolTip() : QString();
}

void StatusBar::SetPanelText(int i, const QString& text) {
    if (i < 0 || i >= PanelCount()) return;
    QLabel* panel = panels_[static_cast<std::size_t>(i)];
    panel->setToolTip(text); // the whole text, also when the panel shows it shortened
    // A text too wide for its panel keeps its head ("Comm. Connecting: ") and the end of what
    // follows (a long device name differs at its end).
    const QFontMetrics fm(panel->font());
    const int room = panel->width() - 2 * panel->frameWidth() - 4;
    if (room <= 0 || fm.horizontalAdvance(text) <= room) {
        panel->setText(text);
        return;
    }
    const int cut = text.indexOf(QStringLiteral(": "));
    const QString head = cut > 0 ? text.left(cut + 2) : QString();
    panel->setText(head + fm.elidedText(text.mid(head.size()), Qt::ElideLeft,
                                        room - fm.horizontalAdvance(head)));
}

} // namespace r8::ui
