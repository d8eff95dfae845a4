#include "platform/FileSave.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Descriptor.h"
#include "platform/UserPath.h"

namespace corvanetov {

namespace {
constexpr mode_t kOwnerOnly = 0600;
} // namespace

std::string FileSave::Target(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string FileSave::Refusal(const std::string& path)
{
    if (std::string planted = UserPath::PlantedLink(path); !planted.empty())
        return planted;
    const std::string target = Target(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0)
        return S_ISREG(info.st_mode) ? std::string() : UserPath::NotRegular(path);
    if (errno != ENOENT)
        return UserPath::Failure(path, errno);
    const std::string folder = UserPath::FolderOf(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return UserPath::Failure(folder, errno);
    return {};
}

// A file of its own beside the target under a name no one can guess, made
// here and nowhere else (mkostemp creates it exclusively, owner only): a
// name someone made first, or planted a link at, is never opened.
int FileSave::CreateBeside(const std::string& target, std::string& temporary)
{
    std::string pattern = target + ".tmp-XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    temporary = pattern;
    return fd;
}

bool FileSave::WriteAll(int fd, const void* data, size_t count)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
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

void FileSave::SyncFolder(const std::string& path)
{
    Descriptor folder(::open(UserPath::FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0)
        ::fsync(folder.Get());
}

bool FileSave::Replace(const std::string& path, const void* bytes, size_t size, std::string& reason, Sync sync)
{
    return Replace(path, [&](int fd) { return WriteAll(fd, bytes, size); }, reason, sync);
}

bool FileSave::Replace(const std::string& path, const Fill& fill, std::string& reason, Sync sync)
{
    reason = Refusal(path);
    if (!reason.empty())
        return false;
    const std::string target = Target(path);
    std::string temporary;
    Descriptor file(CreateBeside(target, temporary));
    if (file.Get() < 0) {
        reason = UserPath::Failure(temporary, errno);
        return false;
    }
    struct stat old {};
    bool written = (::stat(target.c_str(), &old) != 0 || ::fchmod(file.Get(), old.st_mode & 07777) == 0) &&
        fill(file.Get()) && (sync == Sync::None || ::fsync(file.Get()) == 0);
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
        reason = UserPath::Failure(path, error);
        return false;
    }
    if (sync == Sync::ToDisk)
        SyncFolder(target);
    return true;
}

void FileSave::MakePrivate(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return;
    std::error_code ignored;
    std::filesystem::create_directories(UserPath::FolderOf(path), ignored);
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, kOwnerOnly));
    if (file.Get() >= 0 && ::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) != 0)
        ::fchmod(file.Get(), info.st_mode & 0700);
}

int FileSave::OpenForAppend(const std::string& path, std::string& reason)
{
    reason = UserPath::PlantedLink(path);
    struct stat info {};
    if (reason.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        reason = UserPath::NotRegular(path);
    if (!reason.empty())
        return -1;
    Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, kOwnerOnly));
    if (file.Get() < 0) {
        reason = UserPath::Failure(path, errno);
        return -1;
    }
    const int flags = ::fcntl(file.Get(), F_GETFL);
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        reason = UserPath::NotRegular(path);
    else if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        reason = UserPath::Failure(path, errno);
    return reason.empty() ? file.Release() : -1;
}

} // namespace corvanetov
