#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempFolder.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr auto kRefusalTimeout = std::chrono::seconds(20);

// What the per-user settings folder holds before the run.
enum class Store { Sound, BrokenSection, Binary, FolderInPlace, FifoInPlace, FolderIsFile, ReadOnly, StoredPortMistyped };

struct Refusal {
    const char* what;
    std::vector<std::string> args; // %pty: a serial device, %dir: a folder, %missing: nothing there, %file: a plain file
    std::string input;             // standard input
    Store store;
    int exitCode;
    std::string message; // a fragment of standard error; %ini: the settings file
};

const char kSoundStore[] = "[Software]\nCorvaneTOV\\Ports\\COM1=/dev/serial/by-id/kept\n";
const std::string kNotComNumber = "--port: not a COM number (1 to 255, as 7 or COM7) nor a device path";
const std::string kBadScale = "--time-scale: a number above 0 and at most 1000, as CORVANETOV_TIME_SCALE takes";
const std::string kBadMsl = "--msl: the MSL code is 6 digits (or - to read it from standard input)";
const std::string kNoMslInput = "--msl -: the first line of standard input is not a 6-digit MSL code";
const std::string kNoWindowPort = ", and no port chosen in the window (Setup > Port Setting) is stored.";
const std::string kUnwritable = "The settings file cannot be written, so %pty gets no COM number: %ini";

