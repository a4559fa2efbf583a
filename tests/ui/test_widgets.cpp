// SPDX-License-Identifier: MIT
// Our controls over Qt: values set from code fire the operator's events once per real change,
// events fire on disabled controls, handlers run guarded, timers keep their phase.
#include "Controls.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace r8::ui;

namespace {

// One QApplication for the whole run; created when the tests start, not while they are listed.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_widgets";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Widget Test"));
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

struct Shown {
    QString text;
    QString caption;
    int buttons;
};

class RecordingSink : public MessageSink {
public:
    int Show(const QString& text, const QString& caption, int buttons) override {
        shown.push_back({text, caption, buttons});
        return answer;
    }
    bool Confirm(const QString& text, const QString& caption) override {
        confirmed.push_back({text, caption, -1});
        return yes;
    }
    std::vector<Shown> shown;
    std::vector<Shown> confirmed;
    int answer = QMessageBox::Ok;
    bool yes = true;
};

// Every test runs with a recording message sink and exception reporter.
class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageSink(&sink);
        SetExceptionReporter([this](const std::exception& e) { reports.emplace_back(e.what()); });
    }
    void TearDown() override {
        SetExceptionReporter(nullptr);
        SetMessageSink(nullptr);
    }

    RecordingSink sink;
    std::vector<std::string> reports;
};

void showAndExpose(QWidget& w) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

// Clicks the check mark of a check box or radio button, where the operator would.
void clickIndicator(QAbstractButton* b) {
    ASSERT_NE(b, nullptr);
    QStyleOptionButton opt;
    opt.initFrom(b);
    const auto element = qobject_cast<QRadioButton*>(b) ? QStyle::SE_RadioButtonIndicator
                                                        : QStyle::SE_CheckBoxIndicator;
    const QRect r = b->style()->subElementRect(element, &opt, b);
    QTest::mouseClick(b, Qt::LeftButton, {}, r.center());
}

std::pair<int, int> cellOf(RadioGroup& group, int item) {
    auto* grid = qobject_cast<QGridLayout*>(group.layout());
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    if (grid) {
        grid->getItemPosition(grid->indexOf(group.ItemButton(item)), &row, &column, &rowSpan,
                              &columnSpan);
    }
    return {row, column};
}

QStringList numbered(int n) {
    QStringList items;
    for (int i = 1; i <= n; ++i)
        items << QString::number(i);
    return items;
}

// Answers the next modal message box with `answer` and keeps what it showed.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
        poll_.setInterval(10);
        connect(&poll_, &QTimer::timeout, this, &BoxAnswerer::poll);
        poll_.start();
    }
    QMessageBox::StandardButtons buttons;
    QString caption;
    QString text;

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll_.stop();
        buttons = box->standardButtons();
        caption = box->windowTitle();
        text = box->text();
        if (QAbstractButton* b = box->button(answer_)) {
            b->click();
        } else {
            box->done(-1);
        }
    }
    QMessageBox::StandardButton answer_;
    QTimer poll_;
};

} // namespace

// ---------------------------------------------------------------------------------------------

using GuardTest = WidgetTest;

TEST_F(GuardTest, ExceptionIsReportedAndLaterHandlersStillRun) {
    bool ran = false;
    RunGuarded([] { throw std::runtime_error("Comm port busy"); });
    RunGuarded([] { throw 42; });
    RunGuarded(Handler{});
    RunGuarded([&] { ran = true; });
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "Comm port busy");
    EXPECT_TRUE(ran);
}

TEST_F(GuardTest, DefaultReportShowsTheTextUnderTheApplicationName) {
    SetExceptionReporter(nullptr);
    RunGuarded([] { throw std::runtime_error("Open error (2)"); });
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, QStringLiteral("Open error (2)"));
    EXPECT_EQ(sink.shown[0].caption, QStringLiteral("Widget Test"));
    EXPECT_EQ(sink.shown[0].buttons, MbOk);
}

