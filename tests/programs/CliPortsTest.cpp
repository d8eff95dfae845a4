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

} // namespace

// Each step runs corvanetov-cli against the same settings file; the file
// holds the table after it. A refused step changes nothing.
TEST(CliPortsTest, CommandsEditThePortTableOrSayWhyNot)
{
    TempFolder folder;
    std::filesystem::create_directories(folder.File("by-id"));
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + folder.File("config"),
                                                  "CORVANETOV_SERIAL_BY_ID=" + folder.File("by-id")};
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
        std::vector<std::string> argv = {CORVANETOV_CLI_PATH, "ports"};
        argv.insert(argv.end(), step.arguments.begin(), step.arguments.end());
        const auto result = ChildProcess::Run(argv, environment);
        const std::string said = result.out + result.err;
        SCOPED_TRACE(step.arguments.back() + ": " + said);
        EXPECT_EQ(result.exitCode, step.exitCode);
        EXPECT_EQ(StoredTable(folder.File("config")), step.table);
        EXPECT_NE(said.find(step.told), std::string::npos);
    }
}

TEST(CliPortsTest, ListingShowsTheTableBesideTheDevices)
{
    TempFolder folder;
    std::filesystem::create_directories(folder.File("by-id"));
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + folder.File("config"),
                                                  "CORVANETOV_SERIAL_BY_ID=" + folder.File("by-id")};
    PtyPair handset;
    PtyPair bench;
    const std::string link = folder.File("by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0");
    std::filesystem::create_symlink(handset.SlavePath(), link);
    const std::string cli = CORVANETOV_CLI_PATH;
    ASSERT_EQ(ChildProcess::Run({cli, "ports", "assign", "COM5", bench.SlavePath()}, environment).exitCode, 0);
    ASSERT_EQ(ChildProcess::Run({cli, "ports", "telnet", "bench-pc:4001"}, environment).exitCode, 0);

    const auto listed = ChildProcess::Run({cli, "ports"}, environment);
    EXPECT_EQ(listed.exitCode, 0);
    // The listed handset first, on the lowest free number; then the table's others.
    const std::vector<std::string> expected = {"COM1 ", link, "<- handset", "COM5 ", bench.SlavePath(), "(port table)",
                                               "TELNET ", "bench-pc:4001", "network serial link"};
    size_t at = 0;
    for (const std::string& part : expected) {
        at = listed.out.find(part, at);
        ASSERT_NE(at, std::string::npos) << part << " in\n" << listed.out;
    }

    const auto json = ChildProcess::Run({cli, "--json", "ports"}, environment);
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("\"com\": \"TELNET\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"handset\": true"), std::string::npos) << json.out;
}
