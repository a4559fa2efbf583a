// SPDX-License-Identifier: MIT
#include "PortCheck.h"

#include "Comm.h"
#include "NetAddress.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace r8 {

std::string CheckPort(const std::string& path) {
    // A network port is checked when it connects; here only its name.
    if (IsNetworkName(path))
        return ParseNetAddress(path) ? ""
                                     : path + ": not a network port name (socket://HOST:PORT "
                                              "or rfc2217://HOST:PORT)";
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        switch (e) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return path + ": no such device";
        case EACCES:
        case EPERM:
            return path + ": permission denied; join the dialout group (sudo usermod -aG "
                          "dialout $USER) and log in again";
        case EBUSY:
            return path + ": the device is busy in another program";
        default:
            return path + ": cannot open: " + std::strerror(e);
        }
    }
    std::string error;
    if (!::isatty(fd))
        error = path + ": not a serial device";
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = path + ": the device is busy in another program";
    ::close(fd);
    return error;
}

std::string PortGoneText(const TComm& comm, const std::string& name) {
    if (!comm.IsNetwork()) return name + " went away";
    std::string text = NetFailureText(name, comm.GoneCause(), comm.GoneServerText());
    if (!text.empty() && text.back() == '.') text.pop_back(); // the line ends without one
    return text;
}

} // namespace r8
