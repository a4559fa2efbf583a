// SPDX-License-Identifier: MIT
#pragma once
// A scriptable serial port: records what is written, queues what the camera "sends", and can be
// told to fail opens or writes.
#include "Comm.h"
#include "SerialPort.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace r8::test {

class FakePort : public SerialPort {
public:
    void Open() override {
        ++opens;
        if (failOpen) throw ECommOpenError(-1);
        open = true;
        openedPorts.push_back(port);
    }
    void Close() override {
        if (open) ++closes;
        open = false;
    }
    bool IsOpen() const override { return open; }
    void Write(const uint8_t* buf, size_t count) override {
        if (!open) throw ECommError(kCommNotStarted);
        if (failWrite) throw ECommReadWriteError(-4);
        written.insert(written.end(), buf, buf + count);
        writes.emplace_back(buf, buf + count);
    }
    size_t Read(uint8_t* buf, size_t count) override {
        size_t n = 0;
        while (n < count && !incoming.empty()) {
            buf[n++] = incoming.front();
            incoming.pop_front();
        }
        return n;
    }
    bool DsrState() const override { return open && dsr; }
    bool KeepsConnection(uint8_t) const override { return open && keeps; }
    uint8_t Port() const override { return port; }
    void SetPort(uint8_t p) override { port = p; }
    int32_t BaudRate() const override { return baud; }
    void SetBaudRate(int32_t b) override { baud = b; }

    // Queues bytes from the camera and runs the receive handler as the component would.
    void Deliver(const std::vector<uint8_t>& bytes) {
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
        if (OnCommReceive && !incoming.empty())
            OnCommReceive(*this, static_cast<uint16_t>(incoming.size()));
    }
    void ClearWritten() {
        written.clear();
        writes.clear();
    }

    bool open = false;
    bool failOpen = false;
    bool failWrite = false;
    bool dsr = true;
    bool keeps = false; // a network connection the search keeps
    uint8_t port = 1;
    int32_t baud = 9600;
    int opens = 0;
    int closes = 0;
    std::vector<uint8_t> openedPorts;
    std::vector<uint8_t> written;
    std::vector<std::vector<uint8_t>> writes;
    std::deque<uint8_t> incoming;
};

} // namespace r8::test
