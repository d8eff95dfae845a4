#include "nv/SettingsFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "nv/NvDoc.h"

namespace corvanetov {

namespace {
// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }
    // Closes now, so that a failing close can be seen.
    bool Close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A file of its own beside the target; created with the usual mode so that
// the user's umask applies, as it does to any program's new file.
int CreateBeside(const std::string& target, std::string& temporary)
{
    static std::atomic<unsigned> serial{0};
    for (;;) {
        temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
}
} // namespace

SettingsFile::ReadResult SettingsFile::Read(const std::string& path, NvDoc& doc)
{
    // Non-blocking, so that a named pipe given by mistake cannot hang the tool.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadResult::CannotOpen;
    std::vector<uint8_t> bytes(nv::kImageSize);
    size_t taken = 0;
    while (taken < bytes.size()) {
        ssize_t got = ::read(file.Get(), bytes.data() + taken, bytes.size() - taken);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ReadResult::CannotOpen;
        if (got == 0)
            break;
        taken += size_t(got);
    }
    doc.Load(bytes.data(), taken);
    uint16_t model = doc.ModelCode();
    if (model == nv::kModelCode || model == nv::kModelCodeAccepted)
        return ReadResult::Ok;
    std::vector<uint8_t> zeros(nv::kImageSize);
    doc.Load(zeros.data(), zeros.size());
    return ReadResult::InvalidModel;
}

// Saving through a link replaces the file the link points to, not the link.
std::string SettingsFile::TargetPath(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

bool SettingsFile::WriteAll(int fd, const unsigned char* bytes, size_t count)
{
    while (count > 0) {
        ssize_t put = ::write(fd, bytes, count);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        count -= size_t(put);
    }
    return true;
}

void SettingsFile::SyncFolder(const std::string& path)
{
    FileDescriptor folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0)
        ::fsync(folder.Get());
}

bool SettingsFile::Write(const std::string& path, const NvDoc& doc, std::string& reason)
{
    const std::string target = TargetPath(path);
    std::string temporary;
    FileDescriptor file(CreateBeside(target, temporary));
    if (file.Get() < 0) {
        reason = std::strerror(errno);
        return false;
    }
    // A replaced file keeps its permissions.
    struct stat old {};
    bool keptMode = ::stat(target.c_str(), &old) != 0 || ::fchmod(file.Get(), old.st_mode & 07777) == 0;
    const NvDoc::Image image = doc.Snapshot();
    bool written = keptMode && WriteAll(file.Get(), image.data(), image.size()) && ::fsync(file.Get()) == 0;
    int error = errno;
    if (!file.Close() && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        reason = std::strerror(error);
        return false;
    }
    SyncFolder(target);
    return true;
}

} // namespace corvanetov