std::vector<Refusal> Refusals()
{
    std::vector<Refusal> rows = {
        {"unknown command", {"frobnicate"}, "", Store::Sound, 2, "Unknown command: frobnicate (the commands: ports, info,"},
        {"unknown settings command", {"settings", "frob"}, "", Store::Sound, 2, "Unknown command: settings frob"},
        {"port with letters after the number", {"info", "--port", "7abc"}, "", Store::Sound, 2, kNotComNumber},
        {"COM0", {"info", "--port", "COM0"}, "", Store::Sound, 2, kNotComNumber},
        {"port above 255", {"info", "--port", "256"}, "", Store::Sound, 2, kNotComNumber},
        {"nothing at the path", {"info", "--port", "%missing"}, "", Store::Sound, 1,
         "--port %missing gets no COM number:\n  %missing: No such file or directory\n"},
        {"a folder", {"info", "--port", "%dir"}, "", Store::Sound, 1, "--port %dir gets no COM number:\n  %dir: Is a directory\n"},
        {"/dev/null", {"info", "--port", "/dev/null"}, "", Store::Sound, 1,
         "--port /dev/null gets no COM number:\n  /dev/null: not a serial device\n"},
        {"a plain file", {"info", "--port", "%file"}, "", Store::Sound, 1,
         "--port %file gets no COM number:\n  %file: not a serial device\n"},
        {"time scale nan", {"info", "--time-scale", "nan"}, "", Store::Sound, 2, kBadScale},
        {"time scale inf", {"info", "--time-scale", "inf"}, "", Store::Sound, 2, kBadScale},
        {"time scale 1e10", {"info", "--time-scale", "1e10"}, "", Store::Sound, 2, kBadScale},
        {"time scale 1e300", {"info", "--time-scale", "1e300"}, "", Store::Sound, 2, kBadScale},
        {"time scale 0", {"info", "--time-scale", "0"}, "", Store::Sound, 2, kBadScale},
        {"time scale negative", {"info", "--time-scale", "-1"}, "", Store::Sound, 2, kBadScale},
        {"MSL of five digits", {"info", "--msl", "12345"}, "", Store::Sound, 2, kBadMsl},
        {"MSL of seven digits", {"info", "--msl", "1234567"}, "", Store::Sound, 2, kBadMsl},
        {"MSL with letters", {"info", "--msl", "12a456"}, "", Store::Sound, 2, kBadMsl},
        {"MSL on input too short", {"info", "--msl", "-"}, "12345\n", Store::Sound, 2, kNoMslInput},
        {"MSL on input missing", {"info", "--msl", "-"}, "", Store::Sound, 2, kNoMslInput},
        {"MSL on input taken", {"info", "--msl", "-", "--port", "%missing"}, "123456\r\n", Store::Sound, 1,
         "--port %missing gets no COM number:"},
        {"trace to a folder", {"--trace", "%dir", "info"}, "", Store::Sound, 2,
         "--trace: the trace cannot be written there: %dir is not a regular file"},
        {"trace into nothing", {"--trace", "%missing/trace", "info"}, "", Store::Sound, 2,
         "--trace: the trace cannot be written there: %missing/trace: No such file or directory"},
        {"settings file with a broken section", {"info", "--port", "%pty"}, "", Store::BrokenSection, 1, kUnwritable},
        {"settings file of binary bytes", {"info", "--port", "%pty"}, "", Store::Binary, 1, kUnwritable},
        {"a folder in the settings file's place", {"info", "--port", "%pty"}, "", Store::FolderInPlace, 1, kUnwritable},
        // Read, it would hold the tool for ever (the run's time-out ends it as a failure).
        {"a named pipe in the settings file's place", {"info", "--port", "%pty"}, "", Store::FifoInPlace, 1, kUnwritable},
        {"a file in the settings folder's place", {"info", "--port", "%pty"}, "", Store::FolderIsFile, 1, kUnwritable},
        {"stored port mistyped", {"info"}, "", Store::StoredPortMistyped, 1,
         kNoWindowPort + "\nThe port table is empty. Give the handset's port with --port, for example --port /dev/ttyUSB0.\n"},
        {"no handset, a device in the table", {"info"}, "", Store::Sound, 1,
         kNoWindowPort + "\nThe port table holds:\n  COM1  /dev/serial/by-id/kept\nGive one with --port, for example --port COM1.\n"},
        {"font address with 0x", {"flash", "--option", "2", "--font", "%file", "--font-address", "0x10"}, "", Store::Sound, 2,
         "--font-address: one to eight hexadecimal digits"},
        {"font address of nine digits", {"flash", "--option", "2", "--font", "%file", "--font-address", "100000000"}, "",
         Store::Sound, 2, "--font-address: one to eight hexadecimal digits"},
        {"a font past the last address", {"flash", "--option", "2", "--font", "%file", "--font-address", "FFFFFFFF", "--plan"},
         "", Store::Sound, 2, "%file holds 13 bytes, and from 0xFFFFFFFF on its blocks would run past 0xFFFFFFFF"},
        {"a font reaching the last address", {"flash", "--option", "2", "--font", "%file", "--font-address", "FFFFF000"}, "",
         Store::Sound, 2, "from 0xFFFFF000 on its blocks would run past 0xFFFFFFFF"},
        {"time scale in hexadecimal", {"info", "--time-scale", "0x10"}, "", Store::Sound, 2, kBadScale},
        {"trace to an empty path", {"--trace", "", "info"}, "", Store::Sound, 2, "--trace: give a file or stderr"},
        {"a network host of 5000 characters", {"ports", "telnet", std::string(5000, 'a') + ":4001"}, "", Store::Sound, 2,
         "Not a network address: aaaa"},
        {"a network host label of 64 characters", {"ports", "telnet", std::string(64, 'a') + ".lan:4001"}, "", Store::Sound, 2,
         "Not a network address: aaaa"},
        {"ERI check of an empty file", {"eri", "check", "%empty"}, "", Store::Sound, 2, " %empty is empty"},
        {"station without a job", {"station", "--once"}, "", Store::Sound, 2,
         "station needs a job: one of info, settings, flash, rebuild, prl, eri"},
        {"station with a command that is no job", {"station", "ports", "--once"}, "", Store::Sound, 2,
         "station cannot run ports: the job is one of"},
        {"station given a port", {"station", "info", "--port", "7"}, "", Store::Sound, 2, "station chooses each handset's port"},
        {"station planning a flash", {"station", "flash", "--option", "0", "--code", "%file", "--plan"}, "", Store::Sound, 2,
         "station runs jobs on handsets: flash --plan needs none"},
        {"station needing the MSL code without a terminal", {"--tool-type", "1", "station", "rebuild", "--once"}, "", Store::Sound,
         2, "The MSL code is needed for tool type 1"},
        {"station with no handset listed", {"station", "info", "--once"}, "", Store::Sound, 1, "No handset listed in"},
        {"station at most no job at once", {"station", "info", "--max", "0"}, "", Store::Sound, 2, "--max: Value 0 not in range"},
        // The job is checked once, before the listing is read.
        {"station flashing an image that is not there", {"station", "flash", "--option", "0", "--code", "%missing", "--once"}, "",
         Store::Sound, 2, "Error in loading Bin file: %missing: No such file or directory\n"},
        {"station job with an unknown option", {"station", "info", "--bogus", "--once"}, "", Store::Sound, 2,
         "The following argument was not expected: --bogus\n"},
        {"station after the history option", {"--history", "%dir/records.sqlite", "station", "info", "--once"}, "", Store::Sound,
         1, "No handset listed in"},
    };
    // Root writes whatever the permissions say.
    if (::geteuid() != 0)
        rows.push_back({"read-only settings file", {"info", "--port", "%pty"}, "", Store::ReadOnly, 1, kUnwritable});
    return rows;
}

class CliRefusal : public ::testing::Test {
protected:
    std::string Config() const { return m_folder.File("config"); }
    std::string SettingsFile() const { return Config() + "/CorvaneTOV/corvanetov.ini"; }

