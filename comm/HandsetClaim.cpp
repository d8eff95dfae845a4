#include "comm/HandsetClaim.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "comm/CommConstants.h"
#include "comm/PortResolver.h"

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
constexpr char kFolderVariable[] = "CORVANETOV_LOCK_DIR";
constexpr const char* kSystemFolders[] = {"/run/lock", "/var/lock"};
constexpr char kPrefix[] = "corvanetov-";
constexpr char kSuffix[] = ".lock";
// Every user may open another's lock file to take it once it is free.
constexpr mode_t kShared = 0666;
// A holder writes its line just after it has taken the file.
constexpr int kHolderReads = 20;
constexpr auto kHolderReadPause = std::chrono::milliseconds(5);
constexpr int kTakeTries = 3;
constexpr size_t kHolderLineMax = 512;

// COM numbers mean something only within one port table: the table's name
// (its settings file) goes into the lock's name, so that two users' COM3,
// or two tests' stores, are different locks.
std::string TableTag(const std::string& table)
{
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (char c : table)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string FileName(const std::string& name)
{
    std::string file = kPrefix;
    for (char c : name)
        file += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    return file + kSuffix;
}

bool SameFile(int fd, const std::string& path)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Without O_CREAT first: the kernel's protection of files in sticky
// folders refuses O_CREAT on another user's file even where its mode allows.
int OpenLockFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kShared);
        if (fd >= 0)
            ::fchmod(fd, kShared); // past the umask
    }
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return fd;
}

bool WriteLine(int fd, const std::string& line)
{
    return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, line.data(), line.size(), 0) == static_cast<ssize_t>(line.size());
}

// Removed while still held, so that no one takes a file on its way out.
// Another user's file in the sticky lock folder cannot be removed: it is
// emptied, so that it does not go on naming this program.
bool Remove(int fd, const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || ::ftruncate(fd, 0) == 0;
}

std::string ReadLine(int fd)
{
    char buffer[kHolderLineMax];
    ssize_t count = ::pread(fd, buffer, sizeof buffer - 1, 0);
    std::string line(buffer, count > 0 ? static_cast<size_t>(count) : 0);
    return line.substr(0, line.find('\n'));
}

// "program\tpid\tactivity" as the holder wrote it.
std::string HolderText(const std::string& line)
{
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos)
        return "another program of this tool is using it";
    return line.substr(0, first) + " (pid " + line.substr(first + 1, second - first - 1) + ") is " + line.substr(second + 1);
}
} // namespace

std::string HandsetClaim::Folder()
{
    if (const char* folder = std::getenv(kFolderVariable); folder && *folder)
        return folder;
    for (const char* folder : kSystemFolders)
        if (::access(folder, W_OK | X_OK) == 0)
            return folder;
    return fs::temp_directory_path().string();
}

std::vector<std::string> HandsetClaim::LockFiles(uint8_t port)
{
    std::vector<std::string> names;
    const PortResolver& resolver = PortResolver::Instance();
    if (const std::string table = resolver.TableName(); !table.empty())
        names.push_back(PortResolver::ComName(port) + "-" + TableTag(table));
    if (const std::string target = resolver.Resolve(port); !target.empty()) {
        if (port >= comm::kNetworkPortFirst) {
            names.push_back("net-" + target);
        } else {
            // The device as the kernel names it, and the stable link it is
            // listed under, which a restarted handset comes back behind.
            std::error_code error;
            const fs::path device = fs::canonical(target, error);
            names.push_back("device" + (error ? target : device.string()));
            if (fs::is_symlink(target, error))
                names.push_back("link-" + fs::path(target).filename().string());
        }
    }
    const std::string folder = Folder();
    for (std::string& name : names)
        name = folder + "/" + FileName(name);
    return names;
}

bool HandsetClaim::Take(uint8_t port, const std::string& activity)
{
    Release();
    m_refusal.clear();
    const std::string line =
        std::string(program_invocation_short_name) + "\t" + std::to_string(::getpid()) + "\t" + activity + "\n";
    for (const std::string& path : LockFiles(port)) {
        std::string holder;
        if (TakeFile(path, line, holder) == Outcome::Busy) {
            Release();
            m_refusal = PortResolver::ComName(port) + " is busy: " + HolderText(holder);
            return false;
        }
    }
    return true;
}

// A file that cannot be opened at all (a lock folder gone wrong) does not
// keep the technician from the handset: the port's own lock still guards
// every open.
HandsetClaim::Outcome HandsetClaim::TakeFile(const std::string& path, const std::string& line, std::string& holder)
{
    for (int tries = 0; tries < kTakeTries; ++tries) {
        int fd = OpenLockFile(path);
        if (fd < 0 && errno == EEXIST)
            continue; // made by another between the two opens
        if (fd < 0)
            return Outcome::Unusable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            for (int reads = 0; reads < kHolderReads && (holder = ReadLine(fd)).empty(); ++reads)
                std::this_thread::sleep_for(kHolderReadPause);
            ::close(fd);
            return Outcome::Busy;
        }
        // The holder before removes its file while it still has it: a lock
        // on a file no longer under that name holds nothing.
        if (!SameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        WriteLine(fd, line);
        m_held.push_back({fd, path});
        return Outcome::Held;
    }
    return Outcome::Unusable;
}

void HandsetClaim::Release()
{
    for (const HeldFile& file : m_held) {
        Remove(file.fd, file.path);
        ::close(file.fd);
    }
    m_held.clear();
}

} // namespace corvanetov
