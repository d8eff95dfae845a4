// The claim on a handset: which names of it two operations share, what a
// refused one is told, and that a claim lasts exactly as long as its holder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempFolder.h"
#include "comm/HandsetClaim.h"
#include "comm/PortResolver.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr char kActivity[] = "flashing it";
constexpr uid_t kNobody = 65534;
constexpr char kHolderLine[] = "corvanetov-cli\t4242\tflashing it";
// Retitles and clears a terminal; then a C1 control sequence introducer.
constexpr char kEscapes[] = "; call 555-0100\x1b]0;owned\x07\x1b[2J\x9b";
// Before any claimer's.
constexpr char kOlderPlace[] = "000000000000000000000000000000";

// One operation's view of the handset: its port table, the COM number
// there, and what that number opens (a file of the test's folder, or a
// network address).
struct Side {
    const char* table;
    uint8_t port;
    const char* target;
};

struct ClaimCase {
    const char* name;
    Side first;
    Side second;
    bool refused;
    // "link->device,...": where the first's links point once it has taken
    // the handset (its handset restarted and came back there, or is still
    // gone).
    const char* moved = nullptr;
    // Links made before the first takes the handset ("by-path/..." are slots).
    const char* links = nullptr;
};

// "dev-a" and "dev-b" are devices; "listed" is the stable link a handset is
// listed under, pointing at "dev-a" (or, once restarted, at "dev-b").
// "one/listed" and "two/listed" are links of one name in two folders, at
// "dev-a" and "dev-b"; "alias" is another name of the folder "one".
const ClaimCase kCases[] = {
    {"one table, one COM number", {"user1", 3, "dev-a"}, {"user1", 3, "dev-a"}, true},
    {"one table, the device under a second number", {"user1", 3, "dev-a"}, {"user1", 4, "dev-a"}, true},
    {"one table, one number whose device is gone while restarting", {"user1", 3, "dev-a"}, {"user1", 3, "gone"}, true},
    {"two users, same number, other handsets", {"user1", 3, "dev-a"}, {"user2", 3, "dev-b"}, false},
    {"two users, the listed link and the device it names", {"user1", 3, "listed"}, {"user2", 5, "dev-a"}, true},
    {"two users, the listed link after the handset came back as another device", {"user1", 3, "listed"}, {"user2", 5, "listed->dev-b"}, true},
    {"two users, one network serial server", {"user1", 140, "127.0.0.1:4000"}, {"user2", 141, "127.0.0.1:4000"}, true},
    {"two users, two network serial servers", {"user1", 140, "127.0.0.1:4000"}, {"user2", 140, "127.0.0.1:4001"}, false},
    {"two tables, links of one name in two folders, other handsets", {"user1", 3, "one/listed"}, {"user2", 3, "two/listed"}, false},
    {"the link under another name of its folder while the handset restarts", {"user1", 3, "one/listed"}, {"user2", 4, "alias/listed->gone"}, true},
    {"one table under another spelling, the number now at another device", {"user1", 3, "dev-a"}, {"./user1", 3, "dev-b"}, true},
    {"two users, the device the link named before the handset came back elsewhere", {"user1", 3, "listed"}, {"user2", 5, "dev-a"}, false, "listed->dev-b"},
    {"two users, the device the link named while the handset restarts", {"user1", 3, "listed"}, {"user2", 5, "dev-a"}, false, "listed->gone"},
    {"two users, the handset back in its slot under a new by-id name and device", {"user1", 3, "listed"}, {"user2", 4, "renamed"}, true,
     "listed->gone,renamed->dev-b,by-path/port1->dev-b", "by-path/port1->dev-a"},
    {"two users, another handset in another slot while the first restarts", {"user1", 3, "listed"}, {"user2", 4, "renamed"}, false,
     "listed->gone,renamed->dev-b,by-path/port2->dev-b", "by-path/port1->dev-a"},
};

void PrintTo(const ClaimCase& c, std::ostream* out)
{
    *out << c.name;
}
} // namespace

class HandsetClaimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(Locks());
        fs::permissions(m_folder.Path(), fs::perms::all);
        fs::permissions(Locks(), fs::perms::all | fs::perms::sticky_bit);
        ::setenv("CORVANETOV_LOCK_DIR", Locks().c_str(), 1);
        std::ofstream(m_folder.File("dev-a"));
        std::ofstream(m_folder.File("dev-b"));
        fs::create_symlink(m_folder.File("dev-a"), m_folder.File("listed"));
        for (const char* folder : {"one", "two"})
            fs::create_directory(m_folder.File(folder));
        fs::create_symlink(m_folder.File("dev-a"), m_folder.File("one/listed"));
        fs::create_symlink(m_folder.File("dev-b"), m_folder.File("two/listed"));
        fs::create_directory_symlink(m_folder.File("one"), m_folder.File("alias"));
        fs::create_directory(m_folder.File("by-path"));
        ::setenv("CORVANETOV_SERIAL_BY_PATH", m_folder.File("by-path").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("CORVANETOV_SERIAL_BY_PATH");
        ::unsetenv("CORVANETOV_LOCK_DIR");
        PortResolver::Instance().Set(nullptr);
    }

    std::string Locks() const { return m_folder.File("locks"); }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(Locks()))
            files.push_back(entry.path().string());
        return files;
    }
    // The files a claim of side's made: names anyone watching the folder knows.
    std::vector<std::string> NamesUsed(const Side& side) const
    {
        HandsetClaim claim;
        EXPECT_TRUE(Take(claim, side)) << claim.Refusal();
        return Files();
    }
    // A file's name up to the claimer's place in line.
    static std::string Stem(const std::string& file) { return file.substr(0, file.find_first_of("@.", file.rfind('-'))) + "@"; }
    // A file in the tool's own form, held as a claimer holds it; the descriptor.
    static int Plant(const std::string& file, const std::string& text)
    {
        const int fd = ::open(file.c_str(), O_CREAT | O_RDWR, 0666);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) || ::flock(fd, LOCK_EX) != 0)
            return -1;
        return fd;
    }

    // "link->device": the link pointed at another device; the link.
    // "a->b,c->d": each of them.
    std::string Point(const std::string& target) const
    {
        if (const size_t comma = target.find(','); comma != std::string::npos) {
            Point(target.substr(0, comma));
            return Point(target.substr(comma + 1));
        }
        const size_t arrow = target.find("->");
        if (arrow == std::string::npos)
            return target;
        const std::string link = m_folder.File(target.substr(0, arrow));
        fs::remove(link);
        fs::create_symlink(m_folder.File(target.substr(arrow + 2)), link);
        return target.substr(0, arrow);
    }

    // The side's table and target in force; "link->device" points the link
    // at another device first.
    void Resolve(const Side& side) const
    {
        std::string target = Point(side.target);
        if (target.find(':') == std::string::npos)
            target = m_folder.File(target);
        PortResolver::Instance().Set([target](uint8_t) { return target; }, side.table);
    }

    bool Take(HandsetClaim& claim, const Side& side) const
    {
        Resolve(side);
        return claim.Take(side.port, kActivity);
    }

    static std::string Holder(uint8_t port)
    {
        return "COM" + std::to_string(port) + " is busy: " + program_invocation_short_name + " (pid " +
               std::to_string(::getpid()) + ") is " + kActivity;
    }

    TempFolder m_folder;
};

class HandsetClaimCase : public HandsetClaimTest, public ::testing::WithParamInterface<ClaimCase> {};

TEST_P(HandsetClaimCase, SecondOperationIsRefusedOnlyWhereTheyShareAName)
{
    const ClaimCase& c = GetParam();
    if (c.links)
        Point(c.links);
    HandsetClaim first;
    ASSERT_TRUE(Take(first, c.first));
    if (c.moved)
        Point(c.moved);
    HandsetClaim second;
    EXPECT_EQ(!c.refused, Take(second, c.second)) << second.Refusal();
    EXPECT_EQ(c.refused ? Holder(c.second.port) : std::string(), second.Refusal());
    // Once the first lets go, the second gets the handset.
    first.Release();
    EXPECT_TRUE(Take(second, c.second)) << second.Refusal();
}

