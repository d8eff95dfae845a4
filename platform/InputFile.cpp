#include "platform/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/UserPath.h"

namespace corvanetov {

InputFile::InputFile(const std::string& path) : m_path(path)
{
    if (!Open() && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InputFile::Open()
{
    m_error = UserPath::PlantedLink(m_path);
    if (!m_error.empty())
        return false;
    // A device is not even opened: opening some has effects of its own.
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        m_error = UserPath::NotRegular(m_path);
        return false;
    }
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = UserPath::Failure(m_path, errno);
        return false;
    }
    // Checked again on what was opened: the name may have changed hands.
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = UserPath::NotRegular(m_path);
        return false;
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        m_error = UserPath::Failure(m_path, errno);
        return false;
    }
    m_size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool InputFile::ReadAt(uint64_t offset, uint8_t* into, size_t count) const
{
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(m_fd, into + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool InputFile::ReadStart(size_t limit, std::vector<uint8_t>& bytes) const
{
    bytes.assign(limit, 0);
    size_t taken = 0;
    while (taken < limit) {
        ssize_t n = ::pread(m_fd, bytes.data() + taken, limit - taken, static_cast<off_t>(taken));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        taken += static_cast<size_t>(n);
    }
    bytes.resize(taken);
    return true;
}

} // namespace corvanetov
