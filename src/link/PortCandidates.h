// SPDX-License-Identifier: MIT
#pragma once
// Where a camera may be: the serial ports of this machine, in the order they are worth trying.
// The port the camera last answered on comes first, then the USB-serial adapters by their
// stable names (/dev/serial/by-id), the other USB adapters (ttyUSB*, ttyACM*), then the first
// two built-in ports (ttyS0, ttyS1). A device appears once, under its stable name when it has
// one, with what sysfs knows of its USB adapter.
//
// Everything is looked up below a root folder, "/" on a real machine; R8V5MC_SCAN_ROOT names
// another (a test's folder with dev/ and sys/ inside).
#include <string>
#include <vector>

namespace r8 {

struct UsbIdentity {
    std::string vendorId, productId; // four hexadecimal digits each, as sysfs has them
    std::string manufacturer, product, serial;
    bool Known() const { return !vendorId.empty(); }
    // "FTDI FT232R USB UART (0403:6001, serial A50285BI)", or "" when nothing is known.
    std::string Text() const;
};

struct PortCandidate {
    std::string path;       // what is opened: the stable name when there is one
    std::string device;     // the device node it stands for (/dev/ttyUSB0)
    std::string stableName; // the /dev/serial/by-id name, or ""
    UsbIdentity usb;
    bool remembered = false; // the port the camera last answered on
    // One line for a list: "/dev/ttyUSB0  FTDI FT232R USB UART (0403:6001, serial A5)".
    std::string Text() const;
};

// R8V5MC_SCAN_ROOT, or "" for the machine's own folders.
std::string ScanRoot();

// The candidates below root, the remembered port (if given, and there or a network port)
// first. Without identity the sysfs lookups are left out (the port search needs only paths).
std::vector<PortCandidate> ListPortCandidates(const std::string& remembered = {},
                                              const std::string& root = ScanRoot(),
                                              bool identity = true);
// Their paths, in order.
std::vector<std::string> CandidatePaths(const std::string& remembered = {},
                                        const std::string& root = ScanRoot());

// The folders whose changes can change the list (watched with inotify to follow hot-plug):
// those that exist of root/dev, root/dev/serial, root/dev/serial/by-id.
std::vector<std::string> CandidateFolders(const std::string& root = ScanRoot());

// Follows hot-plugging: a non-blocking inotify descriptor on CandidateFolders(). Fd() becomes
// readable when a device node or link comes or goes; Changed() drains it, watches folders that
// appeared meanwhile (by-id comes with the first adapter) and says whether anything changed.
class CandidateWatch {
public:
    explicit CandidateWatch(std::string root = ScanRoot());
    ~CandidateWatch();
    CandidateWatch(const CandidateWatch&) = delete;
    CandidateWatch& operator=(const CandidateWatch&) = delete;
    int Fd() const { return fd_; }
    bool Changed();

private:
    void watchFolders();
    std::string root_;
    int fd_ = -1;
};

} // namespace r8
