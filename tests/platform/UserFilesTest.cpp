#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "TempFolder.h"
#include "platform/FileSave.h"
#include "platform/InputFile.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr auto kNoWait = std::chrono::seconds(5);
constexpr uid_t kOtherUser = 4242; // neither the test's user nor the folder's owner

// What stands at the name a test reads or writes.
enum class Entry { Regular, Missing, Folder, Fifo, Device, Link, PlantedLink, OwnLinkInSharedFolder };

struct UserFileCase {
    const char* what;
    Entry entry;
    bool taken;
    std::string refusal; // its end; %p stands for the path
};

// Whether the table can make the entry here: a device node and another
// user's link need root.
bool Makeable(Entry entry)
{
    return ::geteuid() == 0 || (entry != Entry::Device && entry != Entry::PlantedLink);
}

const UserFileCase kCases[] = {
    {"a regular file", Entry::Regular, true, ""},
    {"nothing there", Entry::Missing, false, "%p: No such file or directory"},
    {"a folder", Entry::Folder, false, "%p is not a regular file"},
    {"a named pipe", Entry::Fifo, false, "%p is not a regular file"},
    {"a device node", Entry::Device, false, "%p is not a regular file"},
    {"a link to a regular file", Entry::Link, true, ""},
    {"another user's link in a shared folder", Entry::PlantedLink, false,
     "%p is a link another user left in a shared folder: it is not followed"},
    {"the user's own link in a shared folder", Entry::OwnLinkInSharedFolder, true, ""},
};

class UserFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, ::chmod(m_folder.Path().c_str(), 01777)) << "a shared folder, as /tmp";
        Write(Victim(), "the user's own file\n");
        ::chmod(Victim().c_str(), 0600);
    }

    std::string Victim() const { return m_folder.File("victim"); }
    std::string Name() const { return m_folder.File("name"); }

    static void Write(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    void Make(Entry entry) const
    {
        fs::remove_all(Name());
        switch (entry) {
        case Entry::Regular: Write(Name(), "kept\n"); break;
        case Entry::Missing: break;
        case Entry::Folder: fs::create_directory(Name()); break;
        case Entry::Fifo: ASSERT_EQ(0, ::mkfifo(Name().c_str(), 0600)); break;
        case Entry::Device: ASSERT_EQ(0, ::mknod(Name().c_str(), S_IFCHR | 0666, ::makedev(1, 3))); break;
        case Entry::Link:
        case Entry::OwnLinkInSharedFolder: fs::create_symlink(Victim(), Name()); break;
        case Entry::PlantedLink:
            fs::create_symlink(Victim(), Name());
            ASSERT_EQ(0, ::lchown(Name().c_str(), kOtherUser, kOtherUser));
            break;
        }
        // A plain folder for the plain link, so that only the shared one asks whose it is.
        ::chmod(m_folder.Path().c_str(), entry == Entry::Link ? 0755 : 01777);
    }

    // What stands at the name and at the victim's, to be unchanged by a refusal.
    std::string Snapshot() const
    {
        struct stat info {};
        std::string kind = ::lstat(Name().c_str(), &info) == 0 ? std::to_string(info.st_mode) : "none";
        if (S_ISREG(info.st_mode))
            kind += Read(Name());
        return kind + "|" + Read(Victim());
    }

    std::string Expected(const UserFileCase& c) const
    {
        std::string text = c.refusal;
        if (size_t at = text.find("%p"); at != std::string::npos)
            text.replace(at, 2, Name());
        return text;
    }

    // Runs an open that must not wait; a named pipe that held it is given a
    // writer, so that the test fails instead of hanging.
    static void Bounded(const std::string& path, const std::function<void()>& open)
    {
        auto done = std::async(std::launch::async, open);
        if (done.wait_for(kNoWait) == std::future_status::ready)
            return;
        ADD_FAILURE() << "opening " << path << " waited";
        int unblock = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
        done.wait();
        ::close(unblock);
    }

    // Runs the check for every entry the table can make here, with what
    // stood at the names before.
    void ForEachEntry(const std::function<void(const UserFileCase&, const std::string& before)>& check) const
    {
        for (const UserFileCase& c : kCases) {
            if (!Makeable(c.entry))
                continue;
            SCOPED_TRACE(c.what);
            Make(c.entry);
            check(c, Snapshot());
        }
    }

    TempFolder m_folder;
};
} // namespace