TEST_F(GuardTest, FailingReporterDoesNotLetTheExceptionOut) {
    SetExceptionReporter([](const std::exception&) { throw std::logic_error("reporter broke"); });
    EXPECT_NO_THROW(RunGuarded([] { throw std::runtime_error("first"); }));
}

TEST_F(GuardTest, HandlerMayReplaceItselfWhileRunning) {
    std::string seen;
    Handler h;
    // Big enough a capture to live on the heap, where a use after free shows.
    h = [&h, &seen, text = std::string(64, 'x')] {
        h = nullptr; // frees the original of the running callable
        seen = text;
    };
    RunGuarded(h);
    EXPECT_EQ(seen, std::string(64, 'x'));
    EXPECT_TRUE(reports.empty());
}

TEST_F(GuardTest, ReportFromAnotherThreadIsShownOnTheGuiThread) {
    QThread* reportedOn = nullptr;
    SetExceptionReporter([&](const std::exception& e) {
        reports.emplace_back(e.what());
        reportedOn = QThread::currentThread();
    });
    std::thread watcher([] { ReportException(std::runtime_error("from the watcher")); });
    watcher.join();
    EXPECT_TRUE(reports.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 10000));
    EXPECT_EQ(reports, std::vector<std::string>{"from the watcher"});
    EXPECT_EQ(reportedOn, QApplication::instance()->thread());
}

// ---------------------------------------------------------------------------------------------

using MessageTest = WidgetTest;

TEST_F(MessageTest, MessageBoxGoesToTheSinkWithItsButtonCode) {
    sink.answer = QMessageBox::Retry;
    EXPECT_EQ(MessageBox(QStringLiteral(" Serial Port not connected "), QStringLiteral("Comm.ERR"),
                         MbAbortRetryIgnore),
              QMessageBox::Retry);
    const QString japanese = QStringLiteral("ファイルを上書きしますか");
    MessageBox(japanese, QStringLiteral("File.ERR"), MbOkCancel);
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[0].text, QStringLiteral(" Serial Port not connected "));
    EXPECT_EQ(sink.shown[0].caption, QStringLiteral("Comm.ERR"));
    EXPECT_EQ(sink.shown[0].buttons, MbAbortRetryIgnore);
    EXPECT_EQ(sink.shown[1].text, japanese);
    EXPECT_EQ(sink.shown[1].buttons, MbOkCancel);
}

TEST_F(MessageTest, ConfirmGoesToTheSink) {
    sink.yes = false;
    EXPECT_FALSE(Messages().Confirm(QStringLiteral("Overwrite?"), QStringLiteral("Copy")));
    sink.yes = true;
    EXPECT_TRUE(Messages().Confirm(QStringLiteral("Overwrite?"), QStringLiteral("Copy")));
    ASSERT_EQ(sink.confirmed.size(), 2u);
    EXPECT_EQ(sink.confirmed[0].caption, QStringLiteral("Copy"));
}

TEST_F(MessageTest, NullSinkRestoresTheDialogs) {
    SetMessageSink(nullptr);
    EXPECT_NE(&Messages(), static_cast<MessageSink*>(&sink));
}

TEST_F(MessageTest, DialogOffersExactlyTheButtonsOfTheCode) {
    SetMessageSink(nullptr);
    const struct {
        int code;
        QMessageBox::StandardButtons expected;
        QMessageBox::StandardButton answer;
    } cases[] = {
        {MbOk, QMessageBox::Ok, QMessageBox::Ok},
        {MbOkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel},
        {MbAbortRetryIgnore, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
         QMessageBox::Ignore},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        BoxAnswerer answerer(c.answer);
        const int result =
            MessageBox(QStringLiteral("<b>not bold</b>"), QStringLiteral("ERR"), c.code);
        EXPECT_EQ(answerer.buttons, c.expected);
        EXPECT_EQ(answerer.caption, QStringLiteral("ERR"));
        EXPECT_EQ(answerer.text, QStringLiteral("<b>not bold</b>"));
        EXPECT_EQ(result, c.answer);
    }
}

