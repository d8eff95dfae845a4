#include "comm/Transport.h"

#include <cerrno>
#include <cstring>
#include <poll.h>

namespace corvanetov {

namespace {
constexpr int kWriteSliceMs = 20; // how often a blocked write looks at abandon()
}

bool Transport::Failed(const std::string& what)
{
    const int errorNumber = errno;
    return Failed(what, std::strerror(errorNumber), errorNumber);
}

bool Transport::Failed(const std::string& what, const std::string& reason, int errorNumber)
{
    m_lastErrorNumber = errorNumber;
    m_lastError = what + ": " + reason;
    return false;
}

bool Transport::WriteWhole(int fd, Put put, const uint8_t* data, size_t count, Clock::time_point deadline, bool (*abandon)())
{
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < count) {
        ssize_t n = put(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (Clock::now() >= deadline || (abandon && abandon()))
            return false;
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, kWriteSliceMs);
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
    }
    return true;
}

} // namespace corvanetov
