#include "engine/ImageFile.h"

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanetov::detail {

ImageFile::ImageFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

ImageFile::~ImageFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ImageFile::Size(uint64_t& size) const
{
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > UINT32_MAX)
        return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool ImageFile::ReadAt(uint64_t offset, uint8_t* into, size_t count) const
{
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(m_fd, into + done, count - done, static_cast<off_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

uint32_t ImageFile::Read32At(uint64_t offset, uint64_t size) const
{
    uint8_t bytes[4] = {};
    if (offset + sizeof bytes > size || !ReadAt(offset, bytes, sizeof bytes))
        return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

} // namespace corvanetov::detail