TEST_F(MessageTest, DialogConfirmAsksYesOrNo) {
    SetMessageSink(nullptr);
    {
        BoxAnswerer answerer(QMessageBox::No);
        EXPECT_FALSE(Messages().Confirm(QStringLiteral("Overwrite?"), QStringLiteral("Copy")));
        EXPECT_EQ(answerer.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    {
        BoxAnswerer answerer(QMessageBox::Yes);
        EXPECT_TRUE(Messages().Confirm(QStringLiteral("Overwrite?"), QStringLiteral("Copy")));
    }
}

// ---------------------------------------------------------------------------------------------

using TimerTest = WidgetTest;

TEST_F(TimerTest, StartsAsAskedAndStops) {
    Timer idle(nullptr, 300);
    EXPECT_FALSE(idle.Enabled());
    EXPECT_EQ(idle.Interval(), 300);
    Timer running(nullptr, 1500, true);
    EXPECT_TRUE(running.Enabled());
    running.SetEnabled(false);
    EXPECT_FALSE(running.Enabled());
    EXPECT_EQ(running.RemainingTime(), -1);
}

TEST_F(TimerTest, EnablingARunningTimerKeepsItsPhase) {
    Timer t(nullptr, 60000, true);
    const int atStart = t.RemainingTime();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.RemainingTime() < atStart - 20; }, 10000));
    const int before = t.RemainingTime();
    t.SetEnabled(true);
    EXPECT_TRUE(t.Enabled());
    EXPECT_LE(t.RemainingTime(), before);
}

TEST_F(TimerTest, EnablingOverAndOverDoesNotHoldOffTheTick) {
    Timer t(nullptr, 100);
    int ticks = 0;
    t.OnTimer = [&] { ++ticks; };
    // A burst of changes each enabling the timer: it must still fire one interval after the first.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            t.SetEnabled(true);
            return ticks > 0;
        },
        10000));
}

TEST_F(TimerTest, NewIntervalRestartsARunningTimer) {
    Timer t(nullptr, 60000, true);
    const int atStart = t.RemainingTime();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.RemainingTime() < atStart - 20; }, 10000));
    int before = t.RemainingTime();
    t.SetInterval(60000);
    EXPECT_LE(t.RemainingTime(), before) << "the same interval is no change";
    before = t.RemainingTime();
    t.SetInterval(60010);
    EXPECT_GT(t.RemainingTime(), before);
    EXPECT_EQ(t.Interval(), 60010);

    Timer stopped(nullptr, 300);
    stopped.SetInterval(500);
    EXPECT_FALSE(stopped.Enabled());
}

TEST_F(TimerTest, ZeroIntervalNeverRuns) {
    Timer t(nullptr, 0, true);
    EXPECT_FALSE(t.Enabled());
    Timer running(nullptr, 300, true);
    running.SetInterval(0);
    EXPECT_FALSE(running.Enabled());
}

TEST_F(TimerTest, ExceptionInTickIsReportedAndTheTimerGoesOn) {
    Timer t(nullptr, 1, true);
    t.OnTimer = [] { throw std::runtime_error("tick failed"); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports.size() >= 2; }, 10000));
    EXPECT_EQ(reports[0], "tick failed");
    EXPECT_TRUE(t.Enabled());
}

// ---------------------------------------------------------------------------------------------

using CheckBoxTest = WidgetTest;

