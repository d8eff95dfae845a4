#include <QSettings>
#include <QString>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "TempFolder.h"

using namespace corvanetov;

namespace {

using Table = std::map<std::string, std::string>;

// The port table as the settings file holds it.
Table StoredTable(const std::string& configFolder)
{
    QSettings file(QString::fromStdString(configFolder + "/CorvaneTOV/corvanetov.ini"), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Software/CorvaneTOV/Ports"));
    Table table;
    for (const QString& name : file.childKeys())
        table[name.toStdString()] = file.value(name).toString().toStdString();
    return table;
}

// corvanetov-cli with a settings file and a serial device listing of the
// test's own.
class CliPortsTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(m_folder.File("by-id")); }

    ChildProcess::Result Ports(const std::vector<std::string>& arguments, bool json = false) const
    {
        std::vector<std::string> argv = {CORVANETOV_CLI_PATH};
        if (json)
            argv.push_back("--json");
        argv.push_back("ports");
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return ChildProcess::Run(argv, {"XDG_CONFIG_HOME=" + m_folder.File("config"),
                                        "CORVANETOV_SERIAL_BY_ID=" + m_folder.File("by-id")});
    }

    TempFolder m_folder;
};

} // namespace

// Each step runs corvanetov-cli against the same settings file; the file
// holds the table after it. A refused step changes nothing.
TEST_F(CliPortsTest, CommandsEditThePortTableOrSayWhyNot)
{
    const TempFolder& folder = m_folder;
    PtyPair line;
    PtyPair other;
    const std::string tty = line.SlavePath();
    const std::string regularFile = folder.File("notes.txt");
    std::ofstream(regularFile) << "not a line\n";

    struct Step {
        std::vector<std::string> arguments;
        int exitCode;
        Table table;
        std::string told; // in standard output or error
    };
    const std::vector<Step> steps = {
        {{"assign", "COM3", tty}, 0, {{"COM3", tty}}, "COM3    " + tty},
        {{"assign", "com12", other.SlavePath()}, 0, {{"COM3", tty}, {"COM12", other.SlavePath()}}, ""},
        // The same device under another number moves there.
        {{"assign", "COM7", tty}, 0, {{"COM7", tty}, {"COM12", other.SlavePath()}}, ""},
        {{"assign", "COM0", tty}, 2, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "Not a serial port: COM0"},
        {{"assign", "COM129", tty}, 2, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "ports telnet HOST:PORT"},
        {{"assign", "ttyS0", tty}, 2, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "Not a serial port"},
        {{"assign", "COM3"}, 2, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "PATH is required"},
        {{"assign", "COM3", "/dev/null"}, 1, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "/dev/null: not a serial device"},
        {{"assign", "COM3", regularFile}, 1, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "not a serial device"},
        {{"assign", "COM3", folder.File("gone")}, 1, {{"COM7", tty}, {"COM12", other.SlavePath()}}, "No such file"},
        {{"telnet", "bench-pc:4001"}, 0, {{"COM7", tty}, {"COM12", other.SlavePath()}, {"TELNET", "bench-pc:4001"}}, ""},
        {{"telnet", "[fd00::7]:4001"}, 0, {{"COM7", tty}, {"COM12", other.SlavePath()}, {"TELNET", "[fd00::7]:4001"}}, ""},
        {{"telnet", "10.0.0.5:65535"}, 0, {{"COM7", tty}, {"COM12", other.SlavePath()}, {"TELNET", "10.0.0.5:65535"}}, ""},
    };
    const Table kept = steps.back().table;
    std::vector<Step> refusals;
    for (const char* address : {"bench-pc", "bench-pc:", ":4001", "bench-pc:0", "bench-pc:65536", "bench pc:4001",
                                "fd00::7:4001", "bench-pc:40x1"})
        refusals.push_back({{"telnet", address}, 2, kept, "Not a network address"});
    std::vector<Step> ending = {
        {{"forget", "COM7"}, 0, {{"COM12", other.SlavePath()}, {"TELNET", "10.0.0.5:65535"}}, ""},
        {{"forget", "COM7"}, 0, {{"COM12", other.SlavePath()}, {"TELNET", "10.0.0.5:65535"}}, "COM7 was not set"},
        {{"forget", "COM200"}, 2, {{"COM12", other.SlavePath()}, {"TELNET", "10.0.0.5:65535"}}, "Not a serial port"},
        {{"forget", "telnet"}, 0, {{"COM12", other.SlavePath()}}, ""},
    };

    std::vector<Step> all = steps;
    all.insert(all.end(), refusals.begin(), refusals.end());
    all.insert(all.end(), ending.begin(), ending.end());
    for (const Step& step : all) {
        const auto result = Ports(step.arguments);
        const std::string said = result.out + result.err;
        SCOPED_TRACE(step.arguments.back() + ": " + said);
        EXPECT_EQ(result.exitCode, step.exitCode);
        EXPECT_EQ(StoredTable(folder.File("config")), step.table);
        EXPECT_NE(said.find(step.told), std::string::npos);
    }
}

TEST_F(CliPortsTest, ListingShowsTheTableBesideTheDevices)
{
    PtyPair handset;
    PtyPair bench;
    const std::string link = m_folder.File("by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0");
    std::filesystem::create_symlink(handset.SlavePath(), link);
    ASSERT_EQ(Ports({"assign", "COM5", bench.SlavePath()}).exitCode, 0);
    ASSERT_EQ(Ports({"telnet", "bench-pc:4001"}).exitCode, 0);

    const auto listed = Ports({});
    EXPECT_EQ(listed.exitCode, 0);
    // The listed handset first, on the lowest free number; then the table's others.
    const std::vector<std::string> expected = {"COM1 ", link, "<- handset", "COM5 ", bench.SlavePath(), "(port table)",
                                               "TELNET ", "bench-pc:4001", "network serial link"};
    size_t at = 0;
    for (const std::string& part : expected) {
        at = listed.out.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << " in\n" << listed.out;
    }

    // The handset assigned by hand under its kernel name: one line, the listed one.
    ASSERT_EQ(Ports({"assign", "COM9", handset.SlavePath()}).exitCode, 0);
    const auto moved = Ports({});
    EXPECT_EQ(moved.out.find("COM1 "), std::string::npos) << moved.out;
    // Whole paths: /dev/pts/1 is part of /dev/pts/11.
    EXPECT_EQ(moved.out.find(" " + handset.SlavePath() + " "), std::string::npos) << moved.out;
    EXPECT_NE(moved.out.find("COM9    " + link), std::string::npos) << moved.out;

    const auto json = Ports({}, true);
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("\"com\": \"TELNET\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"handset\": true"), std::string::npos) << json.out;
}
