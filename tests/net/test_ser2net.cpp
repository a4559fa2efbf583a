// SPDX-License-Identifier: MIT
// End to end through a real serial device server: Debian's ser2net joins the simulated
// camera's terminal to a loopback port, once as raw TCP and once as Telnet with the
// COM-PORT-OPTION. The Easy page loads and a Camera->PC copy gives the same file as on the
// terminal itself; over rfc2217 the program sets the server's line to 9600 8N1 (the server
// opens it at 19200 7E1).
#include "NetRig.h"
#include "Ser2net.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <fcntl.h>
#include <termios.h>

namespace r8::net::test {
namespace {

using sim::test::TempDir;

struct Ser2netCase {
    const char* name;
    Ser2net::Mode mode;
    const char* line; // the terminal's settings when ser2net opens it
};

void PrintTo(const Ser2netCase& c, std::ostream* os) {
    *os << c.name;
}

class Ser2netTest : public ::testing::TestWithParam<Ser2netCase> {};

termios TerminalSettings(const std::string& path) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) {
        EXPECT_EQ(::tcgetattr(fd, &t), 0);
        ::close(fd);
    }
    return t;
}

TEST_P(Ser2netTest, TheEasyPageLoadsAndACopyIsByteIdentical) {
    const std::string program = FindSer2net();
    if (program.empty())
        GTEST_SKIP() << "ser2net is not installed (Debian package ser2net): the tests through "
                        "a serial device server are skipped";
    const Ser2netCase& c = GetParam();
    TempDir dir;
    sim::CameraSim camera;
    camera.Start();

    // On the terminal itself first; ser2net takes the terminal only while a client is on.
    const std::vector<std::string> easy = LoadEasyPage(camera.SlavePath());
    const std::string copied = CopyCameraToPc(camera.SlavePath(), dir.File("direct.dat"));
    ASSERT_EQ(easy.size(), std::size(kEasyPage));
    ASSERT_FALSE(copied.empty());

    Ser2net server(program, camera.SlavePath(), c.mode, c.line, dir.File("ser2net.log"));
    ASSERT_TRUE(server.Start()) << server.Log();
    EXPECT_EQ(LoadEasyPage(server.Url()), easy) << server.Log();

    if (c.mode == Ser2net::Mode::Rfc2217) {
        // The line while the program is connected: set by its requests, not by ser2net's
        // configuration.
        Rig rig(server.Url());
        EasyRoom room;
        rig.session.SetRoom(kEasyGroup, &room);
        ASSERT_TRUE(rig.Connect()) << server.Log();
        const termios t = TerminalSettings(camera.SlavePath());
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    }

    EXPECT_TRUE(CopyCameraToPc(server.Url(), dir.File("network.dat")) == copied)
        << "the files differ\n"
        << server.Log();
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Ser2netTest,
                         ::testing::Values(Ser2netCase{"raw", Ser2net::Mode::Raw, "9600n81"},
                                           Ser2netCase{"rfc2217", Ser2net::Mode::Rfc2217,
                                                       "19200e71"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace r8::net::test
