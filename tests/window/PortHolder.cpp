#include "PortHolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace corvanetov {

PortHolder::PortHolder(const std::string& devicePath)
{
    int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0) {
        m_fd = fd;
        return;
    }
    m_refusal = std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
}

PortHolder::~PortHolder()
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
}

} // namespace corvanetov
