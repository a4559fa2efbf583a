// SPDX-License-Identifier: MIT
// TComm on a real pseudo-terminal: the component holds the slave, the test plays the far end
// of the line on the master.
#include "Comm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace r8 {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Upper bound of every wait in these tests; reached only when something is broken.
constexpr auto kBound = std::chrono::seconds(10);

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

bool waitReadable(int fd, Clock::time_point deadline) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, msLeft(deadline)) > 0;
}

void drainEventFd(int fd) {
    uint64_t count;
    while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

Bytes pattern(size_t n, unsigned mul, unsigned add) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * mul + add);
    return b;
}

Bytes allByteValues() {
    return pattern(256, 1, 0);
}

size_t threadCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

// Threads before any watcher runs. A sanitizer runtime may add a thread of its own with the
// first thread started, so one is started first.
size_t baselineThreadCount() {
    std::thread([] {}).join();
    return threadCount();
}

std::chrono::nanoseconds processCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// The far end of the line.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) < 0 || ::unlockpt(master_) < 0) std::abort();
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) std::abort();
        slave_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { HangUp(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slave_; }

    void HangUp() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    bool Send(const Bytes& data) {
        const auto deadline = Clock::now() + kBound;
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(master_, data.data() + done, data.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            pollfd p{master_, POLLOUT, 0};
            const int ready = ::poll(&p, 1, msLeft(deadline));
            if (ready == 0 || (ready > 0 && !(p.revents & POLLOUT))) return false;
        }
        return true;
    }

    // Exactly n bytes, or fewer if the line closes or the bound passes.
    Bytes Receive(size_t n) {
        const auto deadline = Clock::now() + kBound;
        Bytes got;
        uint8_t buf[4096];
        while (got.size() < n) {
            const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buf, buf + r);
                continue;
            }
            if (r < 0 && errno == EINTR) continue;
            if (r == 0 || errno != EAGAIN || !waitReadable(master_, deadline)) break;
        }
        return got;
    }

    // Linux reports the slave's line settings on the master.
    termios Line() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }

    // Whether the slave is held exclusively: a fresh open is refused (EBUSY) or, for root,
    // which may open it anyway, the flag reads set.
    bool SlaveIsExclusive() const {
        const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return errno == EBUSY;
        int exclusive = 0;
        ::ioctl(fd, TIOCGEXCL, &exclusive);
        ::close(fd);
        return exclusive != 0;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Runs the owner's side of the receive path until done() holds or the bound passes.
template <class Done> bool pump(TComm& comm, Done done) {
    const auto deadline = Clock::now() + kBound;
    for (;;) {
        comm.DispatchEvents();
        if (done()) return true;
        if (Clock::now() >= deadline || !waitReadable(comm.EventFd(), deadline)) return done();
    }
}

// Waits until the watcher has queued n bytes, without dispatching them.
bool waitQueued(TComm& comm, size_t n) {
    const auto deadline = Clock::now() + kBound;
    while (comm.InQueueCount() < n) {
        if (!waitReadable(comm.EventFd(), deadline)) return false;
        drainEventFd(comm.EventFd());
    }
    return true;
}

// A receive handler as the link uses it: one byte at a time, as many as reported.
struct Receiver {
    Bytes got;
    std::vector<uint16_t> sizes;

    void AttachTo(TComm& comm) {
        comm.OnCommReceive = [this](SerialPort& port, uint16_t size) {
            sizes.push_back(size);
            for (uint16_t i = 0; i < size; ++i) {
                uint8_t b = 0;
                if (port.Read(&b, 1) == 1) got.push_back(b);
            }
        };
    }
};

template <class Call> void expectCommError(Call call, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected \"" << text << "\"";
    } catch (const ECommError& e) {
        EXPECT_EQ(e.what(), text);
        EXPECT_EQ(dynamic_cast<const ECommReadWriteError*>(&e), nullptr);
        EXPECT_EQ(dynamic_cast<const ECommOpenError*>(&e), nullptr);
    }
}

class CommTest : public testing::Test {
protected:
    CommTest() { SetPortPath(1, pty.SlavePath()); }

    Pty pty;
    TComm comm;
};

class CommOpen : public CommTest {};
class CommLine : public CommTest {};
class CommIo : public CommTest {};
class CommReceive : public CommTest {};

// --- Opening and closing ---

