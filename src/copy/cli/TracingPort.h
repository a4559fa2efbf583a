#pragma once
// A serial port that passes everything to another one and, when asked, prints every byte both
// ways in hexadecimal with the time since start on a stream.
#include "SerialPort.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace r8 {

class TracingPort : public SerialPort {
public:
    TracingPort(SerialPort& inner, std::FILE* trace);
    ~TracingPort() override;

    void Open() override { inner_.Open(); }
    void Close() override { inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    void Write(const uint8_t* buf, size_t count) override;
    size_t Read(uint8_t* buf, size_t count) override;
    bool DsrState() const override { return inner_.DsrState(); }
    uint8_t Port() const override { return inner_.Port(); }
    void SetPort(uint8_t port) override { inner_.SetPort(port); }
    int32_t BaudRate() const override { return inner_.BaudRate(); }
    void SetBaudRate(int32_t baud) override { inner_.SetBaudRate(baud); }

private:
    void print(const char* direction, const std::vector<uint8_t>& bytes);
    void flushReceived();

    SerialPort& inner_;
    std::FILE* trace_; // nullptr: no trace
    std::chrono::steady_clock::time_point start_;
    std::vector<uint8_t> received_; // read during one receive call, printed at its end
};

} // namespace r8
