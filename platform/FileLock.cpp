#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    const Clock::time_point giveUp = Clock::now() + patience;
    for (;;) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kLockFileMode);
        if (m_fd < 0)
            return false;
        m_path = path;
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before may have removed the file between our open
            // and our lock: a lock on a file no longer under the name
            // excludes nobody, so the name is taken again.
            if (StillNamed())
                return true;
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            Close();
            errno = error;
            return false;
        }
        Close();
        if (Clock::now() >= giveUp) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

bool FileLock::StillNamed() const
{
    struct stat held {};
    struct stat named {};
    return ::fstat(m_fd, &held) == 0 && ::lstat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev
           && held.st_ino == named.st_ino;
}

void FileLock::Close()
{
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

void FileLock::Release()
{
    if (m_fd < 0)
        return;
    // Removed while still held: whoever opens the name next makes a new file
    // and, finding it, takes the lock at once.
    ::unlink(m_path.c_str());
    Close();
}

} // namespace corvanetov
