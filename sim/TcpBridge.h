// SPDX-License-Identifier: MIT
#pragma once
// The simulated camera on TCP (raw): a listening socket whose one client at a time is joined
// byte for byte to the camera's terminal, as a serial device server joins its network port to
// a serial line. The terminal is taken (opened and locked) only while a client is connected. A
// new client takes the line over from the one before; one that comes while a tool has the
// terminal open is turned away (closed at once).
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace r8::sim {

class TcpBridge {
public:
    // host: a numeric address or a name to listen on; port 0 takes a free one (see Port()).
    TcpBridge(std::string terminalPath, std::string host, uint16_t port);
    ~TcpBridge();
    TcpBridge(const TcpBridge&) = delete;
    TcpBridge& operator=(const TcpBridge&) = delete;

    // Listens and starts the thread; throws std::runtime_error on failure.
    void Start();
    void Stop();
    uint16_t Port() const { return port_; }
    // "socket://HOST:PORT" of the listening socket, as the tool's --com1 takes it.
    std::string Url() const;

private:
    void Run();
    bool openTerminal();
    void dropClient();

    std::string terminalPath_;
    std::string host_;
    uint16_t port_;
    bool ipv6_ = false;
    int listen_ = -1;
    int terminal_ = -1;
    int client_ = -1;
    int wake_ = -1;
    std::vector<uint8_t> toClient_;
    std::vector<uint8_t> toTerminal_;
    std::thread thread_;
};

// "[HOST:]PORT" of --listen: host 127.0.0.1 unless given ("[::1]:PORT" for IPv6). False when
// the text is not of that form.
bool ParseListen(const std::string& text, std::string& host, uint16_t& port);

} // namespace r8::sim