TEST_F(CheckBoxTest, CodeSetFiresOncePerChange) {
    CheckBox box(QStringLiteral("HRev"));
    std::vector<bool> seen;
    box.OnClick = [&] { seen.push_back(box.Checked()); };
    box.SetChecked(true);
    box.SetChecked(true);
    box.SetChecked(false);
    box.SetChecked(false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(CheckBoxTest, OperatorClickFiresOnce) {
    CheckBox box(QStringLiteral("VRev"));
    int clicks = 0;
    box.OnClick = [&] { ++clicks; };
    showAndExpose(box);
    clickIndicator(&box);
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(clicks, 1);
    clickIndicator(&box);
    EXPECT_FALSE(box.Checked());
    EXPECT_EQ(clicks, 2);
}

TEST_F(CheckBoxTest, DisabledStillFiresOnCodeSet) {
    CheckBox box(QStringLiteral("BLC 01"));
    box.setEnabled(false);
    int clicks = 0;
    box.OnClick = [&] { ++clicks; };
    box.SetChecked(true);
    EXPECT_EQ(clicks, 1);
}

// ---------------------------------------------------------------------------------------------

using RadioGroupTest = WidgetTest;

TEST_F(RadioGroupTest, FillsColumnsTopToBottom) {
    RadioGroup level(QStringLiteral("LEVEL"), numbered(18), 3);
    EXPECT_EQ(cellOf(level, 0), std::make_pair(0, 0));
    EXPECT_EQ(cellOf(level, 5), std::make_pair(5, 0));
    EXPECT_EQ(cellOf(level, 6), std::make_pair(0, 1));
    EXPECT_EQ(cellOf(level, 17), std::make_pair(5, 2));

    RadioGroup five(QStringLiteral("five"), numbered(5), 2); // 3 rows
    EXPECT_EQ(cellOf(five, 2), std::make_pair(2, 0));
    EXPECT_EQ(cellOf(five, 3), std::make_pair(0, 1));
    EXPECT_EQ(cellOf(five, 4), std::make_pair(1, 1));
    five.SetColumns(3); // 2 rows
    EXPECT_EQ(cellOf(five, 2), std::make_pair(0, 1));
    EXPECT_EQ(cellOf(five, 4), std::make_pair(0, 2));
}

TEST_F(RadioGroupTest, CodeSetFiresOncePerChange) {
    RadioGroup sync(QStringLiteral("Phase"), {QStringLiteral("OFF"), QStringLiteral("ON")});
    EXPECT_EQ(sync.ItemIndex(), -1);
    EXPECT_FALSE(sync.ItemButton(0)->isChecked() || sync.ItemButton(1)->isChecked());
    std::vector<int> seen;
    sync.OnClick = [&] { seen.push_back(sync.ItemIndex()); };

    sync.SetItemIndex(1);
    EXPECT_TRUE(sync.ItemButton(1)->isChecked());
    sync.SetItemIndex(1);
    sync.SetItemIndex(0);
    EXPECT_FALSE(sync.ItemButton(1)->isChecked());
    sync.SetItemIndex(5); // out of range: none
    sync.SetItemIndex(-1);
    sync.SetItemIndex(-7);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, -1}));
    EXPECT_FALSE(sync.ItemButton(0)->isChecked() || sync.ItemButton(1)->isChecked());
}

TEST_F(RadioGroupTest, OperatorClickFiresOnceAndReclickDoesNothing) {
    RadioGroup gamma(QStringLiteral("Gamma"), {QStringLiteral("0.45"), QStringLiteral("1.0")});
    std::vector<int> seen;
    gamma.OnClick = [&] { seen.push_back(gamma.ItemIndex()); };
    showAndExpose(gamma);

    clickIndicator(gamma.ItemButton(1));
    clickIndicator(gamma.ItemButton(1));
    clickIndicator(gamma.ItemButton(0));
    EXPECT_EQ(seen, (std::vector<int>{1, 0}));
    EXPECT_TRUE(gamma.ItemButton(0)->isChecked());
    EXPECT_FALSE(gamma.ItemButton(1)->isChecked());
}

TEST_F(RadioGroupTest, ClearedGroupStaysExclusive) {
    RadioGroup group(QStringLiteral("Select"), {QStringLiteral("Field"), QStringLiteral("Frame")});
    showAndExpose(group);
    group.SetItemIndex(1);
    group.SetItemIndex(-1);
    int clicks = 0;
    group.OnClick = [&] { ++clicks; };
    clickIndicator(group.ItemButton(0));
    clickIndicator(group.ItemButton(1));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_FALSE(group.ItemButton(0)->isChecked());
}

