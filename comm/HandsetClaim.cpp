#include "comm/HandsetClaim.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <utility>

#include "comm/CommConstants.h"
#include "comm/DeviceAccess.h"
#include "comm/PortResolver.h"
#include "comm/SerialSlot.h"
#include "platform/TextTag.h"

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
constexpr char kFolderVariable[] = "CORVANETOV_LOCK_DIR";
constexpr const char* kSystemFolders[] = {"/run/lock", "/var/lock"};
constexpr char kPrefix[] = "corvanetov-";
// Between a name and its claimer's place in line.
constexpr char kPlaceMark = '@';
constexpr char kSuffix[] = ".lock";
constexpr char kKernelLocks[] = "/proc/locks";
// A holder writes its line just after it has taken its file.
constexpr int kHolderReads = 20;
constexpr auto kHolderReadPause = std::chrono::milliseconds(5);
// An older claimer that meets a younger one gives it this long to give way
// (it does at once where it saw the older; where it did not, it holds).
constexpr int kGiveWayChecks = 40;
constexpr auto kGiveWayPause = std::chrono::milliseconds(5);
// The holder's line, and the link it reached a device by (a path).
constexpr size_t kHolderTextMax = 512 + 4096;
constexpr size_t kShownHolderMax = 200;
constexpr char kViaPrefix[] = "via\t";
// Of a device's or link's own name in its lock file's name, which must stay
// within the folder's limit of 255.
constexpr size_t kShownNameMax = 100;

using FileId = std::pair<dev_t, ino_t>;

// What a user recognises in the lock folder (the file's own name), then the
// hash of the whole path that tells it apart: every simulated or real
// handset of one model is listed under the same link name, each in its own
// folder.
std::string PathName(const char* kind, const fs::path& path)
{
    return std::string(kind) + "-" + path.filename().string().substr(0, kShownNameMax) + "-" + TextTag(path.string());
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

std::string Stem(const std::string& name)
{
    std::string stem = kPrefix;
    for (char c : name)
        stem += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    return stem + kPlaceMark;
}

// The time since the machine started, which no one can set back, then a
// random tail that two claimers of one instant do not share.
std::string PlaceInLine()
{
    timespec now {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const auto nanoseconds = static_cast<unsigned long long>(now.tv_sec) * 1000000000ULL +
                             static_cast<unsigned long long>(now.tv_nsec);
    char place[33];
    std::snprintf(place, sizeof place, "%016llx%08x", nanoseconds, static_cast<unsigned>(std::random_device()()));
    return place;
}

std::string PlaceOf(const std::string& path)
{
    return path.substr(path.rfind(kPlaceMark) + 1);
}

// The files that someone holds with flock, as the kernel lists them
// ("1: FLOCK  ADVISORY  WRITE 4242 fe:00:10953580 0 EOF"; a waiter's line
// has "->"): without opening them, which another user's file refuses.
bool ReadHeldFiles(std::set<FileId>& held)
{
    std::ifstream locks(kKernelLocks);
    if (!locks)
        return false;
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        fields >> number >> kind >> mode >> access >> pid >> file;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (kind == "FLOCK" && std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3)
            held.insert({makedev(major, minor), static_cast<ino_t>(inode)});
    }
    return true;
}

// Only text under 0x7f and from the blank up: a holder's line goes to a
// terminal, where any other byte could be a command to it.
std::string Printable(const std::string& text)
{
    std::string shown;
    for (char c : text.substr(0, kShownHolderMax))
        if (c >= ' ' && c < 0x7f)
            shown += c;
    return shown;
}

// A claimer's file as it was seen: opened without waiting (a FIFO would
// wait for a writer) and read only if it is still that regular file.
std::string ReadClaimText(const std::string& path, const struct stat& seen)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat opened {};
    std::string text;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == seen.st_ino) {
        char buffer[kHolderTextMax];
        for (int reads = 0; reads < kHolderReads && text.empty(); ++reads) {
            if (reads > 0)
                std::this_thread::sleep_for(kHolderReadPause);
            const ssize_t count = ::pread(fd, buffer, sizeof buffer, 0);
            text.assign(buffer, count > 0 ? static_cast<size_t>(count) : 0);
        }
    }
    ::close(fd);
    return text;
}

// "program\tpid\tactivity" as the holder wrote it.
std::string HolderText(const std::string& text)
{
    const std::string line = text.substr(0, text.find('\n'));
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos)
        return "another program of this tool is using it";
    return Printable(line.substr(0, first)) + " (pid " + Printable(line.substr(first + 1, second - first - 1)) +
           ") is " + Printable(line.substr(second + 1));
}

struct Rival {
    std::string path;
    struct stat seen;
};

