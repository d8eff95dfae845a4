#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "E2eFixture.h"
#include "samples/PrlListBytes.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
using Bytes = std::vector<uint8_t>;


Bytes WithLead(const Bytes& list)
{
    Bytes bytes(3 + list.size(), 0xA5);
    std::copy(list.begin(), list.end(), bytes.begin() + 3);
    return bytes;
}



struct Piece {
    int nam;
    int number;
    int bits;
    bool operator==(const Piece&) const = default;
};
void PrintTo(const Piece& piece, std::ostream* out)
{
    *out << "{NAM" << piece.nam + 1 << " piece " << piece.number << ", " << piece.bits << " bits}";
}

// A file given to the command: its name in the test's folder and its bytes.
struct File {
    const char* option; // "--nam1", "--nam2"
    const char* name;
    Bytes bytes;
};
} // namespace

class RoamingEndToEnd : public E2eFixture {
protected:
    // The handset with these faults, saving finished files in the test's folder.
    void Start(const std::vector<std::string>& faults)
    {
        std::vector<std::string> options = {"--roaming-dir", m_folder};
        options.insert(options.end(), faults.begin(), faults.end());
        StartHandset(options);
    }
    ChildProcess::Result Program(const std::string& command, const std::vector<File>& files)
    {
        std::vector<std::string> arguments = {command, "--trace", Path("trace")};
        for (const File& file : files) {
            std::ofstream(Path(file.name), std::ios::binary)
                .write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
            arguments.insert(arguments.end(), {file.option, Path(file.name)});
        }
        return Cli(arguments);
    }
    std::string Path(const std::string& name) const { return m_folder + "/" + name; }

    // The roaming data writes as the handset read them.
    std::vector<Piece> Pieces() const
    {
        static const std::regex fields(R"(\"bits\":(\d+).*\"nam\":(\d+),\"piece\":(\d+))");
        std::vector<Piece> pieces;
        std::smatch match;
        for (const auto& line : LoggedRequests())
            if (line.find("RoamingDataWriteRequest") != std::string::npos && std::regex_search(line, match, fields))
                pieces.push_back({std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[1])});
        return pieces;
    }
};

namespace {
const Bytes k250 = PrlListBytes(250);

struct Written {
    const char* name;
    std::vector<std::string> faults;
    std::string command;
    std::vector<File> files;
    // The pieces in order, each once: a piece whose answer came too late at
    // this time scale goes again, and the handset takes it again.
    std::vector<Piece> pieces;
    int refused;                                      // a piece that must have gone twice; -1: none
    std::vector<std::pair<const char*, Bytes>> saved; // the handset's files
    std::vector<const char*> absent;
    const char* traced;
};

const Written kWritten[] = {
    {"250-byte list in three pieces", {}, "prl", {{"--nam1", "a.prl", k250}},
     {{0, 0, 960}, {0, 1, 960}, {0, 2, 80}}, -1, {{"nam1.prl", k250}}, {"nam2.prl"}, ""},
    {"three leading bytes left out", {}, "prl", {{"--nam1", "lead.prl", WithLead(k250)}},
     {{0, 0, 960}, {0, 1, 960}, {0, 2, 80}}, -1, {{"nam1.prl", k250}}, {}, ""},
    {"piece refused once", {"--refuse-piece", "prl:1"}, "prl", {{"--nam1", "a.prl", k250}},
     {{0, 0, 960}, {0, 1, 960}, {0, 2, 80}}, 0, {{"nam1.prl", k250}}, {}, "First Error in 1/3"},
    {"NAM2 only", {}, "prl", {{"--nam2", "a.prl", k250}},
     {{1, 0, 960}, {1, 1, 960}, {1, 2, 80}}, -1, {{"nam2.prl", k250}}, {"nam1.prl"}, ""},
    {"ERI into both NAMs", {}, "eri", {{"--nam1", "one.bin", Bytes(130, 0x11)}, {"--nam2", "two.bin", Bytes(5, 0x22)}},
     {{0, 0, 960}, {0, 1, 80}, {1, 0, 40}}, -1, {{"nam1.eri", Bytes(130, 0x11)}, {"nam2.eri", Bytes(5, 0x22)}}, {"nam1.prl"}, ""},
};
} // namespace

