// SPDX-License-Identifier: MIT
#pragma once
// A serial port that passes everything to another one and shows every byte it moves, both ways,
// to a traffic trace (Trace). Bytes are traced as they are handed to the inner port for
// writing and as they are read from it; the port's opening, closing and failed writes are
// noted. Its receive handler runs inside the inner port's one.
#include "SerialPort.h"
#include "Trace.h"

namespace r8 {

class TracingPort : public SerialPort {
public:
    TracingPort(SerialPort& inner, Trace& trace);
    ~TracingPort() override;
    TracingPort(const TracingPort&) = delete;
    TracingPort& operator=(const TracingPort&) = delete;

    void Open() override;
    void Close() override;
    bool IsOpen() const override { return inner_.IsOpen(); }
    void Write(const uint8_t* buf, size_t count) override;
    size_t Read(uint8_t* buf, size_t count) override;
    bool DsrState() const override { return inner_.DsrState(); }
    bool KeepsConnection(uint8_t port) const override { return inner_.KeepsConnection(port); }
    uint8_t Port() const override { return inner_.Port(); }
    void SetPort(uint8_t port) override { inner_.SetPort(port); }
    int32_t BaudRate() const override { return inner_.BaudRate(); }
    void SetBaudRate(int32_t baud) override { inner_.SetBaudRate(baud); }

    SerialPort& Inner() { return inner_; }

private:
    SerialPort& inner_;
    Trace& trace_;
};

} // namespace r8