TEST_F(CommOpen, MissingDeviceThrowsOpenErrorAndStaysClosed) {
    SetPortPath(1, (std::filesystem::temp_directory_path() / "no-such-tty").string());
    try {
        comm.Open();
        FAIL() << "opened a missing device";
    } catch (const ECommOpenError& e) {
        EXPECT_EQ(e.ErrorCode, -1);
        EXPECT_EQ(std::string(e.what()).rfind("オープンエラー ErrorCode = -1\n", 0), 0u);
    }
    EXPECT_FALSE(comm.IsOpen());
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    expectCommError([&] { comm.Write(nullptr, 0); }, "通信が開始されていない。");
}

TEST_F(CommOpen, NonTerminalIsRefusedAndNotLeftLocked) {
    const auto path = std::filesystem::temp_directory_path() / "not-a-tty";
    const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    SetPortPath(1, path.string());
    try {
        comm.Open();
        FAIL() << "opened a regular file";
    } catch (const ECommOpenError& e) {
        EXPECT_EQ(e.ErrorCode, -1);
    }
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(::flock(file, LOCK_EX | LOCK_NB), 0);
    ::close(file);
    std::filesystem::remove(path);
}

// The box keeps the code line and adds a line that names the device and what is wrong.
TEST_F(CommOpen, OpenErrorNamesThePathAndTheCause) {
    namespace fs = std::filesystem;
    const fs::path missing = fs::temp_directory_path() / "no-such-tty";
    const fs::path plain = fs::temp_directory_path() / "plain-file";
    const fs::path locked = fs::temp_directory_path() / "locked-file";
    for (const fs::path& p : {plain, locked})
        ::close(::open(p.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    ::chmod(locked.c_str(), 0);
    TComm holder; // has the pseudo-terminal: busy for everyone else
    holder.Open();

    struct Case {
        std::string path;
        int cause;
        std::string words;
    };
    std::vector<Case> cases = {
        {missing.string(), ENOENT, ": no such device."},
        {plain.string(), ENOTTY, ": not a serial port."},
        {"", ENOENT, "No device is set for port 1 (COM1)."},
        // The exclusive flag refuses the open (EBUSY); root passes it and meets the lock.
        {pty.SlavePath(), ::geteuid() == 0 ? EWOULDBLOCK : EBUSY,
         ": busy. Another program is using it."},
    };
    if (::geteuid() != 0) // root opens anything
        cases.push_back(
            {locked.string(), EACCES, ": not permitted for this user. Join the dialout"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetPortPath(1, c.path);
        try {
            comm.Open();
            ADD_FAILURE() << "opened";
        } catch (const ECommOpenError& e) {
            EXPECT_EQ(e.ErrorCode, -1);
            EXPECT_EQ(e.Path, c.path);
            EXPECT_EQ(e.Cause, c.cause);
            const std::string text = e.what();
            EXPECT_EQ(text.rfind("オープンエラー ErrorCode = -1\n" + c.path + c.words, 0), 0u)
                << text;
        }
        EXPECT_FALSE(comm.IsOpen());
    }
    fs::remove(plain);
    fs::remove(locked);
}

TEST_F(CommOpen, OpenTwiceAndCloseTwiceAreHarmless) {
    const size_t threads = baselineThreadCount();
    comm.Open();
    comm.Open();
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_EQ(threadCount(), threads + 1); // one watcher
    comm.Close();
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(threadCount(), threads); // the watcher has ended when Close returns
    comm.Open();
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommOpen, SecondInstanceIsRefusedUntilTheFirstCloses) {
    comm.Open();
    EXPECT_TRUE(pty.SlaveIsExclusive());

    TComm other;
    try {
        other.Open();
        FAIL() << "a second instance shares the port";
    } catch (const ECommOpenError& e) {
        EXPECT_EQ(e.ErrorCode, -1);
    }
    EXPECT_FALSE(other.IsOpen());
    EXPECT_TRUE(pty.SlaveIsExclusive()); // the refused attempt left the owner's hold alone

    comm.Close();
    EXPECT_FALSE(pty.SlaveIsExclusive());
    other.Open();
    EXPECT_TRUE(other.IsOpen());
}

// --- Line settings ---

TEST_F(CommLine, OpenMakesTheLineRaw9600With8N1AndRtsCts) {
    comm.Open(); // a fresh pseudo-terminal starts cooked: echo, canonical, CR/NL, XON/XOFF
    const termios t = pty.Line();
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB), 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag &
                  (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK | INPCK),
              0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST_F(CommLine, SettersApplyAtOnceWhileOpen) {
    comm.Open();

    comm.SetBaudRateUserDefined(4800);
    EXPECT_EQ(comm.BaudRate(), -1);
    EXPECT_EQ(comm.EffectiveBaud(), 4800);
    termios t = pty.Line();
    EXPECT_EQ(cfgetispeed(&t), B4800);
    EXPECT_EQ(cfgetospeed(&t), B4800);

    // A pseudo-terminal forces CS8 and clears PARENB; the parity kind and stop bits stay.
    comm.SetParityBits(TCommParityBits::cpbMark);
    t = pty.Line();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
    comm.SetParityBits(TCommParityBits::cpbSpace);
    t = pty.Line();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));
    comm.SetParityBits(TCommParityBits::cpbOdd);
    comm.SetStopBits(TCommStopBits::csb2);
    t = pty.Line();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);

    comm.SetFlowControls({});
    t = pty.Line();
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    comm.SetFlowControls({TCommFlowControl::cfcXonXoff});
    t = pty.Line();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);

    // Each change left the others as they were.
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_EQ(t.c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(PARODD | CSTOPB));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u);
}

