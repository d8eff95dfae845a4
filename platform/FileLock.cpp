#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace corvanetov {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kRetryPause = std::chrono::milliseconds(2);
// Readable and writable by the owner only: the lock holds nothing, but a
// folder shared by several users must not let one of them truncate it.
constexpr mode_t kLockFileMode = 0600;
} // namespace

FileLock::~FileLock()
{
    Release();
}

bool FileLock::Take(const std::string& path, std::chrono::milliseconds patience)
{
    Release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kLockFileMode);
    if (fd < 0)
        return false;
    const Clock::time_point giveUp = Clock::now() + patience;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= giveUp) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    m_fd = fd;
    return true;
}

void FileLock::Release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing the only descriptor lets go of the lock
    m_fd = -1;
}

} // namespace corvanetov
