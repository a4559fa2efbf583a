// SPDX-License-Identifier: MIT
// --port auto and `r8v5mc-ctl ports` on a scratch scan root: simulated cameras and silent
// pseudo-terminals linked under device names, one port held by another program.
#include "Comm.h"
#include "CtlTool.h"
#include "Frames.h"
#include "PortProbe.h"
#include "ScanRoot.h"
#include "SimPeer.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace r8 {
namespace {

using Result = test::ToolRun;

Result Ctl(const std::vector<std::string>& words) {
    const CtlArgs args = ParseCtlArgs(words);
    EXPECT_EQ(args.error, "");
    return test::CaptureTool([&](const ToolStreams& io) { return RunCtlTool(args, io); });
}

sim::SimOptions cameraAt(const std::string& link) {
    sim::SimOptions o;
    o.linkPath = link;
    return o;
}

class AutoPort : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("R8V5MC_SCAN_ROOT", scan.Root().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (scan.Root() + "/config").c_str(), 1);
        ::unsetenv("R8V5MC_PORT");
    }
    void TearDown() override { ::unsetenv("R8V5MC_SCAN_ROOT"); }
    test::ScanRoot scan;
};

TEST_F(AutoPort, PortsAndAutoFindTheCamerasThatAnswerSkipABusyPortAndTryTheRememberedFirst) {
    scan.Silent("ttyUSB0");
    sim::CameraSim held(cameraAt(scan.Dev("ttyUSB1"))); // another program has this camera
    held.Start();
    SetPortPath(9, scan.Dev("ttyUSB1"));
    TComm program;
    program.SetPort(9);
    program.Open();
    sim::CameraSim second(cameraAt(scan.Dev("ttyUSB2")));
    second.Start();
    sim::CameraSim remembered(cameraAt(scan.Dev("ttyACM0")));
    remembered.Start();
    scan.Usb("ttyACM0", "2341", "0043", "Uno", "7583");
    ASSERT_TRUE(RememberToolPort(scan.Dev("ttyACM0")));

    const Result ports = Ctl({"ports"});
    EXPECT_EQ(ports.code, 0);
    EXPECT_EQ(ports.out, scan.Dev("ttyACM0") + ": camera answered (last used)\n" +
                             "    USB Uno (2341:0043, serial 7583)\n" + scan.Dev("ttyUSB0") +
                             ": no answer\n" + scan.Dev("ttyUSB1") + ": busy\n" +
                             "    busy. Another program is using it.\n" + scan.Dev("ttyUSB2") +
                             ": camera answered\n");
    const Result json = Ctl({"ports", "--json"});
    EXPECT_EQ(json.code, 0);
    EXPECT_NE(json.out.find("{\"port\": \"" + scan.Dev("ttyUSB1") +
                            "\", \"stable_name\": null, \"device\": \"" + scan.Dev("ttyUSB1") +
                            "\", \"usb\": null, \"remembered\": false, \"camera\": false, "
                            "\"state\": \"busy\""),
              std::string::npos)
        << json.out;
    EXPECT_TRUE(held.Received().empty()) << "a busy port is never written to";

    // The remembered port first, although ttyUSB2 comes before it in the list.
    Result get = Ctl({"get", "agc"});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.err, "r8v5mc-ctl: camera found on " + scan.Dev("ttyACM0") + "\n");
    EXPECT_EQ(get.out.rfind("agc=", 0), 0u);

    // Without it the first that answers, past the silent and the busy port, which is named.
    remembered.Stop();
    get = Ctl({"get", "agc"});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.err, "r8v5mc-ctl: " + scan.Dev("ttyUSB1") +
                           ": busy. Another program is using it.\nr8v5mc-ctl: camera found on " +
                           scan.Dev("ttyUSB2") + "\n");
    EXPECT_EQ(RememberedToolPort(), scan.Dev("ttyUSB2"));
    EXPECT_TRUE(held.Received().empty());
    program.Close();

    ::setenv("R8V5MC_PORT", "socket://cam.lan:4001", 1);
    EXPECT_EQ(ParseCtlArgs({"get", "agc"}).port, "socket://cam.lan:4001");
    EXPECT_EQ(ParseCtlArgs({"--port", "/dev/ttyUSB3", "get", "agc"}).port, "/dev/ttyUSB3");
}

TEST_F(AutoPort, APortThatAppearsWhileSearchingIsFoundAtTheNextRound) {
    AutoPortSearch search(scan.Root(), 5000);
    EXPECT_EQ(search.Tick(), "");
    // Plugged in between two rounds: its stable name comes first, so the round ends with its
    // answer.
    const std::string byId = scan.Dev("serial/by-id/usb-FTDI_FT232R_A5-if00-port0");
    std::filesystem::create_directories(scan.Dev("serial/by-id"));
    sim::CameraSim camera(cameraAt(byId));
    camera.Start();
    scan.Silent("ttyUSB0");
    EXPECT_EQ(search.Tick(), byId);
    ASSERT_EQ(camera.Received().size(), 1u);
    EXPECT_EQ(camera.Received()[0], std::vector<uint8_t>{ENQ});
}

TEST_F(AutoPort, WithNoCameraPortsEndsWithStatusThree) {
    scan.Silent("ttyUSB0");
    const Result ports = Ctl({"ports"});
    EXPECT_EQ(ports.code, 3);
    EXPECT_EQ(ports.out, scan.Dev("ttyUSB0") + ": no answer\n");
}

} // namespace
} // namespace r8
