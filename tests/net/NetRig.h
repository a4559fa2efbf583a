// SPDX-License-Identifier: MIT
#pragma once
// A session on a plain poll loop whose port 1 (and 2) is the given name, with a front end that
// records what it shows, and the two things the network tests do with it: load the Easy page
// and copy the camera's image into a file.
#include "Comm.h"
#include "CopyEngine.h"
#include "EasyPage.h"
#include "PollLoop.h"
#include "Session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace r8::net::test {

constexpr int kPatienceMs = 30000;

struct Front : SessionObserver, CopyReport {
    int ActivePage() const override { return page; }
    void StatusText(int panel, const std::string& text) override { status[panel] = text; }
    void Message(const std::string& text, const std::string& caption, int) override {
        messages.push_back(caption + ": " + text);
    }
    void PanelsEnabled(bool on) override { panels.push_back(on); }
    void CopyProgress(int, int) override {}
    void CopyDone() override { ++done; }
    void CopyFailed(const CopyFailure& f) override { failures.push_back(f.text + " " + f.detail); }

    int page = kEasyGroup;
    std::map<int, std::string> status;
    std::vector<bool> panels;
    std::vector<std::string> messages;
    int done = 0;
    std::vector<std::string> failures;
};

struct EasyRoom : Room {
    PageTable Page() const override { return kEasyPage; }
};

struct Rig {
    explicit Rig(const std::string& port, int page = kEasyGroup) {
        SetPortPath(1, port);
        SetPortPath(2, port);
        front.page = page;
        // Errors the loop's standard report would show.
        loop.OnException = [this](const std::exception& e) {
            front.messages.push_back(std::string("report: ") + e.what());
        };
    }
    ~Rig() { session.Close(); }

    // Starts the link and waits for the first page load to end. The link timer is the test's
    // (nothing is lost on loopback): a slow machine never sees the port search close a
    // connection that is about to answer.
    bool Connect() {
        session.Start();
        session.SendTimer().SetEnabled(false);
        return loop.RunUntil([&] { return front.panels.size() >= 2; }, kPatienceMs);
    }

    PollLoop loop;
    Front front;
    Session session{loop, front};
};

// The Easy page on the rig's session, and its answers as they come: of Easy blocks 0-9 and
// register 0x0151, each answer's A1..A3 as the camera gave it.
struct EasyPageAnswers {
    explicit EasyPageAnswers(Rig& rig) {
        rig.session.SetRoom(kEasyGroup, &room);
        for (uint8_t group : {0x60, 0x0C})
            rig.session.OnGroup(group, kAnyItem, [this](const AnswerView& a) {
                answers.push_back(std::to_string(a.A(1)) + "/" + std::to_string(a.A(2)) + "/" +
                                  std::to_string(a.A(3)));
            });
    }
    EasyRoom room;
    std::vector<std::string> answers;
};

inline std::vector<std::string> LoadEasyPage(const std::string& port) {
    Rig rig(port);
    EasyPageAnswers page(rig);
    EXPECT_TRUE(rig.Connect()) << port;
    EXPECT_EQ(rig.front.panels, (std::vector<bool>{false, true})) << port;
    EXPECT_TRUE(rig.front.messages.empty()) << port << ": " << rig.front.messages.front();
    return page.answers;
}

// The Camera->PC copy into path; the file's bytes.
inline std::string CopyCameraToPc(const std::string& port, const std::string& path) {
    Rig rig(port, kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    EXPECT_TRUE(rig.Connect()) << port;
    EXPECT_TRUE(engine.CtopOK2Click(path));
    EXPECT_TRUE(rig.loop.RunUntil([&] { return rig.front.done + rig.front.failures.size() > 0; },
                                  kPatienceMs));
    EXPECT_EQ(rig.front.done, 1) << port;
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace r8::net::test
