// SPDX-License-Identifier: MIT
#pragma once
// The main window on the simulated camera through the real termios component, service tabs
// unlocked. Tests act on controls and wait for states that last (the link idle, a chain ended),
// never for one that can pass between two looks.
#include "Comm.h"
#include "HexText.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "SimPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace r8::test {

class SimWindow : public ::testing::Test {
protected:
    static constexpr int kWaitMs = 20000;

    explicit SimWindow(sim::SimOptions o = {}) : camera(o) {}

    void SetUp() override {
        camera.Start();
        SetPortPath(1, camera.SlavePath());
        window = std::make_unique<ui::TFR8V2>();
        window->FormCreate();
        for (const char* t : {"t", "tm", "tmw", "tmwr"})
            window->pwl->SetText(t);
        ASSERT_TRUE(RunUntil([&] { return Idle(); })) << "the Easy page";
    }
    void TearDown() override {
        window.reset();
        camera.Stop();
    }

    // Runs the event loop until done() or the time is up, sleeping only while no event waits.
    static bool RunUntil(const std::function<bool()>& done, int ms = kWaitMs) {
        const QDeadlineTimer deadline(ms);
        QTimer wake; // lets the wait see the deadline
        wake.start(50);
        while (!done()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    // No page load, no order waiting, no answer awaited (the answer time-out is disarmed).
    bool Idle() const {
        return window->Loader().TransStep == 0 && window->Loader().Orders.bOrder == 0 &&
               window->Link().LINK_STATUS == 1 && window->Link().AnswerCount < 0;
    }
    // Turns to a page as the operator does and waits for its load to end.
    void ShowPage(int page) {
        window->PageControl1->setCurrentIndex(page);
        ASSERT_TRUE(RunUntil([&] { return Idle(); })) << "page " << page;
    }
    // Forgets the commands received so far.
    void Mark() { seen_ = camera.Commands().size(); }
    // P1..Pn of each command received since Mark, n = length of its expected payload text, in
    // hexadecimal; the whole P1..P15 where none is given.
    std::vector<std::string> SentSinceMark() const {
        std::vector<std::string> out;
        const auto all = camera.Commands();
        for (size_t i = seen_; i < all.size(); ++i)
            out.push_back(HexBytes(all[i].data(), all[i].size()));
        return out;
    }
    // The same, each cut to the length of the matching expected payload, so that a test names
    // P1..Pn and still sees that P(n+1).. went out as zero.
    static std::vector<std::string> Payloads(const std::vector<std::string>& sent,
                                             const std::vector<std::string>& expected) {
        std::vector<std::string> out;
        for (size_t i = 0; i < sent.size(); ++i) {
            const size_t n = i < expected.size() ? expected[i].size() : sent[i].size();
            const bool zeros = sent[i].find_first_not_of('0', n) == std::string::npos;
            out.push_back(sent[i].substr(0, n) + (zeros ? "" : "+" + sent[i].substr(n)));
        }
        return out;
    }
    // Acts, waits for the link to be idle, and gives P1..Pn of what went out meanwhile.
    std::vector<std::string> Exchange(const std::function<void()>& act,
                                      const std::vector<std::string>& expected) {
        Mark();
        act();
        EXPECT_TRUE(RunUntil([&] { return Idle(); }));
        return Payloads(SentSinceMark(), expected);
    }

    RecordingSink sink;
    sim::CameraSim camera;
    std::unique_ptr<ui::TFR8V2> window;

private:
    size_t seen_ = 0;
};

} // namespace r8::test