TEST_F(UserFiles, EveryReaderOpensOnlyARegularFileAndNeverWaits)
{
    ForEachEntry([this](const UserFileCase& c, const std::string& before) {
        std::unique_ptr<InputFile> file;
        Bounded(Name(), [&] { file = std::make_unique<InputFile>(Name()); });
        ASSERT_TRUE(file);
        EXPECT_EQ(c.taken, file->IsOpen());
        EXPECT_EQ(Expected(c), file->Error());
        std::vector<uint8_t> bytes;
        if (c.taken) {
            ASSERT_TRUE(file->ReadStart(100, bytes));
            EXPECT_EQ(Read(Name()), std::string(bytes.begin(), bytes.end()));
            EXPECT_EQ(bytes.size(), file->Size());
        }
        EXPECT_EQ(before, Snapshot());
    });
}

TEST_F(UserFiles, ASaveReplacesOnlyARegularFileOrANewNameAndWritesNothingElse)
{
    const std::string saved = "the saved bytes\n";
    ForEachEntry([&](const UserFileCase& c, const std::string& before) {
        const bool takes = c.taken || c.entry == Entry::Missing;
        EXPECT_EQ(takes ? "" : Expected(c), FileSave::Refusal(Name()));
        std::string reason;
        EXPECT_EQ(takes, FileSave::Replace(Name(), saved.data(), saved.size(), reason)) << reason;
        if (!takes) {
            EXPECT_EQ(Expected(c), reason);
            EXPECT_EQ(before, Snapshot());
            return;
        }
        // Through a link the file it points to takes the bytes; the link stays.
        const bool linked = c.entry == Entry::Link || c.entry == Entry::OwnLinkInSharedFolder;
        EXPECT_EQ(saved, Read(linked ? Victim() : Name()));
        EXPECT_EQ(linked, fs::is_symlink(Name()));
    });
}

TEST_F(UserFiles, AnAppendedFileIsOnlyARegularFileOrANewOne)
{
    ForEachEntry([this](const UserFileCase& c, const std::string& before) {
        const bool takes = c.taken || c.entry == Entry::Missing;
        std::string reason;
        int fd = -1;
        Bounded(Name(), [&] { fd = FileSave::OpenForAppend(Name(), reason); });
        EXPECT_EQ(takes, fd >= 0) << reason;
        if (fd < 0) {
            EXPECT_EQ(Expected(c), reason);
            EXPECT_EQ(before, Snapshot());
            return;
        }
        const std::string target = c.entry == Entry::Regular || c.entry == Entry::Missing ? Name() : Victim();
        const std::string old = Read(target);
        ASSERT_EQ(3, ::write(fd, "add", 3));
        ::close(fd);
        EXPECT_EQ(old + "add", Read(target));
    });
}

// Settings files, traces and the simulator's state hold lock codes.
TEST_F(UserFiles, NewFilesAreTheUsersAloneAndReplacedOnesKeepTheirMode)
{
    const mode_t oldMask = ::umask(022);
    std::string reason;
    ASSERT_TRUE(FileSave::Replace(m_folder.File("new.mmc"), "x", 1, reason)) << reason;
    int fd = FileSave::OpenForAppend(m_folder.File("new.trace"), reason);
    ASSERT_GE(fd, 0) << reason;
    ::close(fd);
    Write(m_folder.File("old.mmc"), "old");
    ::chmod(m_folder.File("old.mmc").c_str(), 0644);
    ASSERT_TRUE(FileSave::Replace(m_folder.File("old.mmc"), "y", 1, reason)) << reason;
    ::umask(oldMask);
    const std::pair<const char*, fs::perms> expected[] = {
        {"new.mmc", fs::perms(0600)}, {"new.trace", fs::perms(0600)}, {"old.mmc", fs::perms(0644)}};
    for (const auto& [name, perms] : expected)
        EXPECT_EQ(perms, fs::status(m_folder.File(name)).permissions() & fs::perms::all) << name;
}

// The old save went through a fixed temporary name: a link planted there
// turned the save onto the link's target.
TEST_F(UserFiles, ALinkAtAGuessableTemporaryNameIsNeverWrittenThrough)
{
    const std::string state = m_folder.File("state.json");
    fs::create_symlink(Victim(), state + ".tmp");
    const std::string before = Read(Victim());
    std::string reason;
    ASSERT_TRUE(FileSave::Replace(state, "{}\n", 3, reason)) << reason;
    EXPECT_EQ(before, Read(Victim()));
    EXPECT_EQ("{}\n", Read(state));
    size_t entries = std::distance(fs::directory_iterator(m_folder.Path()), fs::directory_iterator());
    EXPECT_EQ(3u, entries) << "the victim, the link and the state: no temporary file left";
}
