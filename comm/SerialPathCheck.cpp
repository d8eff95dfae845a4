#include "comm/SerialPathCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov {

namespace {
// Opened without waiting for a carrier and without becoming the
// controlling terminal; closed again at once.
constexpr int kProbeFlags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr char kNotSerial[] = "not a serial device";

std::string SystemError(int errorNumber)
{
    return std::strerror(errorNumber);
}

// A device that is there but that this user may not open yet (udev gives
// access a moment after plugging in) or that another program holds.
bool OpenRefusedForNow(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM || errorNumber == EBUSY;
}
} // namespace

std::string SerialPathCheck::Refusal(const std::string& path)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return SystemError(errno);
    if (S_ISDIR(info.st_mode))
        return "a folder, not a serial device";
    if (!S_ISCHR(info.st_mode))
        return kNotSerial;
    int fd = ::open(path.c_str(), kProbeFlags);
    if (fd < 0)
        return OpenRefusedForNow(errno) ? std::string() : SystemError(errno);
    bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? std::string() : kNotSerial;
}

} // namespace corvanetov
