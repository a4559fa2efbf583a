// Page loads and settings copies through the whole session core (termios component, link,
// loader, read decoder, copy engine) on a plain poll loop, against a running simulated camera.
//
//   bench_session --port PATH [--paced] [--loads N] [--copies N]
//
// Prints rows of the bench/run table: an Easy page load (ten Easy blocks and camera register
// 0x0151, 11 read exchanges; the median of N loads) and a Camera->PC copy (1024 EEPROM word
// reads; the best of N), each beside the wire minimum of 40 byte-times per read exchange at
// 9600 bit/s. --paced says that the camera on PATH paces its line (r8v5mc-sim --pace): the
// efficiency target then applies.
#include "Comm.h"
#include "CopyEngine.h"
#include "EasyPage.h"
#include "PollLoop.h"
#include "Session.h"
#include "Table.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace r8;
constexpr int kPatienceMs = 120000;
constexpr double kExchangeMs = 40.0 * 10.0 / 9600.0 * 1e3;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Front : SessionObserver, CopyReport {
    explicit Front(int shown) : page(shown) {}
    int ActivePage() const override { return page; }
    void Message(const std::string& text, const std::string& caption, int) override {
        std::fprintf(stderr, "message: %s: %s\n", caption.c_str(), text.c_str());
        failed = true;
    }
    void PanelsEnabled(bool on) override { loads += on; }
    void LinkLost() override { failed = true; }
    void CopyProgress(int, int) override {}
    void CopyDone() override { ++copies; }
    void CopyFailed(const CopyFailure& f) override {
        std::fprintf(stderr, "copy failed: %s %s\n", f.text.c_str(), f.detail.c_str());
        failed = true;
    }

    int page;
    int loads = 0;
    int copies = 0;
    bool failed = false;
};

// The Easy tab's page.
struct EasyPage : Room {
    PageTable Page() const override { return kEasyPage; }
};

struct Rig {
    explicit Rig(int page) : front(page) {
        loop.OnException = [this](const std::exception& e) {
            std::fprintf(stderr, "exception: %s\n", e.what());
            front.failed = true;
        };
    }
    ~Rig() { session.Close(); }
    bool Run(const std::function<bool()>& done) {
        return loop.RunUntil([&] { return done() || front.failed; }, kPatienceMs) && !front.failed;
    }
    PollLoop loop;
    Front front;
    Session session{loop, front};
};

// Milliseconds per Easy page load: the median of `loads` loads after the one at connection.
double EasyLoad(int loads) {
    EasyPage page;
    Rig rig(kEasyGroup);
    rig.session.SetRoom(kEasyGroup, &page);
    rig.session.Start();
    if (!rig.Run([&] { return rig.front.loads == 1; })) return -1;
    std::vector<double> ms;
    for (int k = 0; k < loads; ++k) {
        const double t0 = Now();
        rig.session.ReLoadClick();
        if (!rig.Run([&] { return rig.front.loads == k + 2; })) return -1;
        ms.push_back((Now() - t0) * 1e3);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Milliseconds for one Camera->PC copy into a file, the best of `copies`.
double CopyToPc(int copies) {
    Rig rig(kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    rig.session.Start();
    if (!rig.Run([&] { return rig.front.loads == 1; })) return -1;
    char dir[] = "/tmp/r8bench-XXXXXX";
    if (!mkdtemp(dir)) return -1;
    const std::string file = std::string(dir) + "/camera.dat";
    double best = -1;
    for (int k = 0; k < copies; ++k) {
        const double t0 = Now();
        if (!engine.CtopOK2Click(file) || !rig.Run([&] { return rig.front.copies == k + 1; }))
            return -1;
        const double ms = (Now() - t0) * 1e3;
        best = best < 0 ? ms : std::min(best, ms);
    }
    unlink(file.c_str());
    rmdir(dir);
    return best;
}

void Print(const char* what, double ms, int exchanges, bool paced) {
    using bench::Fixed;
    const double minimum = exchanges * kExchangeMs;
    const int decimals = ms < 10 ? 3 : ms < 1000 ? 1 : 0;
    const std::string measured = Fixed(ms, decimals, "ms");
    const std::string reference = Fixed(minimum, minimum < 1000 ? 1 : 0, "ms") + " wire min";
    if (paced) {
        const double efficiency = 100.0 * minimum / ms;
        bench::Row(what, measured, reference, Fixed(efficiency, 2, "%"), ">= 99 %",
                   bench::Verdict(efficiency >= 99.0));
    } else {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.4f", ms / minimum);
        bench::Row(what, measured, reference, ratio, "", "");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    bool paced = false;
    int loads = 100, copies = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--paced")
            paced = true;
        else if (a == "--loads" && i + 1 < argc)
            loads = std::max(1, std::atoi(argv[++i]));
        else if (a == "--copies" && i + 1 < argc)
            copies = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: %s --port PATH [--paced] [--loads N] [--copies N]\n",
                         argv[0]);
            return 2;
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "%s: --port PATH (a running r8v5mc-sim) is needed\n", argv[0]);
        return 2;
    }
    SetPortPath(1, port);
    const char* how = paced ? "paced 9600 bit/s" : "unpaced";

    const double easy = EasyLoad(loads);
    if (easy < 0) return 1;
    Print((std::string("Easy page load (median), ") + how).c_str(), easy,
          static_cast<int>(std::size(kEasyPage)), paced);

    const double copy = CopyToPc(copies);
    if (copy < 0) return 1;
    Print((std::string("Camera->PC copy (1024 exch.), ") + how).c_str(), copy, kEepromWords, paced);
    return 0;
}
