// SPDX-License-Identifier: MIT
#include "PortCandidates.h"

#include "NetAddress.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace r8 {

namespace fs = std::filesystem;

namespace {

std::string under(const std::string& root, const std::string& path) {
    if (root.empty() || root == "/") return path;
    return (root.back() == '/' ? root.substr(0, root.size() - 1) : root) + path;
}

std::string canonical(const std::string& path) {
    std::error_code ec;
    const fs::path c = fs::canonical(path, ec);
    return ec ? std::string() : c.string();
}

// ttyUSB2 before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    const auto digits = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
            --i;
        return i;
    };
    const size_t da = digits(a), db = digits(b);
    const std::string pa = a.substr(0, da), pb = b.substr(0, db);
    if (pa != pb) return pa < pb;
    const std::string na = a.substr(da), nb = b.substr(db);
    if (na.size() != nb.size()) return na.size() < nb.size();
    return na < nb;
}

// Entries of folder (links and device nodes alike) whose names start with prefix, in natural
// order; dangling links are left out.
std::vector<std::string> entries(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) continue;
        if (canonical(it->path().string()).empty()) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    std::vector<std::string> paths;
    for (const std::string& n : names)
        paths.push_back(folder + "/" + n);
    return paths;
}

std::string readLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The USB device above a tty's sysfs node: the first folder on the way up with an idVendor.
UsbIdentity usbIdentity(const std::string& root, const std::string& kernelName) {
    UsbIdentity id;
    const std::string sys = canonical(under(root, "/sys"));
    std::string at = canonical(under(root, "/sys/class/tty/" + kernelName + "/device"));
    if (sys.empty() || at.empty()) return id;
    for (int up = 0; up < 6 && at.size() > sys.size() && at.compare(0, sys.size(), sys) == 0;
         ++up) {
        const fs::path dir(at);
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec)) {
            id.vendorId = readLine(dir / "idVendor");
            id.productId = readLine(dir / "idProduct");
            id.manufacturer = readLine(dir / "manufacturer");
            id.product = readLine(dir / "product");
            id.serial = readLine(dir / "serial");
            return id;
        }
        at = dir.parent_path().string();
    }
    return id;
}

} // namespace

std::string UsbIdentity::Text() const {
    if (!Known()) return {};
    std::string name = product;
    if (!manufacturer.empty() && product.compare(0, manufacturer.size(), manufacturer) != 0)
        name = manufacturer + (product.empty() ? "" : " " + product);
    std::string ids = vendorId + ":" + productId;
    if (!serial.empty()) ids += ", serial " + serial;
    return (name.empty() ? "USB" : name) + " (" + ids + ")";
}

std::string PortCandidate::Text() const {
    std::string s = path;
    if (device != path) s += " (" + device + ")";
    if (usb.Known()) s += ": " + usb.Text();
    return s;
}

std::string ScanRoot() {
    const char* root = std::getenv("R8V5MC_SCAN_ROOT");
    return root ? root : "";
}

std::vector<PortCandidate> ListPortCandidates(const std::string& remembered,
                                              const std::string& root, bool identity) {
    const std::string dev = under(root, "/dev");
    std::vector<std::string> ttys = entries(dev, "ttyUSB");
    const std::vector<std::string> acm = entries(dev, "ttyACM");
    ttys.insert(ttys.end(), acm.begin(), acm.end());

    std::vector<PortCandidate> list;
    std::vector<std::string> seen; // canonical paths of the devices listed
    const auto add = [&](PortCandidate c, const std::string& real) {
        if (std::find(seen.begin(), seen.end(), real) != seen.end()) return;
        seen.push_back(real);
        if (identity) {
            c.usb = usbIdentity(root, fs::path(c.device).filename().string());
        }
        list.push_back(std::move(c));
    };
    for (const std::string& link : entries(dev + "/serial/by-id", "")) {
        const std::string real = canonical(link);
        PortCandidate c{link, real, link, {}, false};
        for (const std::string& t : ttys)
            if (canonical(t) == real) c.device = t;
        add(std::move(c), real);
    }
    for (const std::string& t : ttys)
        add({t, t, {}, {}, false}, canonical(t));
    for (const char* builtin : {"/ttyS0", "/ttyS1"}) {
        const std::string p = dev + builtin;
        const std::string real = canonical(p);
        if (!real.empty()) add({p, p, {}, {}, false}, real);
    }

    if (remembered.empty()) return list;
    if (IsNetworkName(remembered)) {
        list.insert(list.begin(), {remembered, remembered, {}, {}, true});
        return list;
    }
    const std::string real = canonical(remembered);
    if (real.empty()) return list; // not there now; its stable name shows when it is back
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->path == remembered || canonical(it->device) == real) {
            PortCandidate c = std::move(*it);
            list.erase(it);
            c.remembered = true;
            list.insert(list.begin(), std::move(c));
            return list;
        }
    }
    PortCandidate c{remembered, remembered, {}, {}, true};
    if (identity) c.usb = usbIdentity(root, fs::path(real).filename().string());
    list.insert(list.begin(), std::move(c));
    return list;
}

std::vector<std::string> CandidatePaths(const std::string& remembered, const std::string& root) {
    std::vector<std::string> paths;
    for (const PortCandidate& c : ListPortCandidates(remembered, root, false))
        paths.push_back(c.path);
    return paths;
}

std::vector<std::string> CandidateFolders(const std::string& root) {
    std::vector<std::string> folders;
    for (const char* f : {"/dev", "/dev/serial", "/dev/serial/by-id"}) {
        std::error_code ec;
        const std::string p = under(root, f);
        if (fs::is_directory(p, ec)) folders.push_back(p);
    }
    return folders;
}

CandidateWatch::CandidateWatch(std::string root) : root_(std::move(root)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    watchFolders();
}

CandidateWatch::~CandidateWatch() {
    if (fd_ >= 0) ::close(fd_);
}

void CandidateWatch::watchFolders() {
    if (fd_ < 0) return;
    // Watching a folder again is harmless: inotify gives the same watch back.
    for (const std::string& f : CandidateFolders(root_))
        ::inotify_add_watch(fd_, f.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB |
                                IN_ONLYDIR);
}

bool CandidateWatch::Changed() {
    if (fd_ < 0) return false;
    bool changed = false;
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        changed = true;
    }
    if (changed) watchFolders();
    return changed;
}

} // namespace r8
