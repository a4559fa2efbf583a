// SPDX-License-Identifier: MIT
// The receive path: arbitrary bytes from the camera into r_data and the link rules, from any
// link state and after any last command.
//
// Input: byte 0 chooses the last command in SendFrame, byte 1 LINK_STATUS and LinkBusy, byte 2
// how the rest is delivered (chunk size, and link timer ticks between chunks); the rest are the
// camera's bytes.
#include "CameraLink.h"
#include "FakePort.h"
#include "RecordingHost.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using r8::CameraLink;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void SetLastCommand(CameraLink& link, uint8_t choice) {
    static constexpr uint8_t kP1[] = {0x21, 0x31, 0xF1, 0x46};
    static constexpr uint8_t kP2[] = {0x20, 0x46, 0x0C, 0x60};
    auto& f = link.SendFrame;
    f[0] = choice & 0x04 ? r8::SOH : r8::STX;
    f[1] = kP1[choice & 0x03];
    f[2] = kP2[(choice >> 3) & 0x03];
    f[3] = choice & 0x20 ? 0x01 : 0x00;
    r8::SealCommandFrame(f, f[0]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    r8::test::FakePort port;
    r8::test::RecordingHost host;
    CameraLink link(port, host);
    port.Open();
    SetLastCommand(link, data[0]);
    const uint8_t status = data[1] & 0x03; // 3 is not a link state: the default rule
    link.LINK_STATUS = status;
    link.LinkBusy = data[1] & 0x04 ? 1 : 0;
    link.AnswerCount = data[1] & 0x08 ? CameraLink::kCommandTicks : -1;
    link.RetryCount = CameraLink::kCommandRetries;
    const size_t chunk = (data[2] & 0x1F) + 1;
    const int ticks = data[2] >> 5; // link timer ticks after each chunk

    data += 3;
    size -= 3;
    while (size > 0) {
        const size_t n = size < chunk ? size : chunk;
        // A closed port (the search gave up) hands nothing on, as the component does.
        if (port.open) {
            port.Deliver(std::vector<uint8_t>(data, data + n));
            Check(port.incoming.empty()); // every byte delivered is taken
        }
        data += n;
        size -= n;
        for (int t = 0; t < ticks; ++t)
            link.SendTimerTimer();
        Check(link.LINK_STATUS <= 2 || (status == 3 && link.LINK_STATUS == 3));
        Check(link.Rx.RxState >= 0 && link.Rx.RxState <= 5);
        Check(link.Rx.ReceivedLength >= 0 &&
              static_cast<size_t>(link.Rx.ReceivedLength) <= link.Rx.RecvFrame.size());
        Check(link.AnswerCount >= -1 && link.AnswerCount <= CameraLink::kBlockTicks);
    }
    // Only good frames and ACKs while an answer is awaited count as answers; each was
    // acknowledged with one ACK.
    size_t acks = 0;
    for (const auto& w : port.writes)
        acks += w.size() == 1 && w[0] == r8::ACK;
    Check(static_cast<size_t>(host.answers) <= acks);
    return 0;
}
