// SPDX-License-Identifier: MIT
// The Copy tab headless: whole copies against the simulated camera, and on a scripted port the
// cases where the tab must send nothing.
#include "Comm.h"
#include "CopyTab.h"
#include "EepromImage.h"
#include "FakePort.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "SimPeer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingSink;
using r8::ui::CopyTab;
using r8::ui::FileDialog;
using r8::ui::TFR8V2;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

constexpr int kWaitMs = 30000;

std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

void WriteAll(const QString& path, const std::string& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

void Unlock(TFR8V2& w) {
    for (const char* t : {"t", "tm", "tmw", "tmwr"})
        w.pwl->SetText(t);
}

// Stands in for the file dialogs: answers with `path` (empty: cancelled) and counts the asks.
struct Chooser {
    QString path;
    std::vector<FileDialog::Mode> asked;
    void Install(CopyTab& tab) {
        tab.SetFileChooser([this](const FileDialog& d) {
            asked.push_back(d.mode);
            return path;
        });
    }
};

// Runs the event loop until done() or the time is up. Unlike QTest::qWaitFor it sleeps only
// while no event is waiting, so a copy of 1024 exchanges runs at the camera's pace.
bool RunUntil(const std::function<bool()>& done, int ms = kWaitMs) {
    const QDeadlineTimer deadline(ms);
    QTimer wake; // lets the wait see the deadline
    wake.start(50);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QString FirstLine(const QString& text) {
    return text.section('\n', 0, 0);
}

} // namespace

TEST(CopyTabOnSimulator, CameraToPcGivesTheEepromImageAndBatchWritesAFileBack) {
    RecordingSink sink;
    sim::CameraSim camera;
    camera.Start();
    SetPortPath(1, camera.SlavePath());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TFR8V2 w;
    w.FormCreate();
    auto idle = [&] {
        return w.Loader().TransStep == 0 && w.Loader().Orders.bOrder == 0 &&
               w.Link().LINK_STATUS == 1;
    };
    ASSERT_TRUE(RunUntil(idle)); // the Easy page
    Unlock(w);
    w.PageControl1->setCurrentIndex(kCopyGroup);
    ASSERT_TRUE(RunUntil(idle)); // the Copy page
    CopyTab& tab = *w.Copy;
    Chooser chooser;
    chooser.Install(tab);
    std::vector<int> positions;
    QObject::connect(tab.ProgressBar3, &QProgressBar::valueChanged,
                     [&](int v) { positions.push_back(v); });
    auto ended = [&] { return !tab.complete2->isHidden() || !sink.shown.empty(); };

    // Camera->PC, into a name chosen without a suffix: it gets ".dat".
    chooser.path = dir.filePath("camera");
    tab.CtopOK2->Click();
    ASSERT_TRUE(RunUntil(ended));
    chooser.path += ".dat";
    for (const auto& m : sink.shown)
        ADD_FAILURE() << m.caption.toStdString() << ": " << m.text.toStdString();
    sim::EepromImage eeprom{};
    camera.WithModel([&](sim::CameraModel& m) { eeprom = m.Eeprom(); });
    const std::string file = ReadAll(chooser.path);
    EXPECT_EQ(file, sim::SettingsText(eeprom));
    EXPECT_EQ(chooser.asked, std::vector{FileDialog::Mode::Save});
    EXPECT_EQ(tab.Label35->Caption(), "Camera->PC");
    EXPECT_EQ(tab.Copyfname2->Caption(), chooser.path);
    EXPECT_EQ(tab.Copy_select->ItemIndex(), 0);
    EXPECT_EQ(tab.ProgressBar3->maximum(), 1024);
    EXPECT_EQ(tab.ProgressBar3->value(), 1024);
    // The bar went through every word.
    EXPECT_EQ(positions.size(), 1024u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));

    // PC->Camera (batch) of that file with word 5 changed: the block, then the reset.
    std::string edited = file;
    edited.replace(5 * 32 + 8, 4, "ABCD");
    chooser.path = dir.filePath("edited.dat");
    WriteAll(chooser.path, edited);
    positions.clear();
    tab.ptocOk2->Click();
    ASSERT_TRUE(RunUntil(ended));
    for (const auto& m : sink.shown)
        ADD_FAILURE() << m.caption.toStdString() << ": " << m.text.toStdString();
    camera.WithModel([&](sim::CameraModel& m) { eeprom = m.Eeprom(); });
    EXPECT_EQ(sim::SettingsText(eeprom), edited);
    EXPECT_EQ(eeprom[5], 0xABCD);
    EXPECT_EQ(tab.Label35->Caption(), "PC->Camera");
    EXPECT_EQ(tab.Copy_select->ItemIndex(), 2);
    EXPECT_TRUE(tab.Same->Checked()); // the next PC->Camera takes the same file
    EXPECT_EQ(tab.ProgressBar3->value(), tab.ProgressBar3->maximum());
    EXPECT_FALSE(positions.empty());
    EXPECT_TRUE(w.PageControl1->isEnabled());

    // Verify: the camera against the file it now holds, then against the first image.
    for (const bool same : {true, false}) {
        tab.Same->SetChecked(false);
        chooser.path = same ? dir.filePath("edited.dat") : dir.filePath("camera.dat");
        tab.complete2->hide();
        tab.CopyVerify->Click();
        ASSERT_TRUE(RunUntil(ended));
        ASSERT_TRUE(sink.shown.empty());
        QStringList expected;
        if (!same)
            expected << "0005 " + QString::fromStdString(file.substr(5 * 32 + 8, 4)) + " ABCD";
        expected
            << QString("1023 words compared, %1 differ (address, file, camera)").arg(same ? 0 : 1);
        EXPECT_EQ(tab.VerifyList->Lines(), expected);
        EXPECT_EQ(tab.Label35->Caption(), "Verify");
    }
    camera.WithModel([&](sim::CameraModel& m) { eeprom = m.Eeprom(); });
    EXPECT_EQ(sim::SettingsText(eeprom), edited) << "a verify writes nothing";
}

