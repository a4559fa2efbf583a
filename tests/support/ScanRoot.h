// SPDX-License-Identifier: MIT
#pragma once
// A scratch machine for the port search: a folder with dev/ and sys/ inside (the scan root),
// where a test links pseudo-terminals under device names (silent ones, or simulated cameras via
// SimOptions::linkPath) and gives a device a USB adapter in a fake sysfs tree.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace r8::test {

class ScanRoot {
public:
    ScanRoot() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/r8scan-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        std::filesystem::create_directories(root_ / "dev");
        std::filesystem::create_directories(root_ / "sys/class/tty");
    }
    ~ScanRoot() {
        for (int fd : masters_)
            ::close(fd);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    ScanRoot(const ScanRoot&) = delete;
    ScanRoot& operator=(const ScanRoot&) = delete;

    std::string Root() const { return root_.string(); }
    // root/dev/NAME (NAME may hold folders: "serial/by-id/usb-...").
    std::string Dev(const std::string& name) const { return (root_ / "dev" / name).string(); }

    // A pseudo-terminal nobody answers on, linked at dev/NAME; returns the link.
    std::string Silent(const std::string& name) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        masters_.push_back(master);
        return Link(name, ::ptsname(master));
    }
    std::string Link(const std::string& name, const std::string& target) {
        const std::filesystem::path link = Dev(name);
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(target, link);
        return link.string();
    }
    // dev/NAME is a tty of a USB adapter with these ids in the fake sysfs tree.
    void Usb(const std::string& name, const std::string& vid, const std::string& pid,
             const std::string& product, const std::string& serial) {
        const std::filesystem::path device = root_ / "sys/devices/usb1" / ("1-" + name);
        const std::filesystem::path node = device / "1-1:1.0" / name;
        std::filesystem::create_directories(node);
        const auto put = [&](const char* file, const std::string& text) {
            std::ofstream(device / file) << text << "\n";
        };
        put("idVendor", vid);
        put("idProduct", pid);
        put("product", product);
        put("serial", serial);
        std::filesystem::create_directories(root_ / "sys/class/tty" / name);
        std::filesystem::create_symlink(node, root_ / "sys/class/tty" / name / "device");
    }

private:
    std::filesystem::path root_;
    std::vector<int> masters_;
};

} // namespace r8::test
