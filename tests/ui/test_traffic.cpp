// SPDX-License-Identifier: MIT
// The Traffic window headless, on the main window's own trace: it collects the lines of the
// window's port, pauses, clears and saves.
#include "Comm.h"
#include "FakePort.h"
#include "Frames.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "TrafficWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingSink;
using r8::ui::TFR8V2;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

// The lines without their time of day ("HH:MM:SS.mmm ").
QStringList Units(const ui::TrafficWindow& t) {
    QStringList out;
    for (const QString& line : t.Lines()) {
        EXPECT_EQ(line.size() > 13 ? line[8] : QChar(), QChar('.')) << line.toStdString();
        out.push_back(line.mid(13));
    }
    return out;
}

TEST(TrafficWindow, CollectsTheLinePausesClearsAndSaves) {
    RecordingSink messages;
    SetPortPath(1, "/dev/r8-traffic-test");
    FakePort fake;
    TFR8V2 w(&fake);
    ui::TrafficWindow& traffic = w.TrafficView();

    // Collected from the start; the view takes the lines when the window is opened.
    w.FormCreate();
    fake.Deliver({ACK});
    EXPECT_TRUE(traffic.Lines().isEmpty());
    EXPECT_GE(traffic.Held(), 4);
    w.TrafficItem->trigger();
    EXPECT_TRUE(traffic.isVisible());
    EXPECT_EQ(traffic.Held(), 0);
    const QStringList start = Units(traffic);
    ASSERT_GE(start.size(), 4);
    EXPECT_EQ(start.mid(0, 4),
              (QStringList{"== open /dev/r8-traffic-test", "-> ENQ", "<- ACK", "-> EOT"}));

    // Paused: new lines wait and the view stands still; released, they follow in order.
    traffic.PauseButton->click();
    ASSERT_TRUE(traffic.Paused());
    fake.Deliver({0x55});
    fake.Deliver({0x66});
    EXPECT_EQ(Units(traffic), start);
    EXPECT_EQ(traffic.Held(), 2);
    traffic.PauseButton->click();
    EXPECT_FALSE(traffic.Paused());
    EXPECT_EQ(traffic.Held(), 0);
    EXPECT_EQ(Units(traffic).mid(start.size()), (QStringList{"<- noise 55", "<- noise 66"}));

    traffic.ClearButton->click();
    EXPECT_TRUE(traffic.Lines().isEmpty());
    fake.Deliver({0x77});
    EXPECT_EQ(Units(traffic), QStringList{"<- noise 77"});

    const QString path = QDir::temp().filePath("r8-traffic.txt");
    traffic.AskSavePath = [&] { return path; };
    traffic.SaveButton->click();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), traffic.Lines().join('\n') + '\n');
    EXPECT_TRUE(messages.shown.empty());

    traffic.AskSavePath = [] { return QString("/nonexistent/r8/traffic.txt"); };
    traffic.SaveButton->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith("Cannot write /nonexistent/r8/traffic.txt"));
}

} // namespace
