// SPDX-License-Identifier: MIT
#pragma once
// A thin layer over Qt widgets that gives every control the event rules the handlers rely on:
// - setting a value from code fires the same change or click event as the operator does,
//   and only when the value really changes;
// - enabling a running timer does not restart it;
// - every event handler runs guarded: an exception it throws goes to the standard report
//   (a message box with the exception's text) and the event loop goes on.
// Handlers are plain std::function members named after the event (OnClick, OnChange, OnTimer).
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMargins>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QGridLayout;
class QRadioButton;
class QToolButton;

namespace r8::ui {

using Handler = std::function<void()>;

// Runs fn; an exception escaping it is passed to the exception reporter.
void RunGuarded(const Handler& fn);
// Default reporter shows a message box (caption = application name, text = what()).
void SetExceptionReporter(std::function<void(const std::exception&)> reporter);
void ReportException(const std::exception& e);

// Button codes of message boxes: 1 = OK and Cancel, 2 = Abort, Retry and Ignore.
// 0 = OK alone is used by the exception report.
enum MessageButtons { MbOk = 0, MbOkCancel = 1, MbAbortRetryIgnore = 2 };

// Where message boxes go. The default writes a line (time, caption, text) to stderr and shows a
// modal QMessageBox; tests install a recorder.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Returns the button pressed (QMessageBox::StandardButton value); callers mostly ignore it.
    virtual int Show(const QString& text, const QString& caption, int buttons) = 0;
    // Yes/No question; true for Yes.
    virtual bool Confirm(const QString& text, const QString& caption) = 0;
};
void SetMessageSink(MessageSink* sink); // nullptr restores the default
MessageSink& Messages();
int MessageBox(const QString& text, const QString& caption, int buttons);

// The control's own enabled state, whatever its panel's (a page load disables the tab panel).
inline bool Enabled(const QWidget* w) {
    return w->isEnabledTo(w->parentWidget());
}

class Timer : public QObject {
    Q_OBJECT
public:
    Timer(QObject* parent, int intervalMs, bool enabled = false);
    bool Enabled() const { return timer_.isActive(); }
    // Enabling a running timer keeps its phase; disabling stops it.
    void SetEnabled(bool on);
    int Interval() const { return timer_.interval(); }
    // A new interval restarts a running timer (as the toolkit does). An interval of 0 or less
    // stops the timer and keeps it from being enabled.
    void SetInterval(int ms);
    // Milliseconds to the next tick, -1 when stopped.
    int RemainingTime() const { return timer_.remainingTime(); }
    Handler OnTimer;

private:
    QTimer timer_;
};

class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(const QString& caption, QWidget* parent = nullptr);
    explicit Label(QWidget* parent) : Label(QString(), parent) {}
    QString Caption() const { return text(); }
    void SetCaption(const QString& c) { setText(c); }
    Handler OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// A panel or group box: enabling or disabling it does so for everything on it.
class Panel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
public:
    explicit Panel(QWidget* parent = nullptr, const QString& caption = {});
    QString Caption() const { return caption_; }
    void SetCaption(const QString& c);
    Handler OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override; // draws the caption centred

private:
    QString caption_;
};

class GroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupBox(const QString& caption, QWidget* parent = nullptr);
    explicit GroupBox(QWidget* parent) : GroupBox(QString(), parent) {}
};

class Button : public QPushButton {
    Q_OBJECT
public:
    explicit Button(const QString& caption, QWidget* parent = nullptr);
    explicit Button(QWidget* parent) : Button(QString(), parent) {}
    Handler OnClick; // operator click or Click() from code
    void Click();
};

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(const QString& caption, QWidget* parent = nullptr);
    explicit CheckBox(QWidget* parent) : CheckBox(QString(), parent) {}
    bool Checked() const { return isChecked(); }
    // Fires OnClick when the state changes, as an operator click does.
    void SetChecked(bool on);
    Handler OnClick;
};

// Radio buttons in a captioned box, laid out in columns. ItemIndex -1 means none selected.
// A form gives the items, the columns and the margins around the buttons as properties.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ Items WRITE SetItems)
    Q_PROPERTY(int columns READ Columns WRITE SetColumns)
    Q_PROPERTY(int marginLeft READ LeftMargin WRITE SetLeftMargin)
    Q_PROPERTY(int marginTop READ TopMargin WRITE SetTopMargin)
    Q_PROPERTY(int marginRight READ RightMargin WRITE SetRightMargin)
    Q_PROPERTY(int marginBottom READ BottomMargin WRITE SetBottomMargin)
    Q_PROPERTY(int spacing READ Spacing WRITE SetSpacing)