INSTANTIATE_TEST_SUITE_P(Names, HandsetClaimCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// A claim leaves nothing behind, and files that a holder left behind
// (a program killed before it could remove them) hold nothing.
TEST_F(HandsetClaimTest, LockFilesLastAsLongAsTheClaim)
{
    const Side side{"user1", 3, "listed"};
    {
        HandsetClaim claim;
        ASSERT_TRUE(Take(claim, side));
        EXPECT_EQ(3u, Files().size()) << "the COM number, the device and the link";
    }
    EXPECT_TRUE(fs::is_empty(Locks()));

    if (::fork() == 0) {
        HandsetClaim* killed = new HandsetClaim;
        ::_exit(Take(*killed, side) ? 0 : 1);
    }
    ::wait(nullptr);
    ASSERT_EQ(3u, Files().size());
    HandsetClaim after;
    EXPECT_TRUE(Take(after, side)) << after.Refusal();
    after.Release();
    EXPECT_TRUE(fs::is_empty(Locks())) << "the files left behind are gone";
}

// A claim that cannot be written is no claim: the job is refused with why.
TEST_F(HandsetClaimTest, ClaimThatCannotBeMadeIsARefusal)
{
    ::setenv("CORVANETOV_LOCK_DIR", m_folder.File("missing").c_str(), 1);
    HandsetClaim claim;
    EXPECT_FALSE(Take(claim, {"user1", 3, "dev-a"}));
    EXPECT_EQ(0u, claim.Refusal().rfind("COM3 cannot be claimed for this job: " + m_folder.File("missing/"), 0))
        << claim.Refusal();
}

// What stands in the lock folder under a handset's names: a holder's line
// with a terminal's commands in it, and a FIFO, which an open for reading
// would wait on for good. The refusal shows the line without the commands.
TEST_F(HandsetClaimTest, HolderLineIsShownWithoutControlsAndAFifoIsNeverOpened)
{
    const Side side{"user1", 3, "dev-a"};
    const std::vector<std::string> used = NamesUsed(side);
    std::vector<int> held;
    for (const std::string& file : used) {
        held.push_back(Plant(file, std::string(kHolderLine) + kEscapes + "\n"));
        ASSERT_EQ(0, ::mkfifo((Stem(file) + kOlderPlace + "1.lock").c_str(), 0666));
    }
    HandsetClaim claim;
    EXPECT_FALSE(Take(claim, side));
    EXPECT_EQ(0u, claim.Refusal().rfind("COM3 is busy: corvanetov-cli (pid 4242) is flashing it", 0)) << claim.Refusal();
    for (char c : claim.Refusal())
        EXPECT_TRUE(c >= ' ' && c < 0x7f) << "byte " << int(static_cast<unsigned char>(c));
    for (int fd : held)
        ::close(fd);
}

// A user who may not open the handset plants what he can under its names,
// those a claim used last included: a held file in the tool's own form, a
// FIFO, an empty file no one else may open. None of it holds the handset
// or keeps the claim from working.
TEST_F(HandsetClaimTest, PlantsOfAUserWhoMayNotOpenTheHandsetNeitherHoldNorSwitchOff)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const Side side{"user1", 3, "listed"};
    fs::permissions(m_folder.File("dev-a"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                                fs::perms::group_write);
    const std::vector<std::string> used = NamesUsed(side);
    int planted[2];
    ASSERT_EQ(0, ::pipe(planted));
    const pid_t planter = ::fork();
    if (planter == 0) {
        bool all = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        for (const std::string& file : used) {
            all = Plant(file, std::string(kHolderLine) + kEscapes + "\n") >= 0 && all;
            all = ::mkfifo((Stem(file) + kOlderPlace + "1.lock").c_str(), 0666) == 0 && all;
            all = ::close(::open((Stem(file) + kOlderPlace + "2.lock").c_str(), O_CREAT | O_WRONLY, 0600)) == 0 && all;
        }
        const char done = all ? 'y' : 'n';
        (void)!::write(planted[1], &done, 1);
        ::pause();
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(1, ::read(planted[0], &done, 1));
    EXPECT_EQ('y', done) << "nobody could not plant everything";

    HandsetClaim claim;
    EXPECT_TRUE(Take(claim, side)) << claim.Refusal();
    HandsetClaim second;
    EXPECT_FALSE(Take(second, side));
    EXPECT_EQ(Holder(3), second.Refusal());
    ::kill(planter, SIGKILL);
    ::waitpid(planter, nullptr, 0);
}

// Another user on the machine is refused as well, with the holder's name,
// and can take the handset once it is free.
TEST_F(HandsetClaimTest, AnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const Side side{"user1", 3, "dev-a"};
    fs::permissions(m_folder.File("dev-a"), fs::perms::all); // a handset every user may open
    HandsetClaim claim;
    ASSERT_TRUE(Take(claim, side));
    const std::string expected = Holder(5);
    auto otherUser = [&] {
        pid_t child = ::fork();
        if (child == 0) {
            HandsetClaim theirs;
            const bool refused =
                ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && !theirs.Take(5, kActivity) && theirs.Refusal() == expected;
            ::_exit(refused ? 0 : theirs.Refusal().empty() ? 1 : 2);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    PortResolver::Instance().Set([this](uint8_t) { return m_folder.File("dev-a"); }, "user2");
    EXPECT_EQ(0, otherUser()) << "1: not refused, 2: refused without the holder";
    claim.Release();
    EXPECT_EQ(1, otherUser()) << "taken once free";
}