    void Prepare(Store store)
    {
        fs::remove_all(Config());
        fs::create_directories(Config() + "/CorvaneTOV");
        switch (store) {
        case Store::Sound: Write(SettingsFile(), kSoundStore); break;
        case Store::BrokenSection: Write(SettingsFile(), std::string(kSoundStore) + "[Software\nx=1\n"); break;
        case Store::Binary: Write(SettingsFile(), std::string("\x00\x01\x02[\xff", 5)); break;
        case Store::FolderInPlace: fs::create_directories(SettingsFile()); break;
        case Store::FifoInPlace: ::mkfifo(SettingsFile().c_str(), 0600); break;
        case Store::FolderIsFile:
            fs::remove_all(Config() + "/CorvaneTOV");
            Write(Config() + "/CorvaneTOV", kSoundStore);
            break;
        case Store::ReadOnly:
            Write(SettingsFile(), kSoundStore);
            fs::permissions(SettingsFile(), fs::perms::owner_read);
            break;
        case Store::StoredPortMistyped:
            Write(SettingsFile(), "[Software]\nCorvaneTOV\\Corvane_VQX%20B410%20Verizon\\Port%20Number=7zz\n");
            break;
        }
    }

    static void Write(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    // Everything under the settings folder, with kinds and contents.
    std::string Snapshot() const
    {
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(Config())) {
            all += entry.path().string() + (entry.is_directory() ? "/\n" : "\n");
            if (entry.is_regular_file()) {
                std::ifstream file(entry.path(), std::ios::binary);
                all.append(std::istreambuf_iterator<char>(file), {});
            }
        }
        return all;
    }

    std::string Fill(std::string text) const
    {
        const std::pair<const char*, std::string> places[] = {{"%pty", m_pty.SlavePath()}, {"%dir", m_folder.Path()},
                                                              {"%missing", m_folder.File("missing")},
                                                              {"%file", m_folder.File("plain.txt")},
                                                              {"%empty", m_folder.File("empty.bin")},
                                                              {"%ini", SettingsFile()}};
        for (const auto& [mark, value] : places)
            text = std::regex_replace(text, std::regex(mark), value);
        return text;
    }

    ChildProcess::Result Run(const std::vector<std::string>& args, const std::string& input,
                             const std::string& timeScale = "0.01")
    {
        std::vector<std::string> argv = {CORVANETOV_CLI_PATH};
        for (const auto& arg : args)
            argv.push_back(Fill(arg));
        Write(m_folder.File("input"), input);
        return ChildProcess::Run(argv,
                                 {"HOME=" + m_folder.File("home"), "XDG_CONFIG_HOME=" + Config(),
                                  "CORVANETOV_SERIAL_BY_ID=" + m_folder.File("by-id"), "CORVANETOV_TIME_SCALE=" + timeScale},
                                 kRefusalTimeout, m_folder.File("input"));
    }

    void SetUp() override
    {
        fs::create_directories(m_folder.File("by-id"));
        fs::create_directories(m_folder.File("home"));
        Write(m_folder.File("plain.txt"), "not a device\n");
        Write(m_folder.File("empty.bin"), "");
    }

    TempFolder m_folder;
    PtyPair m_pty;
};

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
} // namespace

TEST_F(CliRefusal, EveryRefusedInputSaysWhyAndLeavesTheSettingsAlone)
{
    for (const Refusal& row : Refusals()) {
        SCOPED_TRACE(row.what);
        Prepare(row.store);
        const std::string before = Snapshot();
        auto run = Run(row.args, row.input);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(Fill(row.message))) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(before, Snapshot()) << "the settings folder changed";
    }
}

TEST_F(CliRefusal, AShortenedTimeScaleIsToldOnceOnStandardError)
{
    const std::string notice = "Time scale 0.01: every pause and time-out takes 0.01 times its real length";
    Prepare(Store::Sound);
    auto scaled = Run({"info", "--port", "COM9"}, "");
    EXPECT_EQ(1, scaled.exitCode);
    EXPECT_EQ(1u, Occurrences(scaled.err, notice)) << scaled.err;
    EXPECT_TRUE(scaled.out.empty());

    auto given = Run({"info", "--port", "COM9", "--time-scale", "2"}, "", "1");
    EXPECT_EQ(1u, Occurrences(given.err, "Time scale 2: every pause and time-out takes 2 times")) << given.err;

    auto real = Run({"info", "--port", "COM9"}, "", "1");
    EXPECT_EQ(0u, Occurrences(real.err, "Time scale")) << real.err;
    EXPECT_NE(std::string::npos, real.err.find("Cannot Open ComPort!")) << "the same run, without the notice";
}