TEST_F(RadioGroupTest, DisabledStillFiresOnCodeSet) {
    RadioGroup initial(QStringLiteral("Initial"), {QStringLiteral("OFF"), QStringLiteral("ON")});
    initial.setEnabled(false);
    int clicks = 0;
    initial.OnClick = [&] { ++clicks; };
    initial.SetItemIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(initial.ItemIndex(), 1);
}

TEST_F(RadioGroupTest, NewItemsKeepAnIndexInRangeWithoutEvent) {
    RadioGroup group(QStringLiteral("AES"), numbered(3));
    group.SetItemIndex(2);
    int clicks = 0;
    group.OnClick = [&] { ++clicks; };

    group.SetItems(numbered(4));
    EXPECT_EQ(group.Count(), 4);
    EXPECT_EQ(group.Items(), numbered(4));
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_TRUE(group.ItemButton(2)->isChecked());
    EXPECT_EQ(group.ItemButton(3)->text(), QStringLiteral("4"));
    EXPECT_EQ(clicks, 0);

    group.SetItems(numbered(2));
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(group.ItemButton(2), nullptr);

    showAndExpose(group);
    clickIndicator(group.ItemButton(1));
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_EQ(clicks, 2);
}

TEST_F(RadioGroupTest, HandlerMayReplaceItemsDuringAClick) {
    RadioGroup group(QStringLiteral("Push SW"),
                     {QStringLiteral("Alarm"), QStringLiteral("Freeze")});
    group.OnClick = [&] { group.SetItems({QStringLiteral("A"), QStringLiteral("B")}); };
    showAndExpose(group);
    clickIndicator(group.ItemButton(1));
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_TRUE(group.ItemButton(1)->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(group.findChildren<QRadioButton*>().size(), 2);
}

// ---------------------------------------------------------------------------------------------

using TrackBarTest = WidgetTest;

TEST_F(TrackBarTest, CodeSetFiresOncePerChange) {
    TrackBar agc;
    agc.SetMax(8);
    std::vector<int> seen;
    agc.OnChange = [&] { seen.push_back(agc.Position()); };
    agc.SetPosition(3);
    agc.SetPosition(3);
    agc.SetPosition(20); // clamped to the maximum
    agc.SetPosition(20);
    EXPECT_EQ(seen, (std::vector<int>{3, 8}));
}

TEST_F(TrackBarTest, NewRangeThatMovesThePositionFires) {
    TrackBar phase;
    phase.SetMax(10);
    phase.SetPosition(6);
    std::vector<int> seen;
    phase.OnChange = [&] { seen.push_back(phase.Position()); };
    phase.SetMax(4);
    phase.SetMax(10);
    phase.SetMin(7);
    phase.SetMin(0);
    EXPECT_EQ(seen, (std::vector<int>{4, 7}));
}

TEST_F(TrackBarTest, KeysFireOncePerMove) {
    TrackBar bar;
    bar.SetMax(12);
    bar.SetPageSize(3);
    bar.SetFrequency(2);
    std::vector<int> seen;
    bar.OnChange = [&] { seen.push_back(bar.Position()); };
    QTest::keyClick(&bar, Qt::Key_Right);
    QTest::keyClick(&bar, Qt::Key_PageUp);
    QTest::keyClick(&bar, Qt::Key_End);
    QTest::keyClick(&bar, Qt::Key_End);
    EXPECT_EQ(seen, (std::vector<int>{1, 4, 12}));
}

TEST_F(TrackBarTest, VerticalBarGrowsDownwards) {
    TrackBar bar(nullptr, Qt::Vertical);
    bar.SetMax(8);
    QTest::keyClick(&bar, Qt::Key_Down);
    EXPECT_EQ(bar.Position(), 1);
}

TEST_F(TrackBarTest, DisabledStillFiresOnCodeSet) {
    TrackBar bar;
    bar.SetMax(8);
    bar.setEnabled(false);
    int changes = 0;
    bar.OnChange = [&] { ++changes; };
    bar.SetPosition(4);
    bar.SetMax(2);
    EXPECT_EQ(changes, 2);
}

// ---------------------------------------------------------------------------------------------

using EditTest = WidgetTest;

TEST_F(EditTest, CodeSetFiresOnlyOnARealChange) {
    Edit level(nullptr, QStringLiteral("0000"));
    std::vector<QString> seen;
    level.OnChange = [&] { seen.push_back(level.Text()); };
    level.SetText(QStringLiteral("0000"));
    level.SetText(QStringLiteral("01A0"));
    level.SetText(QStringLiteral("01A0"));
    level.SetText(QString());
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("01A0"), QString()}));
}