// The files of other claimers of stem that someone holds and whose owners
// may open the handset. A file of this user's that no one holds is left
// over from a program that was killed: it goes.
bool HeldRivals(const std::string& stem, const std::string& own, const DeviceAccess& access,
                std::vector<Rival>& rivals, std::string& reason)
{
    std::set<FileId> held;
    if (!ReadHeldFiles(held)) {
        reason = std::string("the kernel's list of locks (") + kKernelLocks + ") cannot be read";
        return false;
    }
    const fs::path folder = fs::path(stem).parent_path();
    const std::string start = fs::path(stem).filename().string();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string path = entry.path().string();
        struct stat seen {};
        if (path == own || entry.path().filename().string().rfind(start, 0) != 0 ||
            ::lstat(path.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode) || !access.Allows(seen.st_uid))
            continue;
        if (held.count({seen.st_dev, seen.st_ino}))
            rivals.push_back({path, seen});
        else if (seen.st_uid == ::geteuid())
            ::unlink(path.c_str());
    }
    if (error)
        reason = folder.string() + ": " + error.message();
    return !error;
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
        names.push_back({PortResolver::ComName(port) + "-" + TextTag(InCanonicalFolder(table).string())});
    if (const std::string target = resolver.Resolve(port); !target.empty()) {
        if (port >= comm::kNetworkPortFirst) {
            names.push_back({"net-" + target});
        } else {
            // The device as the kernel names it, the link it is listed
            // under, and its slot (the USB port), which a restarted handset
            // comes back in whatever its by-id name. While the handset
            // restarts the link names nothing: the device is then known by
            // the link's path alone.
            std::error_code error;
            const fs::path device = fs::canonical(target, error);
            const std::string link = fs::is_symlink(target, error) ? InCanonicalFolder(target).string() : std::string();
            const std::string slot = SerialSlot::IsSlot(target) ? link
                                     : device.empty()           ? std::string()
                                                                : SerialSlot::Of(device.string());
            names.push_back({PathName("device", device.empty() ? InCanonicalFolder(target) : device), device.string(), link});
            if (!link.empty() && link != slot)
                names.push_back({PathName("link", link)});
            if (!slot.empty())
                names.push_back({PathName("slot", InCanonicalFolder(slot))});
        }
    }
    const std::string folder = Folder();
    for (Name& name : names)
        name.stem = folder + "/" + Stem(name.stem);
    return names;
}

bool HandsetClaim::Take(uint8_t port, const std::string& activity)
{
    Release();
    m_refusal.clear();
    const std::string line =
        std::string(program_invocation_short_name) + "\t" + std::to_string(::getpid()) + "\t" + activity + "\n";
    std::error_code error;
    const std::string target = PortResolver::Instance().Resolve(port);
    const DeviceAccess access = port >= comm::kNetworkPortFirst ? DeviceAccess::Anyone()
                                                                 : DeviceAccess(fs::canonical(target, error).string());
    for (const Name& name : Names(port)) {
        std::string said;
        // A device reached through a link says which: a holder whose handset
        // came back elsewhere after its restart no longer has this device.
        const std::string text = name.link.empty() ? line : line + kViaPrefix + name.link + "\n";
        const Outcome outcome = TakeName(name, text, access, said);
        if (outcome != Outcome::Held) {
            Release();
            m_refusal = PortResolver::ComName(port) +
                        (outcome == Outcome::Busy ? kBusy + HolderText(said) : " cannot be claimed for this job: " + said);
            return false;
        }
    }
    return true;
}

// A claim that cannot be made is a refusal: without it a second tool could
// take the handset while it restarts.
bool HandsetClaim::MakeFile(const Name& name, const std::string& text, const DeviceAccess& access, std::string& reason)
{
    std::string path;
    int fd = -1;
    struct stat made {};
    // Another program of this user may take the file, seen before it is
    // locked, for one left over and remove it: then it is made again.
    while (fd < 0 || made.st_nlink == 0) {
        if (fd >= 0)
            ::close(fd);
        path = name.stem + PlaceInLine() + kSuffix;
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &made) != 0) {
            reason = path + ": " + std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            return false;
        }
    }
    m_held.push_back({fd, path});
    // Those who may open the handset may read who holds it; no one else may
    // open the file at all, and so cannot lock it either.
    if (::fchown(fd, static_cast<uid_t>(-1), access.ReadersGroup()) != 0 || ::fstat(fd, &made) != 0)
        made.st_gid = static_cast<gid_t>(-1);
    // Held, the file is the claim: where its text cannot be written (a full
    // disk), a refused tool says only that another program has the handset.
    if (::fchmod(fd, access.ReadersMode(made.st_gid)) == 0)
        (void)!::pwrite(fd, text.data(), text.size(), 0);
    return true;
}

HandsetClaim::Outcome HandsetClaim::TakeName(const Name& name, const std::string& text, const DeviceAccess& access,
                                             std::string& said)
{
    if (!MakeFile(name, text, access, said))
        return Outcome::Unusable;
    const std::string own = m_held.back().path;
    for (int check = 0;; ++check) {
        std::vector<Rival> rivals;
        if (!HeldRivals(name.stem, own, access, rivals, said))
            return Outcome::Unusable;
        bool younger = false;
        for (const Rival& rival : rivals) {
            const std::string held = ReadClaimText(rival.path, rival.seen);
            if (HeldElsewhere(name, held))
                continue;
            said = held;
            if (PlaceOf(rival.path) < PlaceOf(own))
                return Outcome::Busy;
            younger = true;
        }
        if (!younger)
            return Outcome::Held;
        if (check == kGiveWayChecks)
            return Outcome::Busy;
        std::this_thread::sleep_for(kGiveWayPause);
    }
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
        ::unlink(file.path.c_str());
        ::close(file.fd);
    }
    m_held.clear();
}

} // namespace corvanetov