TEST_F(CommLine, SettingsMadeWhileClosedApplyAtOpen) {
    comm.SetBaudRate(19200);
    comm.SetStopBits(TCommStopBits::csb2);
    comm.SetFlowControls({});
    comm.Open();
    const termios t = pty.Line();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
}

TEST_F(CommLine, RatesMapToTheNearestLowerTermiosRate) {
    struct Case {
        int32_t rate;
        speed_t speed;
        int32_t runsAt;
    };
    const Case cases[] = {
        {110, B110, 110},          {300, B300, 300},       {600, B600, 600},
        {1200, B1200, 1200},       {2400, B2400, 2400},    {4800, B4800, 4800},
        {9600, B9600, 9600},       {14400, B9600, 9600},   {19200, B19200, 19200},
        {38400, B38400, 38400},    {56000, B38400, 38400}, {128000, B115200, 115200},
        {256000, B230400, 230400},
    };
    comm.Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        comm.SetBaudRate(c.rate);
        const termios t = pty.Line();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(comm.EffectiveBaud(), c.runsAt);
    }

    comm.SetBaudRate(9600);
    comm.SetBaudRate(10); // below every rate: the line keeps its speed
    const termios t = pty.Line();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(comm.EffectiveBaud(), 0);
}

TEST_F(CommLine, DsrReadsOnWhileOpenOnALineWithoutModemLines) {
    EXPECT_FALSE(comm.DsrState());
    comm.Open();
    EXPECT_TRUE(comm.DsrState());
    comm.Close();
    EXPECT_FALSE(comm.DsrState());
}

// --- Reading and writing ---

TEST_F(CommIo, ClosedPortRefusesReadAndWrite) {
    uint8_t b = 0x06;
    expectCommError([&] { comm.Write(&b, 1); }, "通信が開始されていない。");
    expectCommError([&] { comm.Read(&b, 1); }, "通信が開始されていない。");
    comm.Open();
    comm.Close();
    expectCommError([&] { comm.Write(&b, 1); }, "通信が開始されていない。");
    expectCommError([&] { comm.Read(&b, 1); }, "通信が開始されていない。");
}

TEST_F(CommIo, SingleWriteIsLimitedToOutQueueSize) {
    comm.Open();
    const Bytes tooLong(4097, 0x5A);
    expectCommError([&] { comm.Write(tooLong.data(), tooLong.size()); },
                    "送信データ長が長すぎる。");

    const Bytes full = pattern(4096, 7, 1);
    Bytes got;
    std::thread reader([&] { got = pty.Receive(full.size()); });
    comm.Write(full.data(), full.size());
    reader.join();
    EXPECT_EQ(got, full); // and nothing of the refused write went out ahead of it

    comm.SetOutQueueSize(16);
    const Bytes small = pattern(17, 3, 0);
    expectCommError([&] { comm.Write(small.data(), small.size()); }, "送信データ長が長すぎる。");
    comm.Write(small.data(), 16);
    EXPECT_EQ(pty.Receive(16), Bytes(small.begin(), small.begin() + 16));
}