TEST_F(EditTest, TypingFiresPerKeystroke) {
    Edit pwl;
    std::vector<QString> seen;
    pwl.OnChange = [&] { seen.push_back(pwl.Text()); };
    QTest::keyClicks(&pwl, QStringLiteral("tmwr"));
    QTest::keyClick(&pwl, Qt::Key_Backspace);
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("t"), QStringLiteral("tm"),
                                          QStringLiteral("tmw"), QStringLiteral("tmwr"),
                                          QStringLiteral("tmw")}));
}

TEST_F(EditTest, MaxLengthLimitsTypingAndZeroMeansNoLimit) {
    Edit address;
    address.SetMaxLength(4);
    int changes = 0;
    address.OnChange = [&] { ++changes; };
    QTest::keyClicks(&address, QStringLiteral("12345"));
    EXPECT_EQ(address.Text(), QStringLiteral("1234"));
    EXPECT_EQ(changes, 4);
    address.SetMaxLength(0);
    QTest::keyClicks(&address, QStringLiteral("56789ABCDEF"));
    EXPECT_EQ(address.Text(), QStringLiteral("123456789ABCDEF"));
}

TEST_F(EditTest, PasswordCharHidesTheText) {
    Edit pwl(nullptr, QStringLiteral("****"));
    pwl.SetPasswordChar(QLatin1Char('*'));
    EXPECT_EQ(pwl.echoMode(), QLineEdit::Password);
    EXPECT_EQ(pwl.Text(), QStringLiteral("****"));
    pwl.SetPasswordChar(QChar());
    EXPECT_EQ(pwl.echoMode(), QLineEdit::Normal);
}

TEST_F(EditTest, DisabledAndHiddenStillFireOnCodeSet) {
    Edit pwl;
    pwl.hide();
    pwl.setEnabled(false);
    int changes = 0;
    pwl.OnChange = [&] { ++changes; };
    pwl.SetText(QStringLiteral("tmwr"));
    EXPECT_EQ(changes, 1);
}

// ---------------------------------------------------------------------------------------------

using ButtonTest = WidgetTest;

