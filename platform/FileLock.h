#pragma once

#include <chrono>
#include <string>

namespace corvanetov {

// An exclusive lock on a file, shared by every process that takes it: flock
// on a file that the holder removes as it lets go, so that a folder is left
// as it was found. The kernel lets go when the holder ends, however it ends,
// so a tool that dies holding it never blocks the next one, whatever its
// program or application name.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to `patience` for the lock; false with errno set when the
    // file cannot be opened or another holder kept it all that time.
    bool Take(const std::string& path, std::chrono::milliseconds patience);
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    bool StillNamed() const;
    void Close();

    std::string m_path;
    int m_fd = -1;
};

} // namespace corvanetov