TEST_F(CommIo, EveryByteValuePassesUnchangedBothWays) {
    Receiver rx;
    rx.AttachTo(comm);
    comm.Open();
    const Bytes all = allByteValues();

    ASSERT_TRUE(pty.Send(all));
    ASSERT_TRUE(pump(comm, [&] { return rx.got.size() >= all.size(); }));
    EXPECT_EQ(rx.got, all);

    comm.Write(all.data(), all.size());
    // An echo of the received bytes would reach the master ahead of these.
    EXPECT_EQ(pty.Receive(all.size()), all);
}

TEST_F(CommIo, ReadTakesWhatIsQueuedAndReturnsZeroWhenNothingComes) {
    comm.Open();
    ASSERT_TRUE(pty.Send({'a', 'b', 'c'}));
    ASSERT_TRUE(waitQueued(comm, 3));
    uint8_t buf[8] = {};
    EXPECT_EQ(comm.Read(buf, 0), 0u);
    EXPECT_EQ(comm.Read(buf, sizeof buf), 3u);
    EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(comm.Read(buf, 1), 0u); // after the read time-out
}

TEST_F(CommIo, WriteToAPeerThatNeverReadsFailsInsteadOfHanging) {
    comm.Open();
    const Bytes chunk(4096, 0x41);
    bool failed = false;
    for (int i = 0; i < 1024 && !failed; ++i) {
        try {
            comm.Write(chunk.data(), chunk.size());
        } catch (const ECommReadWriteError& e) {
            failed = true;
            EXPECT_EQ(e.ErrorCode, ETIMEDOUT);
            EXPECT_EQ(e.what(), "入出力エラー ErrorCode = " + std::to_string(ETIMEDOUT));
        }
    }
    EXPECT_TRUE(failed);
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommIo, BreakEndsByItselfAndWritesFollowIt) {
    EXPECT_THROW(comm.SendBreak(), ECommReadWriteError);
    comm.Open();
    comm.SendBreak();
    const Bytes after{0x55};
    comm.Write(after.data(), after.size()); // waits for the end of the break
    EXPECT_EQ(pty.Receive(1), after);
}

// --- The receive path ---

TEST_F(CommReceive, CloseEndsTheWatcherAndDropsWhatWasQueued) {
    Receiver rx;
    rx.AttachTo(comm);
    const size_t threads = baselineThreadCount();
    comm.Open();
    ASSERT_TRUE(pty.Send({'x', 'y', 'z'}));
    ASSERT_TRUE(waitQueued(comm, 3));

    comm.Close();
    EXPECT_EQ(threadCount(), threads);
    pty.Send({'l', 'a', 't', 'e'}); // may be refused with the slave closed; either is fine
    comm.DispatchEvents();
    EXPECT_TRUE(rx.sizes.empty());

    comm.Open();
    ASSERT_TRUE(pty.Send({'Q'}));
    ASSERT_TRUE(pump(comm, [&] { return !rx.got.empty(); }));
    EXPECT_EQ(rx.got, Bytes{'Q'});
}