public:
    RadioGroup(const QString& caption, const QStringList& items, int columns = 1,
               QWidget* parent = nullptr);
    explicit RadioGroup(QWidget* parent) : RadioGroup(QString(), {}, 1, parent) {}
    int Columns() const { return columns_; }
    int LeftMargin() const;
    int TopMargin() const;
    int RightMargin() const;
    int BottomMargin() const;
    int Spacing() const;
    void SetLeftMargin(int v);
    void SetTopMargin(int v);
    void SetRightMargin(int v);
    void SetBottomMargin(int v);
    void SetSpacing(int v);
    int ItemIndex() const { return index_; }
    // Fires OnClick when the index changes (also from code); out-of-range values select none.
    void SetItemIndex(int index);
    int Count() const;
    QStringList Items() const;
    void SetItems(const QStringList& items);
    void SetColumns(int columns);
    // The radio button of item i, nullptr when out of range.
    QRadioButton* ItemButton(int i) const;
    Handler OnClick;

private:
    void rebuild();
    void relayout();
    void setMargin(void (QMargins::*side)(int), int v);
    void check(int index);
    void buttonToggled();
    QStringList items_;
    int columns_;
    int index_ = -1;
    QButtonGroup* group_;
    QGridLayout* grid_;
    std::vector<QRadioButton*> buttons_;
};

// A fixed drop-down list. ItemIndex -1 means none selected.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    ComboBox(const QStringList& items, QWidget* parent = nullptr);
    explicit ComboBox(QWidget* parent) : ComboBox(QStringList(), parent) {}
    int ItemIndex() const { return currentIndex(); }
    // Fires OnChange when the index changes (also from code); out-of-range values select none.
    void SetItemIndex(int index);
    QStringList Items() const;
    Handler OnChange;
};

class TrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TrackBar(QWidget* parent = nullptr, Qt::Orientation o = Qt::Horizontal);
    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    void SetMin(int v);
    void SetMax(int v);
    int Position() const { return value(); }
    // Fires OnChange when the position changes (also when a new range moves it).
    void SetPosition(int v);
    void SetFrequency(int ticks);
    void SetPageSize(int v);
    // Maximum, minimum, tick frequency and page size in one go (the position may move).
    void SetRange(int min, int max, int frequency, int pageSize);
    Handler OnChange;
};

class Edit : public QLineEdit {
    Q_OBJECT
public:
    explicit Edit(QWidget* parent = nullptr, const QString& text = {});
    QString Text() const { return text(); }
    // Fires OnChange only when the text really changes.
    void SetText(const QString& t);
    void SetMaxLength(int n);      // 0 = no limit
    void SetPasswordChar(QChar c); // QChar() = none
    Handler OnChange;
};

// A multi-line text of lines. Every change of the text, by the operator or from code (each
// Clear and each AddLine), fires OnChange; setting the text it already holds fires nothing.
class Memo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Memo(QWidget* parent = nullptr);
    QStringList Lines() const;
    void SetLines(const QStringList& lines);
    void Clear();
    void AddLine(const QString& line);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }
    Handler OnChange;
};

// Two arrow buttons; holding one repeats its click after 400 ms, then every 100 ms.
class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr, Qt::Orientation o = Qt::Vertical);
    Handler OnUpClick;
    Handler OnDownClick;
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

private:
    QToolButton* up_;
    QToolButton* down_;
};

// Up-down control with a position inside [Min, Max] and an increment; OnClick after each step.
class UpDown : public QWidget {
    Q_OBJECT
public:
    enum class Direction { Up, Down };
    explicit UpDown(QWidget* parent = nullptr);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetMin(int v);
    void SetMax(int v);
    int Position() const { return position_; }
    void SetPosition(int v); // clamped, fires no event
    int Increment() const { return increment_; }
    void SetIncrement(int v) { increment_ = v; }
    // Steps by the increment (clamped) and calls OnClick with the direction.
    void Step(Direction d);
    std::function<void(Direction)> OnClick;
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

private:
    int min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
    QToolButton* up_;
    QToolButton* down_;
};

// Status bar with fixed-width panels; panel i holds one text.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    StatusBar(const std::vector<int>& widths, QWidget* parent = nullptr);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    QString PanelText(int i) const;
    // Also the panel's tooltip, so a text wider than its panel can be read whole.
    void SetPanelText(int i, const QString& text);

private:
    std::vector<QLabel*> panels_;
};

// The tree's texts are UTF-8 std::string; the controls show QString.
inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace r8::ui
