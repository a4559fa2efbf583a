#include "TracingPort.h"

namespace r8 {

TracingPort::TracingPort(SerialPort& inner, std::FILE* trace)
    : inner_(inner), trace_(trace), start_(std::chrono::steady_clock::now()) {
    inner_.OnCommReceive = [this](SerialPort&, uint16_t size) {
        if (OnCommReceive) OnCommReceive(*this, size);
        flushReceived();
    };
}

TracingPort::~TracingPort() {
    inner_.OnCommReceive = nullptr;
}

void TracingPort::Write(const uint8_t* buf, size_t count) {
    flushReceived();
    if (trace_) print("->", std::vector<uint8_t>(buf, buf + count));
    inner_.Write(buf, count);
}

size_t TracingPort::Read(uint8_t* buf, size_t count) {
    const size_t n = inner_.Read(buf, count);
    if (trace_) received_.insert(received_.end(), buf, buf + n);
    return n;
}

void TracingPort::flushReceived() {
    if (received_.empty()) return;
    print("<-", received_);
    received_.clear();
}

void TracingPort::print(const char* direction, const std::vector<uint8_t>& bytes) {
    const double t =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(trace_, "%10.3f %s", t, direction);
    for (uint8_t b : bytes)
        std::fprintf(trace_, " %02X", b);
    std::fputc('\n', trace_);
}

} // namespace r8