TEST_F(CommReceive, NestedDispatchDoesNotReenterAndTheOuterCallPicksUpTheRest) {
    int depth = 0;
    int deepest = 0;
    Bytes got;
    std::vector<uint16_t> sizes;
    bool eventFdClearedByNestedCall = false;
    comm.OnCommReceive = [&](SerialPort& port, uint16_t size) {
        ++depth;
        deepest = std::max(deepest, depth);
        sizes.push_back(size);
        for (uint16_t i = 0; i < size; ++i) {
            uint8_t b = 0;
            if (port.Read(&b, 1) == 1) got.push_back(b);
        }
        if (sizes.size() == 1) {
            // A modal box: more bytes come, and its event loop dispatches again.
            EXPECT_TRUE(pty.Send({'B', 'C'}));
            EXPECT_TRUE(waitQueued(comm, 2));
            const uint64_t pending = 1;
            EXPECT_EQ(::write(comm.EventFd(), &pending, sizeof pending), 8);
            comm.DispatchEvents();
            pollfd p{comm.EventFd(), POLLIN, 0};
            eventFdClearedByNestedCall = ::poll(&p, 1, 0) == 0;
        }
        --depth;
    };
    comm.Open();
    ASSERT_TRUE(pty.Send({'A'}));
    ASSERT_TRUE(waitQueued(comm, 1));
    comm.DispatchEvents();

    EXPECT_EQ(deepest, 1);
    EXPECT_TRUE(eventFdClearedByNestedCall); // else a nested event loop would spin on it
    EXPECT_EQ(sizes, (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(got, (Bytes{'A', 'B', 'C'}));
}

TEST_F(CommReceive, HandlerThatTakesNothingIsNotCalledAgainForTheSameBytes) {
    int calls = 0;
    comm.OnCommReceive = [&](SerialPort&, uint16_t) { ++calls; };
    comm.Open();
    ASSERT_TRUE(pty.Send({'x'}));
    ASSERT_TRUE(waitQueued(comm, 1));
    comm.DispatchEvents();
    EXPECT_EQ(calls, 1);
    uint8_t b = 0;
    EXPECT_EQ(comm.Read(&b, 1), 1u);
    EXPECT_EQ(b, 'x');
}

TEST_F(CommReceive, FullQueueStopsReadingWithoutLosingBytes) {
    comm.SetInQueueSize(64);
    Receiver rx;
    rx.AttachTo(comm);
    comm.Open();
    const Bytes data = pattern(100000, 31, 7);
    bool sent = false;
    std::thread sender([&] { sent = pty.Send(data); });

    ASSERT_TRUE(waitQueued(comm, 64));
    // The watcher signals after it has queued, so the signal for the last bytes may still be on its
    // way; one watcher thread means at most one. After it the watcher must wait, not spin.
    pollfd p{comm.EventFd(), POLLIN, 0};
    if (::poll(&p, 1, 300) == 1) drainEventFd(comm.EventFd());
    // A bounded sanity check that a full queue is waited on, not spun on.
    const auto cpuBefore = processCpuTime();
    EXPECT_EQ(::poll(&p, 1, 300), 0);
    EXPECT_LT(processCpuTime() - cpuBefore, std::chrono::milliseconds(50));
    EXPECT_EQ(comm.InQueueCount(), 64u);

    EXPECT_TRUE(pump(comm, [&] { return rx.got.size() >= data.size(); }));
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(rx.got == data) << rx.got.size() << " bytes received";
    ASSERT_FALSE(rx.sizes.empty());
    EXPECT_LE(*std::max_element(rx.sizes.begin(), rx.sizes.end()), 64);
}

TEST_F(CommReceive, PeerHangUpMarksTheDeviceGoneWithoutSpinning) {
    Receiver rx;
    rx.AttachTo(comm);
    comm.Open();
    EXPECT_FALSE(comm.DeviceGone());
    pty.HangUp();
    ASSERT_TRUE(pump(comm, [&] { return comm.DeviceGone(); }));

    // A bounded sanity check that the watcher waits instead of spinning on the dead line. Its
    // signal for the hang-up may still be on its way (it marks the device first).
    pollfd p{comm.EventFd(), POLLIN, 0};
    if (::poll(&p, 1, 300) == 1) drainEventFd(comm.EventFd());
    const auto cpuBefore = processCpuTime();
    EXPECT_EQ(::poll(&p, 1, 300), 0);
    EXPECT_LT(processCpuTime() - cpuBefore, std::chrono::milliseconds(50));

    uint8_t b = 0;
    EXPECT_EQ(comm.Read(&b, 1), 0u);
    EXPECT_THROW(comm.Write(&b, 1), ECommReadWriteError);
    EXPECT_FALSE(comm.DsrState());
    EXPECT_TRUE(rx.sizes.empty());

    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(comm.DeviceGone());
}

// A handler that resumes after a nested loop (a message box) must not act on what a device
// that went away meanwhile had left in the queue.
TEST_F(CommReceive, BytesLeftByADeadDeviceAreDropped) {
    Receiver rx;
    rx.AttachTo(comm);
    comm.Open();
    ASSERT_TRUE(pty.Send({0x06, 0x02, 0x41, 0x42}));
    ASSERT_TRUE(waitQueued(comm, 4));
    pty.HangUp();
    const auto deadline = Clock::now() + kBound;
    while (!comm.DeviceGone() && waitReadable(comm.EventFd(), deadline))
        drainEventFd(comm.EventFd());
    ASSERT_TRUE(comm.DeviceGone());

    comm.DispatchEvents();
    EXPECT_TRUE(rx.got.empty());
    EXPECT_EQ(comm.InQueueCount(), 0u);
    uint8_t b = 0;
    EXPECT_EQ(comm.Read(&b, 1), 0u);
}

} // namespace
} // namespace r8