namespace {

// The window on a scripted port with the Copy page loaded; the test answers for the camera.
struct ScriptedCopyTab {
    ScriptedCopyTab() {
        window = std::make_unique<TFR8V2>(&port);
        window->FormCreate();
        port.Deliver({ACK});
        answerPage();
        Unlock(*window);
        window->PageControl1->setCurrentIndex(kCopyGroup);
        answerPage();
        port.ClearWritten();
        chooser.Install(Tab());
    }
    void answerPage() {
        for (int i = 0; i < 50 && window->Loader().TransStep != 0; ++i) {
            const auto& f = window->Link().SendFrame;
            uint8_t a[15] = {0xA0, f[2], f[3], f[4]};
            const auto frame = MakeStxFrame(a, 15);
            port.Deliver({ACK});
            port.Deliver({frame.begin(), frame.end()});
        }
        ASSERT_EQ(window->Loader().TransStep, 0);
    }
    CopyTab& Tab() { return *window->Copy; }

    RecordingSink sink;
    FakePort port;
    std::unique_ptr<TFR8V2> window;
    Chooser chooser;
};

} // namespace

TEST(CopyTabScripted, RefusedTransfersSendNothing) {
    const std::string kMalformed = "210C00000x00000000000000000000\r\n";
    enum Button { CameraToPc, Batch, Single };
    const struct {
        const char* what;
        Button button;
        const char* file;  // existing file "file.dat" with this text, nullptr: none
        bool cancel;       // the dialog is cancelled
        bool sameByHand;   // "Same File Name" ticked before the click
        bool overwriteYes; // the answer to the overwrite question
        size_t dialogs;
        const char* text; // the message shown (first line), nullptr: none
        const char* caption;
    } cases[] = {
        {"malformed file, batch", Batch, kMalformed.c_str(), false, false, true, 1,
         "File read Error occured", "File.ERR"},
        {"malformed file, single", Single, kMalformed.c_str(), false, false, true, 1,
         "File read Error occured", "File.ERR"},
        {"missing file, single", Single, nullptr, false, false, true, 1, "File read Error occured",
         "File.ERR"},
        // The open dialog was never used: its name is still "*.dat".
        {"Same ticked by hand, single", Single, nullptr, false, true, true, 0,
         "File read Error occured", "File.ERR"},
        {"overwrite answered No", CameraToPc, "an earlier file", false, false, false, 1,
         "Do you really want to over write file.dat?", "R8V5MC"},
        {"dialog cancelled, batch", Batch, nullptr, true, false, true, 1, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ScriptedCopyTab s;
        CopyTab& tab = s.Tab();
        const QString path = dir.filePath("file.dat");
        if (c.file) WriteAll(path, c.file);
        s.chooser.path = c.cancel ? QString() : path;
        s.sink.confirmAnswer = c.overwriteYes;
        if (c.sameByHand) tab.Same->SetChecked(true);
        (c.button == CameraToPc ? tab.CtopOK2
         : c.button == Batch    ? tab.ptocOk2
                                : tab.ptocOk)
            ->Click();

        EXPECT_TRUE(s.port.writes.empty());
        EXPECT_FALSE(tab.Engine().Running());
        EXPECT_EQ(s.chooser.asked.size(), c.dialogs);
        if (c.text) {
            ASSERT_EQ(s.sink.shown.size(), 1u);
            EXPECT_EQ(FirstLine(s.sink.shown[0].text), c.text);
            EXPECT_EQ(s.sink.shown[0].caption, c.caption);
            EXPECT_EQ(s.sink.shown[0].buttons, c.button == CameraToPc ? 0 : 2); // Yes/No; A/R/I
        } else {
            EXPECT_TRUE(s.sink.shown.empty());
        }
        EXPECT_TRUE(tab.complete2->isHidden());
        EXPECT_EQ(ReadAll(path), c.file ? c.file : "");
        if (c.button == CameraToPc) {
            EXPECT_TRUE(tab.Copyfname2->Caption().isEmpty());
        }
    }
}

// While a copy runs the answers must reach the Copy tab: the other tabs, the load and the reset
// wait, and come back at the end, on an error answer and when the link is lost.
TEST(CopyTabScripted, TheTabControlStaysOnCopyWhileACopyRuns) {
    enum End { Done, ErrorAnswer, LinkLost };
    for (const End end : {Done, ErrorAnswer, LinkLost}) {
        SCOPED_TRACE(end);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ScriptedCopyTab s;
        TFR8V2& w = *s.window;
        auto othersEnabled = [&] {
            int enabled = 0;
            for (int i = 0; i < kPageGroups; ++i)
                enabled += i != kCopyGroup && w.PageControl1->isTabEnabled(i);
            return enabled;
        };
        ASSERT_EQ(othersEnabled(), kPageGroups - 1);
        s.chooser.path = dir.filePath("camera.dat");
        s.Tab().CtopOK2->Click();
        ASSERT_TRUE(s.Tab().Engine().Running());
        EXPECT_EQ(othersEnabled(), 0);
        EXPECT_TRUE(w.PageControl1->isTabEnabled(kCopyGroup));
        EXPECT_FALSE(w.ReLoad->isEnabled());
        EXPECT_FALSE(w.ResetButton->isEnabled());
        EXPECT_FALSE(s.Tab().ptocOk2->isEnabled());
        const size_t writes = s.port.writes.size();
        w.SW_push(1); // the push-switch window is not disabled with the tabs
        EXPECT_EQ(s.port.writes.size(), writes);

        auto answer = [&](std::initializer_list<uint8_t> a) {
            const std::vector<uint8_t> payload(a);
            const auto frame = MakeStxFrame(payload.data(), payload.size());
            s.port.Deliver({ACK});
            s.port.Deliver({frame.begin(), frame.end()});
        };
        if (end == Done) {
            for (int k = 0; k < kEepromWords; ++k)
                answer({0xA0, 0x0C, static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k), 0, 0});
            EXPECT_FALSE(s.Tab().complete2->isHidden());
        } else if (end == ErrorAnswer) {
            answer({0xA2, 0x0C, 0x00, 0x00});
        } else {
            for (int tick = 0; tick < 42; ++tick)
                w.Link().SendTimerTimer();
            ASSERT_FALSE(s.sink.shown.empty());
            EXPECT_EQ(s.sink.shown.back().caption, "Comm.ERR");
        }
        EXPECT_FALSE(s.Tab().Engine().Running());
        EXPECT_EQ(othersEnabled(), kPageGroups - 1);
        EXPECT_TRUE(w.ReLoad->isEnabled());
        EXPECT_TRUE(w.ResetButton->isEnabled());
        EXPECT_TRUE(s.Tab().ptocOk2->isEnabled());
    }
}

