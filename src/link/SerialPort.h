// SPDX-License-Identifier: MIT
#pragma once
// The narrow interface between the link logic and a serial device. The termios component
// (TComm) stands behind it in the program; tests put a scriptable fake behind it.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace r8 {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device mapped to Port(). Does nothing if already open. Throws ECommOpenError.
    virtual void Open() = 0;
    // Does nothing if closed. After Close returns no receive handler of this port runs.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Sends all bytes or throws (ECommError family).
    virtual void Write(const uint8_t* buf, size_t count) = 0;
    // Reads up to count bytes that have been received; returns how many.
    virtual size_t Read(uint8_t* buf, size_t count) = 0;

    // DSR modem line; false whenever the port is closed.
    virtual bool DsrState() const = 0;

    // True when the open port is a connection to port n's device that is being made or is up
    // (a network port): the port search keeps it rather than close and make it again.
    virtual bool KeepsConnection(uint8_t /*port*/) const { return false; }

    virtual uint8_t Port() const = 0;
    virtual void SetPort(uint8_t port) = 0;
    virtual int32_t BaudRate() const = 0;
    virtual void SetBaudRate(int32_t baud) = 0;

    // Called on the owner's thread with the number of received bytes waiting.
    std::function<void(SerialPort& sender, uint16_t size)> OnCommReceive;
};

} // namespace r8
