// SPDX-License-Identifier: MIT
// The window thread's cost of handling an answer: receive rules, the read decoder and every
// control update it makes, for the answers of the Easy page load (ten Easy blocks and the white
// balance register), with values that change from one load to the next.
//
//   QT_QPA_PLATFORM=offscreen bench_decode [LOADS]
//
// The port is an in-memory fake, so what is measured is the tool's own work per answer. The
// window is shown, so the cost of its repaints can be measured too.
#include "Frames.h"
#include "MainWindow.h"
#include "SerialPort.h"

#include <QApplication>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class MemoryPort : public r8::SerialPort {
public:
    void Open() override { open_ = true; }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    void Write(const uint8_t* buf, size_t count) override {
        if (count == r8::kCommandFrameSize) last.assign(buf, buf + count);
    }
    size_t Read(uint8_t* buf, size_t count) override {
        size_t n = 0;
        for (; n < count && !in_.empty(); ++n) {
            buf[n] = in_.front();
            in_.pop_front();
        }
        return n;
    }
    bool DsrState() const override { return open_; }
    uint8_t Port() const override { return 1; }
    void SetPort(uint8_t) override {}
    int32_t BaudRate() const override { return 9600; }
    void SetBaudRate(int32_t) override {}

    void Deliver(const std::vector<uint8_t>& bytes) {
        in_.insert(in_.end(), bytes.begin(), bytes.end());
        OnCommReceive(*this, static_cast<uint16_t>(in_.size()));
    }
    std::vector<uint8_t> last;

private:
    bool open_ = false;
    std::deque<uint8_t> in_;
};

// The answer to the request last sent, with data bytes that depend on the round.
std::vector<uint8_t> AnswerTo(const std::vector<uint8_t>& request, int round) {
    uint8_t a[15] = {0xA0, request[2], request[3]};
    for (int i = 3; i < 15; ++i)
        a[i] = static_cast<uint8_t>((round + i) % 2);
    if (request[2] == 0x60 && request[3] == 5) { // phase range 100 .. -100
        a[4] = 0, a[5] = 100, a[6] = 0xFF, a[7] = 0x9C;
    }
    auto f = r8::MakeStxFrame(a, 15);
    std::vector<uint8_t> bytes{r8::ACK};
    bytes.insert(bytes.end(), f.begin(), f.end());
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int loads = argc > 1 ? std::atoi(argv[1]) : 200;
    MemoryPort port;
    r8::ui::TFR8V2 window(&port);
    window.show();
    window.FormCreate();
    port.Deliver({r8::ACK}); // the first ACK starts the Easy page load

    // repaint: false measures the decode and the control updates alone; true also processes the
    // window's events (the repaints of what changed) after every answer, as happens when answers
    // arrive at line speed.
    auto run = [&](bool repaint) {
        int answers = 0;
        const double start = ThreadCpuSeconds();
        for (int round = 0; round < loads; ++round) {
            while (window.Loader().TransStep != 0) {
                port.Deliver(AnswerTo(port.last, round));
                ++answers;
                if (repaint) QCoreApplication::processEvents();
            }
            window.ReLoadClick();
        }
        const double cpu = ThreadCpuSeconds() - start;
        std::printf("%-28s %5d answers: %.4f ms of window-thread CPU per answer\n",
                    repaint ? "decode, updates, repaints" : "decode and control updates", answers,
                    cpu * 1e3 / answers);
    };
    QCoreApplication::processEvents();
    run(false);
    run(true);
    return 0;
}