namespace {

// A settings file of `words` records (words 0..words-1) and the end record.
std::string Patch(int words) {
    WordImage image{};
    image.fill(0x1234);
    const std::string whole = SettingsFileText(image.data());
    return whole.substr(0, static_cast<size_t>(words) * kRecordSize) +
           whole.substr(whole.size() - kRecordSize);
}

// The camera's good answer to the command on the wire: an EEPROM word's answer carries the
// word's address from the command, whatever `a` says there.
void Answer(FakePort& port, std::initializer_list<uint8_t> a) {
    std::vector<uint8_t> payload(a);
    const auto last = std::find_if(port.writes.rbegin(), port.writes.rend(),
                                   [](const auto& w) { return w.size() == kCommandFrameSize; });
    if (payload.size() >= 4 && payload[0] == 0xA0 && payload[1] == 0x0C &&
        last != port.writes.rend() && (*last)[2] == 0x0C) {
        payload[2] = (*last)[3];
        payload[3] = (*last)[4];
    }
    const auto frame = MakeStxFrame(payload.data(), payload.size());
    port.Deliver({ACK});
    port.Deliver({frame.begin(), frame.end()});
}

} // namespace

// Exit, the menu's Exit and the close box ask while a copy runs. "No" leaves the copy running
// and the camera as it was; "Yes" stops it (nothing more is sent) and closes. A read asks too,
// in its own words.
TEST(CopyTabScripted, LeavingDuringACopyAsksFirst) {
    enum Way { ExitButton, MenuExit, CloseBox };
    for (const bool toCamera : {true, false})
        for (const Way way : {ExitButton, MenuExit, CloseBox})
            for (const bool yes : {false, true}) {
                if (!toCamera && way != ExitButton) continue;
                SCOPED_TRACE(testing::Message() << toCamera << way << yes);
                QTemporaryDir dir;
                ASSERT_TRUE(dir.isValid());
                ScriptedCopyTab s;
                TFR8V2& w = *s.window;
                w.show();
                s.chooser.path = dir.filePath("file.dat");
                if (toCamera) {
                    WriteAll(s.chooser.path, Patch(3));
                    s.Tab().ptocOk->Click();
                } else {
                    s.Tab().CtopOK2->Click();
                }
                ASSERT_TRUE(s.Tab().Engine().Running());
                Answer(s.port, {0xA0, 0x0C, 0x00, 0x00, 0x12, 0x34}); // the first record or read
                const size_t writes = s.port.writes.size();
                s.sink.confirmAnswer = yes;
                if (way == ExitButton) w.ExitButton->Click();
                if (way == MenuExit) w.Exit->trigger();
                if (way == CloseBox) w.windowHandle()->close(); // as the window manager asks
                ASSERT_EQ(s.sink.shown.size(), 1u);
                EXPECT_EQ(s.sink.shown[0].caption, "R8V5MC");
                EXPECT_NE(s.sink.shown[0].text.indexOf(toCamera ? "leaves the camera with part"
                                                                : "leaves no file"),
                          -1)
                    << s.sink.shown[0].text.toStdString();
                EXPECT_EQ(w.isVisible(), !yes);
                EXPECT_EQ(s.Tab().Engine().Running(), !yes);
                EXPECT_EQ(s.port.writes.size(), writes) << "the question sends nothing";
                if (yes) {
                    EXPECT_FALSE(s.port.IsOpen()) << "closed without sending more";
                    continue;
                }
                Answer(s.port, {0xA0, 0x0C, 0x00, 0x01, 0x12, 0x34});
                EXPECT_EQ(s.port.writes.size(), writes + 2) << "the ACK and the next command";
            }
}