TEST_F(RoamingEndToEnd, CliWritesTheFileThatTheHandsetPutsBackTogether)
{
    for (const Written& c : kWritten) {
        SCOPED_TRACE(c.name);
        fs::remove(Path("sim.log"));
        for (const char* name : {"nam1.prl", "nam2.prl", "nam1.eri", "nam2.eri", "trace"})
            fs::remove(Path(name));
        Start(c.faults);
        auto run = Program(c.command, c.files);
        EXPECT_EQ(0, run.exitCode) << run.err;
        // The end report says it once, on standard error; standard output
        // does not repeat it.
        const std::string completed = c.command == "prl" ? "Completed PRL Programming\n" : "Completed ERI Programming\n";
        EXPECT_EQ("", run.out);
        size_t first = run.err.find(completed);
        EXPECT_NE(std::string::npos, first) << run.err;
        EXPECT_EQ(std::string::npos, run.err.find(completed, first + 1)) << run.err;
        std::vector<Piece> pieces = Pieces();
        if (c.refused >= 0) {
            EXPECT_LE(2, std::count_if(pieces.begin(), pieces.end(), [&](const Piece& p) { return p.number == c.refused; }));
        }
        pieces.erase(std::unique(pieces.begin(), pieces.end()), pieces.end());
        EXPECT_EQ(c.pieces, pieces);
        m_handset.Stop(); // its files are written by now
        for (const auto& [name, bytes] : c.saved)
            EXPECT_EQ(bytes, FileBytes(Path(name))) << name;
        for (const char* name : c.absent)
            EXPECT_FALSE(fs::exists(Path(name))) << name;
        EXPECT_NE(std::string::npos, FileText(Path("trace")).find(c.traced)) << c.traced;
    }
}

namespace {
struct Failed {
    const char* name;
    std::vector<std::string> faults;
    std::vector<File> files;
    std::string message; // the reader's, %s for the path; empty: none
    const char* error;   // the operation's; empty for a file refused before the handset is touched
    int exitCode;
};

const Failed kFailed[] = {
    {"refused file", {}, {{"--nam1", "short.prl", Bytes(3, 0)}}, " Invalid Prl file : %s\n Please Check prl_file !", "", 2},
    {"oversized NAM2 file", {}, {{"--nam1", "a.prl", k250}, {"--nam2", "big.prl", Bytes(9000, 0)}},
     " %s is too large\n Please Check prl_file !", "", 2},
    {"cable pulled mid-list", {"--hangup", "prl:2"}, {{"--nam1", "a.prl", k250}}, "",
     "Error in writing PRL\nThe line to the handset was lost (cable pulled or device gone).", 1},
};
} // namespace

TEST_F(RoamingEndToEnd, CliEndsWithTheReasonAndTheOperationsError)
{
    for (const Failed& c : kFailed) {
        SCOPED_TRACE(c.name);
        fs::remove(Path("sim.log"));
        Start(c.faults);
        auto run = Program("prl", c.files);
        EXPECT_EQ(c.exitCode, run.exitCode);
        std::string expected = *c.error ? "\n" + std::string(c.error) + "\n" : "";
        if (!c.message.empty()) {
            std::string message = c.message;
            message.replace(message.find("%s"), 2, Path(c.files.back().name));
            expected = message + "\n" + expected;
        }
        EXPECT_TRUE(EndsWith(run.err, expected)) << run.err;
        const std::string reset = "\"mode\":2";
        EXPECT_EQ(0u, Requests("ModeControlRequest", reset)) << "no reset after a refused file or a failed write";
        if (!*c.error) {
            EXPECT_EQ(0u, LoggedRequests().size()) << "a refused file leaves the handset untouched, NAM1 too";
        }
        m_handset.Stop();
    }
}

TEST_F(RoamingEndToEnd, CliChecksAFileWithoutAHandset)
{
    struct Check {
        std::string command;
        Bytes file;
        int exitCode;
        std::string out; // %s for the path
        std::string err;
    } checks[] = {
        {"prl", k250, 0, "%s: 250 bytes, 3 pieces\n", ""},
        {"prl", WithLead(PrlListBytes(240)), 0, "%s: 240 bytes, 2 pieces\n", ""},
        {"eri", Bytes(8192, 1), 0, "%s: 8192 bytes, 69 pieces\n", ""},
        {"prl", PrlListBytes(8193), 2, "", " %s is too large\n Please Check prl_file !\n"},
        {"eri", Bytes(8193, 1), 2, "", " %s is too large\n Please Check eri_file !\n"},
        {"prl", PrlListBytes(100), 0, "%s: 100 bytes, 1 pieces\n", ""},
        {"prl", Bytes(3, 9), 2, "", " Invalid Prl file : %s\n Please Check prl_file !\n"},
    };
    const std::string path = Path("checked");
    for (const Check& c : checks) {
        SCOPED_TRACE(c.out + c.err);
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(c.file.data()), std::streamsize(c.file.size()));
        auto run = Cli({c.command, "check", path});
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_EQ(std::regex_replace(c.out, std::regex("%s"), path), run.out);
        EXPECT_EQ(std::regex_replace(c.err, std::regex("%s"), path), run.err);
    }
    EXPECT_EQ(2, Cli({"prl"}).exitCode) << "no NAM given";
    EXPECT_EQ(2, Cli({"eri", "check", path, "--nam1", path}).exitCode);
    EXPECT_EQ("{\"file\":\"" + path + "\",\"pieces\":1,\"size\":3}\n", [&] {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << "abc";
        return Cli({"--json", "eri", "check", path}).out;
    }());
    EXPECT_TRUE(LoggedRequests().empty());
}
