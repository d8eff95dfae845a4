#pragma once

#include <unistd.h>

namespace corvanetov {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }
    int Release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now, so that a failing close can be seen.
    bool Close() { return ::close(Release()) == 0; }

private:
    int m_fd;
};

} // namespace corvanetov