// Stop ends the transfer between exchanges and says what it leaves: a read no file, a write
// what the camera may hold; nothing is sent afterwards and the window is free again.
TEST(CopyTabScripted, StopEndsTheCopyAndSaysWhatTheCameraMayHold) {
    enum Mode { Read, Single, Batch, Verify };
    for (const Mode mode : {Read, Single, Batch, Verify}) {
        SCOPED_TRACE(mode);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ScriptedCopyTab s;
        CopyTab& tab = s.Tab();
        s.chooser.path = dir.filePath("file.dat");
        EXPECT_FALSE(tab.CopyStop->isEnabled());
        if (mode == Read) {
            tab.CtopOK2->Click();
        } else if (mode == Verify) {
            WriteAll(s.chooser.path, Patch(kDataRecords));
            tab.CopyVerify->Click();
        } else {
            WriteAll(s.chooser.path, mode == Single ? Patch(5) : Patch(kDataRecords));
            (mode == Single ? tab.ptocOk : tab.ptocOk2)->Click();
        }
        ASSERT_TRUE(tab.Engine().Running());
        EXPECT_TRUE(tab.CopyStop->isEnabled());
        if (mode == Single) Answer(s.port, {0xA0, 0x0C, 0x00, 0x00, 0x12, 0x34});
        const size_t writes = s.port.writes.size();
        tab.CopyStop->Click();
        EXPECT_FALSE(tab.Engine().Running());
        EXPECT_FALSE(tab.CopyStop->isEnabled());
        EXPECT_TRUE(tab.ptocOk->isEnabled());
        EXPECT_TRUE(s.window->ReLoad->isEnabled());
        ASSERT_EQ(s.sink.shown.size(), 1u);
        const std::string text = s.sink.shown[0].text.toStdString();
        const char* says[] = {"no file written",
                              "the camera may hold part of the file: 2 of the 5 words",
                              "nothing was written to the camera", "nothing compared"};
        EXPECT_NE(text.find(says[mode]), std::string::npos) << text;
        Answer(s.port, {0xA0, 0x0C, 0x00, 0x01, 0x12, 0x34}); // the answer still due
        EXPECT_EQ(s.port.writes.size(), writes + 1) << "only its ACK";
        EXPECT_FALSE(QFile::exists(s.chooser.path) && mode == Read);
        EXPECT_TRUE(tab.VerifyList->Lines().isEmpty() || mode != Verify);
        EXPECT_EQ(QDir(dir.path())
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                      .size(),
                  mode == Read ? 0 : 1)
            << "no temporary file left";
    }
}
