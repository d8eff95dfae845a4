#include "E2eFixture.h"
#include "samples/PrlListBytes.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <pwd.h>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr char kSetpriv[] = "/usr/bin/setpriv";
constexpr uid_t kOtherUser = 4242; // neither the tool's user nor the shared folder's owner
constexpr uint64_t kHugeSize = 5ull << 30; // sparse, past what any reader takes and past 32-bit sizes

// What the user names where the tool reads or writes a file.
enum class Input { Good, Missing, Folder, Fifo, Device, PlantedLink, Empty, Short, Huge };

const char* Name(Input input)
{
    static const char* const names[] = {"a good file", "nothing there", "a folder", "a named pipe", "a device node",
                                        "another user's link in a shared folder", "an empty file", "a short file",
                                        "a huge file"};
    return names[static_cast<int>(input)];
}

// What one class of input ends with: the exit status and a fragment of
// standard error (%p the path named, %d its folder).
struct Outcome {
    int exitCode;
    std::string message;
};

// Every reader and writer of the command line; %f stands for the file, %port
// for the handset. An input a command takes as it is (a short ERI file is an
// ERI file, a writer replaces any regular file) has no row of its own.
struct FileCommand {
    const char* what;
    std::vector<std::string> args;
    const char* kind;                   // the file's kind: mmc, prl, eri, code, font
    std::map<Input, Outcome> outcomes;
};

const std::string kNotRegular = "%p is not a regular file";
const std::string kMissing = "%p: No such file or directory";
const std::string kPlanted = "%p is a link another user left in a shared folder: it is not followed";

std::map<Input, Outcome> Unopenable(const std::string& before, const std::string& after = "")
{
    return {{Input::Missing, {2, before + kMissing + after}},   {Input::Folder, {2, before + kNotRegular + after}},
            {Input::Fifo, {2, before + kNotRegular + after}},  {Input::Device, {2, before + kNotRegular + after}},
            {Input::PlantedLink, {2, before + kPlanted + after}}};
}

std::map<Input, Outcome> With(std::map<Input, Outcome> outcomes, const std::map<Input, Outcome>& more)
{
    for (const auto& [input, outcome] : more)
        outcomes[input] = outcome;
    return outcomes;
}

std::vector<FileCommand> FileCommands()
{
    const std::string mmc = "Cannot read mmc file! (";
    const std::string roaming = " Fail to read from %p\n ";
    const Outcome invalidMmc{2, "Invalid MMC File !"};
    const Outcome shortMmc{2, "%p holds 100 of 59994 bytes: the rest is kept from before"};
    const std::map<Input, Outcome> mmcReader =
        With(Unopenable(mmc, ")"), {{Input::Empty, invalidMmc}, {Input::Short, shortMmc}, {Input::Huge, invalidMmc}});
    const std::map<Input, Outcome> prlReader =
        With(Unopenable(roaming, "\n Please Check prl_file !"),
             {{Input::Empty, {2, " Invalid Prl file : %p"}}, {Input::Short, {2, " %p is not a standard 683A-PRL file"}},
              {Input::Huge, {2, " %p is too large"}}});
    const std::map<Input, Outcome> eriReader = With(Unopenable(roaming, "\n Please Check eri_file !"),
                                                    {{Input::Empty, {2, " %p is empty"}}, {Input::Huge, {2, " %p is too large"}}});
    const std::map<Input, Outcome> image =
        With(Unopenable(": "), {{Input::Empty, {2, ": %p is empty"}}, {Input::Huge, {2, ": %p is larger than 4 GiB"}}});
    // A writer names a file in a folder that is not there for "missing".
    std::map<Input, Outcome> settingsWriter = Unopenable("Fail to Write ! ");
    settingsWriter[Input::Missing] = {2, "Fail to Write ! %d: No such file or directory"};
    std::map<Input, Outcome> traceWriter = Unopenable("--trace: the trace cannot be written there: ");
    std::map<Input, Outcome> exportWriter = Unopenable("The export failed: ");
    exportWriter[Input::Missing] = {2, "The export failed: %d: No such file or directory"};
    return {
        {"settings show", {"settings", "show", "%f"}, "mmc",
         With(mmcReader, {{Input::Good, {0, ""}}, {Input::Short, {0, shortMmc.message}}})},
        {"settings set", {"settings", "set", "%f", "--sid", "1=5"}, "mmc", mmcReader},
        {"settings write", {"settings", "write", "%f", "--port", "%port"}, "mmc", mmcReader},
        {"prl", {"prl", "--nam1", "%f", "--port", "%port"}, "prl", prlReader},
        {"prl check", {"prl", "check", "%f"}, "prl", With(prlReader, {{Input::Good, {0, ""}}})},
        {"eri", {"eri", "--nam2", "%f", "--port", "%port"}, "eri", eriReader},
        {"eri check", {"eri", "check", "%f"}, "eri", With(eriReader, {{Input::Good, {0, ""}}})},
        {"flash code", {"flash", "--option", "0", "--code", "%f", "--port", "%port"}, "code", image},
        {"flash font", {"flash", "--option", "2", "--font", "%f", "--font-address", "2E00000", "--port", "%port"}, "font", image},
        {"flash plan", {"flash", "--option", "0", "--code", "%f", "--plan"}, "code", With(image, {{Input::Good, {0, ""}}})},
        {"settings read", {"settings", "read", "%f", "--port", "%port"}, "mmc", settingsWriter},
        {"trace", {"--trace", "%f", "info", "--port", "%port"}, "trace", traceWriter},
        {"history export", {"history", "--show-secrets", "export", "--csv", "%f"}, "csv", exportWriter},
    };
}

