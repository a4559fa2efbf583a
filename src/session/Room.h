// SPDX-License-Identifier: MIT
#pragma once
// A room is what the session needs of a tab (or of a tool standing in for one): the page it
// loads and the handler that runs for every answer while it is on show. A room sends and reads
// answers through RoomContext only, so it works with any front end.
#include "AnswerView.h"
#include "CameraState.h"
#include "Exchange.h"
#include "Frames.h"
#include "PageTable.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace r8 {

using GroupDecoder = std::function<void(const AnswerView&)>;
constexpr int kAnyItem = -1;

class Room {
public:
    virtual ~Room() = default;
    virtual PageTable Page() const = 0;
    // Runs after the read decoder for every good frame while this room's page is on show.
    virtual void OnAnswer() {}
    // The room's page sequence is about to send its first request.
    virtual void OnPageStart() {}
    // The link gave up on the answer it waited for (reported lost, or the device went away):
    // a chain of exchanges that the room runs will not go on.
    virtual void OnLinkLost() {}
};

class RoomContext {
public:
    virtual ~RoomContext() = default;

    // True when a command may be sent now: no page sequence runs and the link is free.
    virtual bool Trans_chk() const = 0;
    virtual int32_t TransStep() const = 0;
    // The command frame being built; P1..Pn sit at positions 1..n.
    virtual CommandFrame& SendFrame() = 0;
    // Sends SendFrame with payload length n (the rest goes out as zero); nothing while the
    // link is busy.
    virtual void StxCommand(int n) = 0;
    // Sends one command; done, if given, gets its reply: the answer with the command it
    // answers, or a typed failure. While an exchange is on the wire the command waits for it.
    // An answer that someone waits for goes to done and not to the room on show; the read
    // decoders see every answer. This default, for contexts without a link, only sends.
    virtual void Exchange(const Request& request, ReplyFn done = {}) {
        (void)done;
        auto& f = SendFrame();
        std::copy(request.p.begin(), request.p.begin() + request.n, f.begin() + 1);
        StxCommand(request.n);
    }
    // Sends the settings block built from bits 7-0 of 2048 setting entries (the table must live
    // until it has gone out); done gets the camera's answer to it or a typed failure. This
    // default, for contexts without a link, sends nothing and answers LinkLost.
    virtual void ExchangeBlock(const int32_t* settingTable, ReplyFn done) {
        (void)settingTable;
        if (done) done({ExchangeError::LinkLost});
    }
    // The answer being handled and the command it answers.
    virtual AnswerView Answer() const = 0;
    virtual CameraState& State() = 0;
    virtual void ReLoadClick() = 0;
    // The page on show (0..6).
    virtual int ActivePage() const = 0;
    // Shows a message box (buttons: 1 OK and Cancel, 2 Abort, Retry and Ignore).
    virtual void ShowMessage(const std::string& text, const std::string& caption, int buttons) = 0;

    // Read answers of `group` (and `item`, or every item) go to decode after the common rules.
    virtual void OnGroup(uint8_t group, int item, GroupDecoder decode) = 0;
    void OnGroup(uint8_t group, GroupDecoder decode) {
        OnGroup(group, kAnyItem, std::move(decode));
    }
    // The resolution and TV rules, for what shows them (true: high resolution / PAL).
    virtual void OnResolution(std::function<void(bool hi)> show) = 0;
    virtual void OnTvSystem(std::function<void(bool pal)> show) = 0;

    // Writes payload into P1..Pn of SendFrame and sends it.
    void Send(std::initializer_list<uint8_t> payload) {
        auto& f = SendFrame();
        int n = 0;
        for (uint8_t b : payload)
            f[static_cast<size_t>(++n)] = b;
        StxCommand(n);
    }
};

} // namespace r8
