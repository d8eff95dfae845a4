#include "comm/HandsetClaim.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
// The holder's line, and the link it reached a device by (a path).
constexpr size_t kHolderTextMax = 512 + 4096;
constexpr char kViaPrefix[] = "via\t";
// Of a device's or link's own name in its lock file's name, which must stay
// within the folder's limit of 255.
constexpr size_t kShownNameMax = 100;

// A name's hash keeps every lock file's name short and within the folder,
// however long the path it stands for.
std::string Tag(const std::string& text)
{
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char tag[17];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(hash));
    return tag;
}

// What a user recognises in the lock folder (the file's own name), then the
// hash of the whole path that tells it apart: every simulated or real
// handset of one model is listed under the same link name, each in its own
// folder.
std::string PathName(const char* kind, const fs::path& path)
{
    return std::string(kind) + "-" + path.filename().string().substr(0, kShownNameMax) + "-" + Tag(path.string());
}

// The file (a link stays the link) in its folder as the kernel names that
// folder: the same link under another spelling of its folder is the same
// handset's, and the same port table the same table.
fs::path InCanonicalFolder(const std::string& path)
{
    std::error_code error;
    const fs::path file = fs::absolute(path, error);
    const fs::path folder = fs::weakly_canonical(file.parent_path(), error);
    return error ? file.lexically_normal() : folder / file.filename();
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

std::string ReadText(int fd)
{
    char buffer[kHolderTextMax];
    ssize_t count = ::pread(fd, buffer, sizeof buffer, 0);
    return std::string(buffer, count > 0 ? static_cast<size_t>(count) : 0);
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

std::vector<HandsetClaim::Name> HandsetClaim::Names(uint8_t port)
{
    std::vector<Name> names;
    const PortResolver& resolver = PortResolver::Instance();
    // COM numbers mean something only within one port table: its file goes
    // into the lock's name, since two users' COM3 are different handsets.
    if (const std::string table = resolver.TableName(); !table.empty())
        names.push_back({PortResolver::ComName(port) + "-" + Tag(InCanonicalFolder(table).string())});
    if (const std::string target = resolver.Resolve(port); !target.empty()) {
        if (port >= comm::kNetworkPortFirst) {
            names.push_back({"net-" + target});
        } else {
            // The device as the kernel names it, and the stable link it is
            // listed under, which a restarted handset comes back behind.
            // While the handset restarts the link names nothing: the device
            // is then known by the link's path alone.
            std::error_code error;
            const fs::path device = fs::canonical(target, error);
            const std::string link = fs::is_symlink(target, error) ? InCanonicalFolder(target).string() : std::string();
            names.push_back({PathName("device", device.empty() ? InCanonicalFolder(target) : device), device.string(), link});
            if (!link.empty())
                names.push_back({PathName("link", link)});
        }
    }
    const std::string folder = Folder();
    for (Name& name : names)
        name.file = folder + "/" + FileName(name.file);
    return names;
}

std::vector<std::string> HandsetClaim::LockFiles(uint8_t port)
{
    std::vector<std::string> files;
    for (const Name& name : Names(port))
        files.push_back(name.file);
    return files;
}

bool HandsetClaim::Take(uint8_t port, const std::string& activity)
{
    Release();
    m_refusal.clear();
    const std::string line =
        std::string(program_invocation_short_name) + "\t" + std::to_string(::getpid()) + "\t" + activity + "\n";
    for (const Name& name : Names(port)) {
        std::string holder;
        // A device reached through a link says which: a holder whose handset
        // came back elsewhere after its restart no longer has this device.
        const std::string text = name.link.empty() ? line : line + kViaPrefix + name.link + "\n";
        if (TakeFile(name, text, holder) == Outcome::Busy) {
            Release();
            m_refusal = PortResolver::ComName(port) + kBusy + HolderText(holder);
            return false;
        }
    }
    return true;
}

// A file that cannot be opened at all (a lock folder gone wrong) does not
// keep the technician from the handset: the port's own lock still guards
// every open.
HandsetClaim::Outcome HandsetClaim::TakeFile(const Name& name, const std::string& text, std::string& holder)
{
    for (int tries = 0; tries < kTakeTries; ++tries) {
        int fd = OpenLockFile(name.file);
        if (fd < 0 && errno == EEXIST)
            continue; // made by another between the two opens
        if (fd < 0)
            return Outcome::Unusable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            std::string held;
            for (int reads = 0; reads < kHolderReads && (held = ReadText(fd)).empty(); ++reads)
                std::this_thread::sleep_for(kHolderReadPause);
            ::close(fd);
            holder = held.substr(0, held.find('\n'));
            return HeldElsewhere(name, held) ? Outcome::Elsewhere : Outcome::Busy;
        }
        // The holder before removes its file while it still has it: a lock
        // on a file no longer under that name holds nothing.
        if (!SameFile(fd, name.file)) {
            ::close(fd);
            continue;
        }
        WriteLine(fd, text);
        m_held.push_back({fd, name.file});
        return Outcome::Held;
    }
    return Outcome::Unusable;
}

// The holder took this device name when its link led here. A link that now
// leads to another device, or nowhere (the handset restarting, or its cable
// pulled), says that the holder's handset is not this device: the kernel
// gave the name out again, and once the holder's handset is back its link
// leads here again, and refuses.
bool HandsetClaim::HeldElsewhere(const Name& name, const std::string& held)
{
    if (name.device.empty())
        return false;
    const size_t via = held.find(std::string("\n") + kViaPrefix);
    if (via == std::string::npos)
        return false;
    const size_t start = via + 1 + std::strlen(kViaPrefix);
    const std::string link = held.substr(start, held.find('\n', start) - start);
    std::error_code error;
    const fs::path now = fs::canonical(link, error);
    return error || now != fs::path(name.device);
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
