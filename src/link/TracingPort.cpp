// SPDX-License-Identifier: MIT
#include "TracingPort.h"

#include "Comm.h"

#include <exception>

namespace r8 {

TracingPort::TracingPort(SerialPort& inner, Trace& trace) : inner_(inner), trace_(trace) {
    inner_.OnCommReceive = [this](SerialPort&, uint16_t size) {
        if (OnCommReceive) OnCommReceive(*this, size);
        trace_.ReceiveEnded();
    };
}

TracingPort::~TracingPort() {
    inner_.OnCommReceive = nullptr;
}

void TracingPort::Open() {
    const bool wasOpen = inner_.IsOpen();
    const std::string path = PortPath(inner_.Port());
    try {
        inner_.Open();
    } catch (const std::exception& e) {
        trace_.Note("open " + path + " failed: " + e.what());
        throw;
    }
    if (!wasOpen) trace_.Note("open " + path);
}

void TracingPort::Close() {
    const bool wasOpen = inner_.IsOpen();
    inner_.Close();
    if (!wasOpen) return;
    trace_.Flush();
    trace_.Note("close");
}

void TracingPort::Write(const uint8_t* buf, size_t count) {
    trace_.Sent(buf, count);
    try {
        inner_.Write(buf, count);
    } catch (const std::exception& e) {
        trace_.Note(std::string("write failed: ") + e.what());
        throw;
    }
}

size_t TracingPort::Read(uint8_t* buf, size_t count) {
    const size_t n = inner_.Read(buf, count);
    trace_.Received(buf, n);
    return n;
}

} // namespace r8
