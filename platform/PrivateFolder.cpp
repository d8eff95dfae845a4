#include "platform/PrivateFolder.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Descriptor.h"
#include "platform/FileSave.h"
#include "platform/TextTag.h"

namespace corvanetov {

namespace {
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;
// Room for a temporary file's suffix within a folder's 255.
constexpr size_t kLongestName = 200;
constexpr size_t kLongestText = 4096;

bool KeptInName(unsigned char c)
{
    return std::isalnum(c) || c == '-' || c == '_' || c == ':' || c == ',' || c == '+' || c == '@';
}

// Hidden, and of this process and write alone: never a kept file's name,
// which starts with no dot.
std::string TemporaryName(const std::string& name)
{
    static std::atomic<unsigned> count{0};
    return "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(count++);
}
} // namespace

PrivateFolder::PrivateFolder(std::string path) : m_path(std::move(path)) {}

std::string PrivateFolder::NameFor(const std::string& text)
{
    std::string name;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        name += KeptInName(c) || (c == '.' && !name.empty()) ? std::string(1, byte) : escaped;
    }
    if (name.size() <= kLongestName)
        return name;
    const std::string tag = TextTag(text);
    return name.substr(0, kLongestName - tag.size() - 1) + "-" + tag;
}

int PrivateFolder::Open(bool create) const
{
    if (create) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ignored);
        ::mkdir(m_path.c_str(), kFolderMode);
    }
    Descriptor folder(::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (folder.Get() < 0 || ::fstat(folder.Get(), &info) != 0 || info.st_uid != ::geteuid())
        return -1;
    if ((info.st_mode & 077) != 0 && ::fchmod(folder.Get(), kFolderMode) != 0)
        return -1;
    return folder.Release();
}

std::optional<std::string> PrivateFolder::Read(const std::string& name) const
{
    Descriptor folder(Open(false));
    if (folder.Get() < 0)
        return std::nullopt;
    Descriptor file(::openat(folder.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::string text(kLongestText, '\0');
    const ssize_t count = ::pread(file.Get(), text.data(), text.size(), 0);
    if (count < 0)
        return std::nullopt;
    text.resize(static_cast<size_t>(count));
    return text;
}

// The text goes to a new file of its own (made here, never through a link),
// reaches the disk, and only then takes the name: a note must outlast a
// power cut, which is when a handset is most likely left in download mode.
bool PrivateFolder::Write(const std::string& name, const std::string& text) const
{
    Descriptor folder(Open(true));
    if (folder.Get() < 0)
        return false;
    const std::string temporary = TemporaryName(name);
    Descriptor file(::openat(folder.Get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             kPrivateFileMode));
    if (file.Get() < 0)
        return false;
    const bool written = FileSave::WriteAll(file.Get(), text.data(), text.size()) && ::fsync(file.Get()) == 0 &&
                         file.Close() && ::renameat(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) == 0;
    if (!written) {
        ::unlinkat(folder.Get(), temporary.c_str(), 0);
        return false;
    }
    ::fsync(folder.Get());
    return true;
}

void PrivateFolder::Remove(const std::string& name) const
{
    Descriptor folder(Open(false));
    if (folder.Get() >= 0)
        ::unlinkat(folder.Get(), name.c_str(), 0);
}

} // namespace corvanetov