// A settings file as the tool saves one: model 147, lock codes and a SID.
std::string GoodSettings()
{
    std::string image(59994, '\0');
    image[35] = char(147);
    image.replace(39, 5, "\x04" "1234");
    image.replace(59815, 5, "\x04" "5678");
    image[59825] = 0x2B;
    image[59826] = 0x10;
    return image;
}

std::string GoodFile(const std::string& kind)
{
    if (kind == "mmc")
        return GoodSettings();
    if (kind == "prl") {
        std::vector<uint8_t> list = PrlListBytes(250);
        return {list.begin(), list.end()};
    }
    if (kind == "code")
        return "CODE" + std::string(0x10000, 'c');
    return std::string(kind == "eri" ? 300 : 20000, 'f');
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

// Every input the user may name, against every command that reads or
// writes a file, run as an ordinary user: each refusal says why with exit
// status 2, before the handset hears a single request, and leaves every file
// as it was.
class UserFilesEndToEnd : public E2eFixture {
protected:
    void SetUp() override
    {
        E2eFixture::SetUp();
        m_work = m_folder + "/work";
        fs::create_directories(m_work);
        if (::geteuid() == 0)
            DropToNobody();
        StartHandset();
        ASSERT_FALSE(m_devicePath.empty());
    }

    // Root passes every permission check: the tool runs as "nobody", in
    // folders of its own, as a technician would.
    void DropToNobody()
    {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nullptr, nobody);
        m_runAs = {kSetpriv, "--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
                   "--clear-groups", "--"};
        m_user = nobody->pw_uid;
        m_group = nobody->pw_gid;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder))
            ASSERT_EQ(0, ::lchown(entry.path().c_str(), m_user, m_group));
        ASSERT_EQ(0, ::chown(m_folder.c_str(), m_user, m_group));
    }

    bool Makeable(Input input) const { return input != Input::PlantedLink || ::geteuid() == 0; }

    // The input at a path of its own; the path to name.
    std::string Make(Input input, const std::string& kind, bool writer)
    {
        const std::string path = m_work + "/" + std::to_string(++m_made) + "." + kind;
        const std::string good = GoodFile(kind);
        switch (input) {
        case Input::Good: Write(path, good); break;
        case Input::Missing: return writer ? m_work + "/none/" + kind : path;
        case Input::Folder: fs::create_directory(path); break;
        case Input::Fifo: EXPECT_EQ(0, ::mkfifo(path.c_str(), 0644)); break;
        case Input::Device:
            if (::geteuid() != 0)
                return "/dev/null";
            EXPECT_EQ(0, ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)));
            break;
        case Input::PlantedLink: return PlantedLink(kind, good);
        case Input::Empty: Write(path, ""); break;
        case Input::Short: Write(path, good.substr(0, 100)); break;
        case Input::Huge: // zeros: no settings model, no list size, no "CODE"
            Write(path, "");
            fs::resize_file(path, kHugeSize);
            break;
        }
        EXPECT_EQ(0, ::lchown(path.c_str(), m_user, m_group));
        return path;
    }

    // In a shared, sticky folder of root's: a link of a third user's to a
    // file of the tool's user, who could be made to read it or write over it.
    std::string PlantedLink(const std::string& kind, const std::string& good)
    {
        const std::string shared = m_folder + "/shared";
        fs::create_directories(shared);
        ::chmod(shared.c_str(), 01777);
        const std::string victim = m_work + "/victim" + std::to_string(++m_made);
        Write(victim, good);
        ::chmod(victim.c_str(), 0600);
        EXPECT_EQ(0, ::chown(victim.c_str(), m_user, m_group));
        const std::string link = shared + "/" + std::to_string(m_made) + "." + kind;
        fs::create_symlink(victim, link);
        EXPECT_EQ(0, ::lchown(link.c_str(), kOtherUser, kOtherUser));
        return link;
    }

    // Every entry of the test's folders but the simulator's own, with its
    // kind, mode and bytes (a huge file by its size).
    std::string Snapshot() const
    {
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
            const std::string path = entry.path().string();
            if (path.find("/handset") != std::string::npos || path.find("/sim.log") != std::string::npos)
                continue;
            struct stat info {};
            ::lstat(path.c_str(), &info);
            all += path + " " + std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + "\n";
            if (S_ISREG(info.st_mode) && uint64_t(info.st_size) < kHugeSize)
                all += Read(path);
        }
        struct stat null {};
        ::stat("/dev/null", &null);
        return all + "/dev/null " + std::to_string(null.st_mode) + " " + std::to_string(null.st_rdev);
    }

    std::string Fill(std::string text, const std::string& path) const
    {
        const std::pair<const char*, std::string> places[] = {
            {"%f", path}, {"%p", path}, {"%d", fs::path(path).parent_path().string()}, {"%port", m_devicePath}};
        for (const auto& [mark, value] : places)
            for (size_t at; (at = text.find(mark)) != std::string::npos;)
                text.replace(at, std::strlen(mark), value);
        return text;
    }

    std::string m_work;
    uid_t m_user = ::geteuid();
    gid_t m_group = ::getegid();
    int m_made = 0;
};

TEST_F(UserFilesEndToEnd, EveryInputOfEveryReaderAndWriterIsRefusedBeforeTheHandsetAndChangesNothing)
{
    for (const FileCommand& command : FileCommands()) {
        for (const auto& [input, outcome] : command.outcomes) {
            if (!Makeable(input))
                continue;
            SCOPED_TRACE(std::string(command.what) + ", " + Name(input));
            const std::string kind = command.kind;
            const std::string path = Make(input, kind, kind == "trace" || kind == "csv" || command.args[1] == "read");
            const std::string before = Snapshot();
            std::vector<std::string> args;
            for (const std::string& arg : command.args)
                args.push_back(Fill(arg, path));
            // A named pipe that held a reader ends in the run's time-out, as a failure.
            auto run = Cli(args);
            EXPECT_EQ(outcome.exitCode, run.exitCode) << run.err;
            EXPECT_NE(std::string::npos, run.err.find(Fill(outcome.message, path))) << run.err;
            if (outcome.exitCode != 0) {
                EXPECT_EQ("", run.out);
            }
            EXPECT_EQ(before, Snapshot()) << "a file changed";
            EXPECT_EQ(0u, LoggedRequests().size()) << "the handset heard a request";
        }
    }
}