TEST_F(ButtonTest, EveryKindOfClickFiresOnce) {
    Button enter(QStringLiteral("Enter"));
    int clicks = 0;
    enter.OnClick = [&] { ++clicks; };
    enter.Click();
    EXPECT_EQ(clicks, 1);
    enter.click();
    EXPECT_EQ(clicks, 2);
    QTest::mouseClick(&enter, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
}

TEST_F(ButtonTest, ClickFromCodeRunsOnADisabledButton) {
    Button save(QStringLiteral("Save"));
    save.setEnabled(false);
    int clicks = 0;
    save.OnClick = [&] { ++clicks; };
    save.Click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, ExceptionFromAnOperatorClickIsReportedEachTime) {
    Button reset(QStringLiteral("Reset"));
    reset.OnClick = [] { throw std::runtime_error("write failed"); };
    QTest::mouseClick(&reset, Qt::LeftButton);
    QTest::mouseClick(&reset, Qt::LeftButton);
    EXPECT_EQ(reports, (std::vector<std::string>{"write failed", "write failed"}));
}

// ---------------------------------------------------------------------------------------------

using ContainerTest = WidgetTest;

TEST_F(ContainerTest, DoubleClickRunsTheHandlerOfTheControlUnderThePointer) {
    Panel panel(nullptr, QStringLiteral("Camera"));
    panel.resize(300, 60);
    Label title(QStringLiteral(" Camera Adjust Tool"), &panel);
    title.setGeometry(10, 10, 200, 20);
    int onPanel = 0, onTitle = 0;
    panel.OnDblClick = [&] { ++onPanel; };
    title.OnDblClick = [&] { ++onTitle; };
    QTest::mouseDClick(&title, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(onTitle, 1);
    EXPECT_EQ(onPanel, 0);
    QTest::mouseDClick(&panel, Qt::LeftButton, {}, QPoint(250, 50));
    EXPECT_EQ(onPanel, 1);
    EXPECT_EQ(panel.Caption(), QStringLiteral("Camera"));
}

TEST_F(ContainerTest, DisablingAContainerDisablesEverythingOnIt) {
    Panel tab;
    GroupBox group(QStringLiteral("Rev"), &tab);
    CheckBox hrev(QStringLiteral("HRev"), &group);
    RadioGroup freeze(QStringLiteral("Freeze"), {QStringLiteral("OFF"), QStringLiteral("ON")}, 1,
                      &tab);
    Edit level(&tab);
    Button sent(QStringLiteral("Enter"), &tab);
    sent.setEnabled(false); // disabled itself while its command is out

    tab.setEnabled(false);
    for (QWidget* w : std::vector<QWidget*>{&group, &hrev, &freeze, freeze.ItemButton(1), &level})
        EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();

    int clicks = 0;
    hrev.OnClick = [&] { ++clicks; };
    hrev.SetChecked(true);
    EXPECT_EQ(clicks, 1);

    tab.setEnabled(true);
    for (QWidget* w : std::vector<QWidget*>{&group, &hrev, &freeze, freeze.ItemButton(1), &level})
        EXPECT_TRUE(w->isEnabled()) << w->metaObject()->className();
    EXPECT_FALSE(sent.isEnabled());
}

// ---------------------------------------------------------------------------------------------

using SpinButtonTest = WidgetTest;

TEST_F(SpinButtonTest, ArrowsRepeatAfter400MsThenEvery100Ms) {
    SpinButton spin;
    for (QToolButton* b : {spin.UpButton(), spin.DownButton()}) {
        EXPECT_TRUE(b->autoRepeat());
        EXPECT_EQ(b->autoRepeatDelay(), 400);
        EXPECT_EQ(b->autoRepeatInterval(), 100);
    }
}

TEST_F(SpinButtonTest, EachArrowCallsItsOwnHandler) {
    SpinButton spin;
    int ups = 0, downs = 0;
    spin.OnUpClick = [&] { ++ups; };
    spin.OnDownClick = [&] { ++downs; };
    spin.UpButton()->click();
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(downs, 0);
    spin.DownButton()->click();
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(downs, 1);
}

TEST_F(SpinButtonTest, HoldingAnArrowRepeatsItsClick) {
    SpinButton spin;
    spin.resize(20, 40);
    int ups = 0;
    spin.OnUpClick = [&] { ++ups; };
    showAndExpose(spin);
    QTest::mousePress(spin.UpButton(), Qt::LeftButton);
    const bool repeated = QTest::qWaitFor([&] { return ups >= 3; }, 10000);
    QTest::mouseRelease(spin.UpButton(), Qt::LeftButton);
    EXPECT_TRUE(repeated);
}

TEST_F(SpinButtonTest, ExceptionInAClickIsReported) {
    SpinButton spin;
    spin.OnDownClick = [] { throw std::runtime_error("step failed"); };
    spin.DownButton()->click();
    EXPECT_EQ(reports, std::vector<std::string>{"step failed"});
}

// ---------------------------------------------------------------------------------------------

using UpDownTest = WidgetTest;

TEST_F(UpDownTest, StepsByTheIncrementWithinTheRange) {
    UpDown ud;
    ud.SetMin(0);
    ud.SetMax(10);
    ud.SetIncrement(4);
    std::vector<std::pair<UpDown::Direction, int>> seen;
    ud.OnClick = [&](UpDown::Direction d) { seen.emplace_back(d, ud.Position()); };
    ud.Step(UpDown::Direction::Up);
    ud.Step(UpDown::Direction::Up);
    ud.Step(UpDown::Direction::Up); // stops at 10
    ud.Step(UpDown::Direction::Down);
    using D = UpDown::Direction;
    EXPECT_EQ(seen,
              (std::vector<std::pair<D, int>>{{D::Up, 4}, {D::Up, 8}, {D::Up, 10}, {D::Down, 6}}));
}

TEST_F(UpDownTest, ArrowButtonsStep) {
    UpDown ud;
    ud.SetMax(5);
    ud.SetPosition(2);
    std::vector<UpDown::Direction> seen;
    ud.OnClick = [&](UpDown::Direction d) { seen.push_back(d); };
    ud.UpButton()->click();
    EXPECT_EQ(ud.Position(), 3);
    ud.DownButton()->click();
    ud.DownButton()->click();
    EXPECT_EQ(ud.Position(), 1);
    EXPECT_EQ(seen, (std::vector<UpDown::Direction>{UpDown::Direction::Up, UpDown::Direction::Down,
                                                    UpDown::Direction::Down}));
}

TEST_F(UpDownTest, PositionAndRangeClampWithoutEvent) {
    UpDown ud;
    int clicks = 0;
    ud.OnClick = [&](UpDown::Direction) { ++clicks; };
    ud.SetPosition(500);
    EXPECT_EQ(ud.Position(), 100);
    ud.SetMax(40);
    EXPECT_EQ(ud.Position(), 40);
    ud.SetMin(50);
    EXPECT_EQ(ud.Position(), 50);
    EXPECT_GE(ud.Max(), ud.Min());
    ud.SetPosition(-3);
    EXPECT_EQ(ud.Position(), 50);
    EXPECT_EQ(clicks, 0);
}

// ---------------------------------------------------------------------------------------------

using StatusBarTest = WidgetTest;

TEST_F(StatusBarTest, PanelsHoldTheirTexts) {
    StatusBar bar({150, 200, 200, 40});
    ASSERT_EQ(bar.PanelCount(), 4);
    bar.SetPanelText(0, QStringLiteral("Comm. Connecting"));
    bar.SetPanelText(1, QStringLiteral("Busy"));
    bar.SetPanelText(3, QStringLiteral("通信"));
    bar.SetPanelText(4, QStringLiteral("nowhere"));
    bar.SetPanelText(-1, QStringLiteral("nowhere"));
    EXPECT_EQ(bar.PanelText(0), QStringLiteral("Comm. Connecting"));
    EXPECT_EQ(bar.PanelText(1), QStringLiteral("Busy"));
    EXPECT_EQ(bar.PanelText(2), QString());
    EXPECT_EQ(bar.PanelText(3), QStringLiteral("通信"));
    EXPECT_EQ(bar.PanelText(4), QString());
}

TEST_F(StatusBarTest, PanelsKeepTheirWidthsAndTheLastStretches) {
    QWidget window;
    window.resize(740, 100);
    StatusBar bar({150, 200, 200, 40}, &window);
    bar.setGeometry(0, 70, 740, 30);
    showAndExpose(window);
    QCoreApplication::sendPostedEvents();
    const auto panels = bar.findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 4);
    EXPECT_EQ(panels[0]->width(), 150);
    EXPECT_EQ(panels[1]->width(), 200);
    EXPECT_EQ(panels[2]->width(), 200);
    EXPECT_GT(panels[3]->width(), 40);
}
