// SPDX-License-Identifier: MIT
// The window's search over every serial port and its Port... chooser, on a scratch scan root
// with simulated cameras and silent pseudo-terminals linked under device names.
#include "Comm.h"
#include "MainWindow.h"
#include "PortChooser.h"
#include "QtTestEnv.h"
#include "ScanRoot.h"
#include "SimPeer.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace r8;
using r8::ui::TFR8V2;

namespace {

constexpr int kWaitMs = 15000;

sim::SimOptions cameraAt(const std::string& link) {
    sim::SimOptions o;
    o.linkPath = link;
    return o;
}

std::vector<std::string> Rows(const QListWidget& list) {
    std::vector<std::string> rows;
    for (int i = 0; i < list.count(); ++i)
        rows.push_back(list.item(i)->text().toStdString());
    return rows;
}

} // namespace

TEST(WindowPortSearch, FindsTheRememberedCameraFirstAndThePortChooserConnectsToAnother) {
    test::ScanRoot scan;
    ::setenv("R8V5MC_SCAN_ROOT", scan.Root().c_str(), 1);
    scan.Silent("ttyUSB0");
    scan.Usb("ttyUSB0", "067b", "2303", "USB-Serial Controller", "");
    sim::CameraSim first(cameraAt(scan.Dev("ttyUSB1")));
    first.Start();
    scan.Usb("ttyUSB1", "0403", "6001", "FT232R USB UART", "A5");
    QSettings("r8v5mc", "r8v5mc")
        .setValue("port/last", QString::fromStdString(scan.Dev("ttyUSB1")));

    test::RecordingSink sink;
    TFR8V2 w;
    w.RememberPort(true);
    w.SearchAllPorts();
    w.FormCreate();
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connecting: " + scan.Dev("ttyUSB1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.PageControl1->isEnabled(); }, kWaitMs));

    w.PortItem->trigger();
    ui::PortChooser* chooser = w.Chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(Rows(*chooser->PortList),
              (std::vector<std::string>{
                  scan.Dev("ttyUSB1") +
                      "  [last used]  [in use]\n      FT232R USB UART (0403:6001, serial A5)",
                  scan.Dev("ttyUSB0") + "\n      USB-Serial Controller (067b:2303)"}));
    // An adapter plugged in while the chooser is open shows up in it.
    sim::CameraSim second(cameraAt(scan.Dev("ttyACM0")));
    second.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return chooser->PortList->count() == 3; }, kWaitMs));
    EXPECT_EQ(chooser->PortList->item(2)->text().toStdString(), scan.Dev("ttyACM0"));

    // A network port must be one; typing one takes the place of the list's choice.
    for (const auto& [typed, usable] : std::vector<std::pair<const char*, bool>>{
             {"socket://", false}, {"telnet://cam:23", false}, {"rfc2217://cam.lan:4001", true}}) {
        chooser->NetEdit->setText(typed);
        EXPECT_EQ(chooser->ConnectButton->isEnabled(), usable) << typed;
    }
    chooser->NetEdit->clear();
    chooser->PortList->setCurrentRow(2);
    chooser->ConnectButton->click();
    EXPECT_EQ(w.Chooser(), nullptr);
    EXPECT_FALSE(w.PageControl1->isEnabled()) << "the link starts over on the chosen port";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.PageControl1->isEnabled(); }, kWaitMs));
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connected: " + scan.Dev("ttyACM0"));
    EXPECT_EQ(TFR8V2::RememberedPort(), scan.Dev("ttyACM0"));
    EXPECT_TRUE(sink.shown.empty());
    ::unsetenv("R8V5MC_SCAN_ROOT");
}
