#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "E2eFixture.h"
#include "samples/ImageMaker.h"
#include "PostgresServer.h"
#include "samples/PrlListBytes.h"
#include "PtyPair.h"

using namespace corvanetov;
namespace fs = std::filesystem;

namespace {
using Options = std::vector<std::string>;
const Options kSettings = {"--esn", "8A3F02C1", "--lock-code", "1357", "--uim-lock-code", "24682468", "--sids", "4101,22,31000"};
constexpr char kOtherEsn[] = "1B2B3B4B";

bool Says(const ChildProcess::Result& result, const std::string& words)
{
    return result.err.find(words) != std::string::npos;
}

// A private server for the cases that need one; outside CI a machine
// without the server's programs skips them with one line.
#define START_SERVER(server)                                                        \
    do {                                                                            \
        std::string why;                                                            \
        if (PostgresServer::BinaryFolder().empty() && !std::getenv("CI"))           \
            GTEST_SKIP() << "no PostgreSQL server installed (Debian's postgresql)"; \
        ASSERT_TRUE(server.Start(why)) << why;                                      \
    } while (false)
} // namespace

class HistoryEndToEnd : public E2eFixture {
protected:
    std::string Path(const std::string& name) const { return m_folder + "/" + name; }

    void MakeFiles()
    {
        ASSERT_TRUE(ImageMaker::WriteCode(Path("code.bin"), 0x9000, ImageMaker::kBootPartSize, ImageMaker::kVersion));
        const std::vector<uint8_t> prl = PrlListBytes(250);
        std::ofstream(Path("list.prl"), std::ios::binary).write(reinterpret_cast<const char*>(prl.data()), std::streamsize(prl.size()));
        ASSERT_EQ(0, Cli({"settings", "read", Path("user.mmc")}).exitCode);
    }

    ChildProcess::Result CliOn(const Options& store, Options arguments)
    {
        arguments.insert(arguments.end(), store.begin(), store.end());
        return Cli(arguments);
    }

    // The settings written back unchanged first (the handset saves its state
    // with its first write), then changed and written; the state before.
    std::string WriteChangedSettings(const Options& store, const Options& changes)
    {
        EXPECT_EQ(0, CliOn(store, {"settings", "read", Path("user.mmc")}).exitCode);
        EXPECT_EQ(0, CliOn(store, {"settings", "write", Path("user.mmc")}).exitCode);
        const std::string untouched = HandsetState();
        Options set = {"settings", "set", Path("user.mmc")};
        set.insert(set.end(), changes.begin(), changes.end());
        EXPECT_EQ(0, CliOn(store, set).exitCode);
        ChildProcess::Result write = CliOn(store, {"settings", "write", Path("user.mmc")});
        EXPECT_EQ(0, write.exitCode) << write.err;
        return untouched;
    }

    Options Arguments(const Options& given) const
    {
        Options arguments;
        for (const std::string& argument : given)
            arguments.push_back(argument == "FILE" ? Path("user.mmc") : argument == "CODE" ? Path("code.bin")
                                    : argument == "PRL"                                     ? Path("list.prl")
                                                                                            : argument);
        return arguments;
    }
};

namespace {
struct CompletedRow {
    const char* name;
    Options arguments; // FILE, CODE and PRL stand for the test's files
    const char* operation;
    size_t inputs;
    bool snapshot;
    bool bytesWritten;
    bool versionAfter;
    const char* endText; // the record's end text as the user read it; null: not asked
};

const CompletedRow kCompleted[] = {
    {"Identify", {"info"}, "identify", 0, false, false, false, nullptr},
    {"SettingsRead", {"settings", "read", "FILE"}, "settings read", 0, false, false, false, nullptr},
    {"SettingsWrite", {"settings", "write", "FILE"}, "settings write", 1, true, false, false, "Completed Writing To Phone"},
    {"Prl", {"prl", "--nam1", "PRL"}, "prl", 1, false, true, false, nullptr},
    {"Flash", {"flash", "--option", "0", "--code", "CODE"}, "flash option 0", 1, false, true, false, nullptr},
    {"FlashKeepingSettings", {"flash", "--option", "0", "--code", "CODE", "--keep-settings"}, "flash option 0", 1, true, true, true,
     "Completed Flash Programming\nNow running B410V01.05\nThe settings were written back."},
};

void PrintTo(const CompletedRow& row, std::ostream* out)
{
    *out << row.name;
}
} // namespace

class CompletedOperations : public HistoryEndToEnd, public ::testing::WithParamInterface<CompletedRow> {};

// The failed and stopped ends are the fault matrix's command-line rows.
TEST_P(CompletedOperations, LeaveOneRecordWithTheirFacts)
{
    const CompletedRow& row = GetParam();
    StartHandset(kSettings);
    MakeFiles();
    const size_t before = Records().size();
    ChildProcess::Result run = Cli(Arguments(row.arguments));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<nlohmann::json> records = Records();
    ASSERT_EQ(records.size(), before + 1) << run.err;
    const nlohmann::json& r = records[0];
    EXPECT_EQ(r["operation"], row.operation);
    EXPECT_EQ(r["result"], "completed");
    EXPECT_EQ(r["exit_status"], 0);
    EXPECT_EQ(r["esn"], "8A3F02C1");
    EXPECT_EQ(r["model_code"], "147");
    EXPECT_EQ(fs::canonical(r["device_path"].get<std::string>()), fs::canonical(m_devicePath));
    EXPECT_GT(r["com_number"].get<int>(), 0);
    EXPECT_EQ(r["front_end"], "cli");
    EXPECT_FALSE(r["bench"].get<std::string>().empty());
    EXPECT_FALSE(r["operator"].get<std::string>().empty());
    EXPECT_EQ(r["uuid"].get<std::string>().size(), 36u);
    EXPECT_LE(r["started"].get<std::string>(), r["ended"].get<std::string>());
    EXPECT_TRUE(r["started"].get<std::string>().ends_with("Z")) << "UTC";
    ASSERT_EQ(r["inputs"].size(), row.inputs);
    for (const nlohmann::json& input : r["inputs"]) {
        EXPECT_EQ(input["sha256"], Sha256(input["name"])) << input;
        EXPECT_EQ(input["size"], fs::file_size(input["name"].get<std::string>()));
    }
    EXPECT_EQ(!r["snapshot"].get<std::string>().empty(), row.snapshot) << r["snapshot"];
    EXPECT_EQ(r["bytes_written"].get<int64_t>() > 0, row.bytesWritten);
    EXPECT_EQ(!r["version_after"].get<std::string>().empty(), row.versionAfter);
    if (row.endText) {
        EXPECT_EQ(r["end_text"], row.endText);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CompletedOperations, ::testing::ValuesIn(kCompleted), [](const auto& info) { return info.param.name; });

// A flash killed outright once the handset is in download mode ends
// without its record: the one kept as it began says what went in, where,
// into which handset.
TEST_F(HistoryEndToEnd, AKilledFlashLeavesItsUnfinishedRecord)
{
    StartHandset(With(kSettings, {"--erase-ms", "100000"}));
    MakeFiles();
    const size_t before = Records().size();
    ChildProcess flash;
    flash.StartLogged({CORVANETOV_CLI_PATH, "flash", "--option", "0", "--code", Path("code.bin")}, Environment(), Path("flash.txt"));
    ASSERT_TRUE(AwaitRequests("EraseRequest", 1));
    ASSERT_EQ(0, kill(flash.Pid(), SIGKILL));
    ASSERT_EQ(128 + SIGKILL, flash.WaitForExit(std::chrono::seconds(60)));
    const std::vector<nlohmann::json> records = Records();
    ASSERT_EQ(records.size(), before + 1) << FileText(Path("flash.txt"));
    const nlohmann::json& r = records[0];
    EXPECT_EQ(r["result"], "unfinished");
    EXPECT_EQ(r["operation"], "flash option 0");
    EXPECT_EQ(r["esn"], "8A3F02C1");
    EXPECT_EQ(fs::canonical(r["device_path"].get<std::string>()), fs::canonical(m_devicePath));
    ASSERT_EQ(r["inputs"].size(), 1u);
    EXPECT_EQ(r["inputs"][0]["sha256"], Sha256(Path("code.bin")));
}

class UndoOnStore : public HistoryEndToEnd, public ::testing::WithParamInterface<bool> {};

TEST_P(UndoOnStore, SettingsWriteThenUndoRestoresTheHandsetByteForByte)
{
    PostgresServer server;
    Options store;
    if (GetParam()) {
        START_SERVER(server);
        store = {"--history", server.Url()};
    }
    auto cli = [&](const Options& arguments) { return CliOn(store, arguments); };
    StartHandset(kSettings);
    const std::string untouched =
        WriteChangedSettings(store, {"--lock-code", "246801", "--uim-lock-code", "9999", "--sid", "2=12345"});
    ASSERT_NE(HandsetState(), untouched);
    const std::string written = Records(store)[0]["uuid"];

    nlohmann::json shown = nlohmann::json::parse(cli({"--json", "history", "show", written.substr(0, 8)}).out);
    EXPECT_EQ(shown["snapshot"], "lock code ****, UIM lock code ****, SIDs 4101 22 31000 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    shown = nlohmann::json::parse(cli({"--json", "history", "show", written, "--show-secrets"}).out);
    EXPECT_NE(shown["snapshot"].get<std::string>().find("lock code 1357, UIM lock code 24682468"), std::string::npos);

    ChildProcess::Result undo = cli({"history", "undo", written});
    ASSERT_EQ(0, undo.exitCode) << undo.err;
    EXPECT_EQ(HandsetState(), untouched);
    const std::vector<nlohmann::json> records = Records(store);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["operation"], "history undo");
    EXPECT_EQ(records[0]["inputs"][0]["name"], written);
    EXPECT_NE(records[0]["snapshot"].get<std::string>().find("SIDs 4101 12345 31000"), std::string::npos)
        << "the undo keeps what it replaced, so it can be undone in turn";
}

INSTANTIATE_TEST_SUITE_P(Stores, UndoOnStore, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

TEST_F(HistoryEndToEnd, UndoIsRefusedWithoutSnapshotOrForAnotherHandset)
{
    StartHandset(kSettings);
    ASSERT_EQ(0, Cli({"info"}).exitCode);
    ASSERT_EQ(0, Cli({"settings", "read", Path("user.mmc")}).exitCode);
    ASSERT_EQ(0, Cli({"settings", "write", Path("user.mmc")}).exitCode);
    const std::vector<nlohmann::json> made = Records();
    m_handset.Stop();
    Options other = kSettings;
    other[1] = kOtherEsn;
    StartHandset(other);
    fs::remove(Path("sim.log"));
    const std::string state = HandsetState();
    struct Refusal {
        std::string id;
        const char* says;
        size_t newRecords;
    } refusals[] = {
        {made[2]["uuid"], "has no settings snapshot", 0}, // the identification
        {"ffffffff", "No record ffffffff", 0},
        {made[0]["uuid"], "The handset's ESN is 1B2B3B4B, the record's 8A3F02C1: nothing was written.", 1},
    };
    size_t records = made.size();
    for (const Refusal& refusal : refusals) {
        ChildProcess::Result undo = Cli({"history", "undo", refusal.id});
        EXPECT_EQ(undo.exitCode, 2) << refusal.says;
        EXPECT_TRUE(Says(undo, refusal.says)) << undo.err;
        records += refusal.newRecords;
        EXPECT_EQ(Records().size(), records) << refusal.says;
    }
    EXPECT_EQ(Requests("NvWriteRequest"), 0u);
    EXPECT_EQ(HandsetState(), state);
}

// A shop's bench whose role may only add and read records: every feature
// works, and what it recorded no one at the bench can change.
TEST_F(HistoryEndToEnd, AnInsertOnlyBenchUsesEveryFeatureAndAltersNoRecord)
{
    PostgresServer server;
    START_SERVER(server);
    ASSERT_EQ(0, Cli({"history", "--history", server.Url()}).exitCode) << "the owner makes the tables";
    ASSERT_TRUE(server.AddInsertOnlyRole("bench"));
    const Options bench = {"--history", server.Url("bench")};
    auto cli = [&](const Options& arguments) { return CliOn(bench, arguments); };
    StartHandset(kSettings);
    const std::string untouched = WriteChangedSettings(bench, {"--lock-code", "246801"});
    ASSERT_NE(HandsetState(), untouched);

    ASSERT_TRUE(server.Stop());
    EXPECT_TRUE(Says(cli({"info"}), "history sync"));
    ASSERT_TRUE(server.Restart());
    ChildProcess::Result sync = cli({"history", "sync"});
    EXPECT_TRUE(Says(sync, "1 records sent")) << sync.err;
    EXPECT_TRUE(Says(cli({"history", "sync"}), "0 records sent")) << "each record is sent once";

    std::vector<nlohmann::json> records = Records(bench);
    ASSERT_EQ(records.size(), 4u);
    ASSERT_EQ(records[1]["operation"], "settings write");
    ChildProcess::Result undo = cli({"history", "undo", records[1]["uuid"]});
    ASSERT_EQ(0, undo.exitCode) << undo.err;
    EXPECT_EQ(HandsetState(), untouched);
    ASSERT_EQ(0, cli({"history", "export", "--csv", Path("records.csv")}).exitCode);
    EXPECT_NE(FileText(Path("records.csv")).find("history undo"), std::string::npos);

    for (const char* change : {"DELETE FROM service_records", "UPDATE service_records SET result = 'completed'"}) {
        std::string said;
        EXPECT_NE(server.Psql(change, "bench", &said), 0) << change;
        EXPECT_NE(said.find("permission denied"), std::string::npos) << said;
    }
    EXPECT_EQ(Records(bench).size(), 5u);
}

// An ESN with a leading zero is kept with its eight digits and found by
// them; the undo of its write knows the handset as the record's.
TEST_F(HistoryEndToEnd, AnEsnWithALeadingZeroIsKeptWithItsEightDigits)
{
    Options settings = kSettings;
    settings[1] = "0A0B0C0D";
    StartHandset(settings);
    ASSERT_EQ(0, Cli({"settings", "read", Path("user.mmc")}).exitCode);
    ASSERT_EQ(0, Cli({"settings", "write", Path("user.mmc")}).exitCode);
    const std::vector<nlohmann::json> found = Records({"--esn", "0A0B0C0D"});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]["esn"], "0A0B0C0D");
    ChildProcess::Result undo = Cli({"history", "undo", found[0]["uuid"]});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
}

TEST_F(HistoryEndToEnd, ServerFaultsLeaveTheOperationAloneAndTheRecordInTheOutbox)
{
    PostgresServer server;
    START_SERVER(server);
    StartHandset(kSettings);
    const Options onServer = {"--history", server.Url()};
    const Options outbox = {"--history", m_folder + "/data/corvanetov/outbox.sqlite"};
    auto info = [&](const Options& store) {
        Options arguments = {"info"};
        arguments.insert(arguments.end(), store.begin(), store.end());
        return Cli(arguments);
    };
    const ChildProcess::Result reference = info({});
    ASSERT_EQ(reference.exitCode, 0);

    ASSERT_TRUE(server.Stop());
    ChildProcess::Result down = info(onServer);
    EXPECT_EQ(down.out, reference.out) << "the operation's result is its own";
    EXPECT_EQ(down.exitCode, 0);
    EXPECT_TRUE(Says(down, "cannot take the record")) << down.err;
    EXPECT_TRUE(Says(down, "history sync")) << down.err;

    ASSERT_TRUE(server.Restart());
    ChildProcess::Result refused = info({"--history", server.Url("intruder")});
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_TRUE(Says(refused, "intruder")) << "the server's own refusal: " << refused.err;
    EXPECT_EQ(Records(outbox).size(), 2u);

    ChildProcess::Result sync = Cli({"history", "sync", "--history", server.Url()});
    EXPECT_EQ(sync.exitCode, 0) << sync.err;
    EXPECT_TRUE(Says(sync, "2 records sent")) << sync.err;
    EXPECT_TRUE(Says(Cli({"history", "sync", "--history", server.Url()}), "0 records sent")) << "each record is sent once";
    EXPECT_EQ(Records(onServer).size(), 2u);
    EXPECT_EQ(Records(outbox).size(), 0u);

    // The server goes while the operation runs: the record waits, and the
    // next record takes it along.
    const size_t switches = Requests("DmSwitchCommand");
    ChildProcess slow;
    // Real pauses, so that the server is gone before the tool ends.
    slow.StartLogged({CORVANETOV_CLI_PATH, "info", "--time-scale", "1", "--history", server.Url()}, Environment(), Path("cli.log"));
    ASSERT_TRUE(AwaitRequests("DmSwitchCommand", switches + 1));
    ASSERT_TRUE(server.Stop());
    EXPECT_EQ(slow.WaitForExit(std::chrono::seconds(60)), 0);
    EXPECT_NE(FileText(Path("cli.log")).find("cannot take the record"), std::string::npos) << FileText(Path("cli.log"));
    ASSERT_TRUE(server.Restart());
    ASSERT_EQ(0, info(onServer).exitCode);
    EXPECT_EQ(Records(onServer).size(), 4u);
    EXPECT_EQ(Records(outbox).size(), 0u);
}

namespace {
struct BenchFileFault {
    const char* name;
    std::function<void(const std::string& folder)> make; // the data folder's corvanetov/
    Options wrapper;                                     // runs the tool under a limit
    const char* says;
};

void Garbage(const std::string& folder)
{
    fs::create_directories(folder);
    std::ofstream(folder + "/history.sqlite") << std::string(5000, 'x');
}

void Foreign(const std::string& folder)
{
    fs::create_directories(folder);
    ChildProcess::Run({"/usr/bin/python3", "-c",
                       "import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute('create table songs (t text)'); "
                       "c.execute(\"insert into songs values ('kept')\"); c.commit()",
                       folder + "/history.sqlite"});
}

void ReadOnly(const std::string& folder)
{
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
}

const BenchFileFault kBenchFileFaults[] = {
    {"NotADatabase", &Garbage, {}, "is not a history file of this tool"},
    {"Foreign", &Foreign, {}, "is not a history file of this tool"},
    // No write can grow a file: the disk is full for the tool.
    {"DiskFull", [](const std::string&) {}, {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\""}, "The service record was not kept"},
    {"ReadOnlyFolder", &ReadOnly, {}, "Permission denied"},
};

void PrintTo(const BenchFileFault& row, std::ostream* out)
{
    *out << row.name;
}
} // namespace

class BenchFileFaults : public HistoryEndToEnd, public ::testing::WithParamInterface<BenchFileFault> {
protected:
    // A read-only folder binds root too only when root is not the one
    // writing: the tool then runs as nobody, with the handset's line and
    // the test's folders opened to it.
    Options AsUnprivileged()
    {
        if (::geteuid() != 0)
            return {};
        fs::permissions(m_folder, fs::perms::all & ~(fs::perms::group_write | fs::perms::others_write));
        for (const char* folder : {"/config", "/by-id"})
            fs::permissions(m_folder + folder, fs::perms::all);
        // The settings file root's run made is root's alone.
        for (const auto& entry : fs::recursive_directory_iterator(m_folder + "/config"))
            fs::permissions(entry.path(), fs::perms::all);
        ::chmod(fs::canonical(m_devicePath).c_str(), 0666);
        return {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    }
};

TEST_P(BenchFileFaults, TheOperationEndsAsItWouldAndTheUserIsTold)
{
    const BenchFileFault& row = GetParam();
    StartHandset(kSettings);
    const ChildProcess::Result reference = Cli({"info"});
    ASSERT_EQ(reference.exitCode, 0);
    const std::string folder = m_folder + "/data/corvanetov";
    fs::remove_all(folder);
    row.make(folder);
    const std::string before = FileText(folder + "/history.sqlite");
    Options argv = std::string(row.name) == "ReadOnlyFolder" ? AsUnprivileged() : row.wrapper;
    argv.insert(argv.end(), {CORVANETOV_CLI_PATH, "info"});
    ChildProcess::Result run = ChildProcess::Run(argv, Environment());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, reference.out);
    EXPECT_TRUE(Says(run, row.says)) << run.err;
    EXPECT_EQ(FileText(folder + "/history.sqlite"), before) << "left as it was";
}

INSTANTIATE_TEST_SUITE_P(Rows, BenchFileFaults, ::testing::ValuesIn(kBenchFileFaults), [](const auto& info) { return info.param.name; });

class EightAtOnce : public HistoryEndToEnd, public ::testing::WithParamInterface<bool> {};

// Eight tools on eight silent lines give up at the same moment and write
// their records together.
TEST_P(EightAtOnce, KeepEightRecords)
{
    PostgresServer server;
    Options store;
    if (GetParam()) {
        START_SERVER(server);
        store = {"--history", server.Url()};
    }
    constexpr int kTools = 8;
    std::vector<std::unique_ptr<PtyPair>> lines;
    std::vector<std::unique_ptr<ChildProcess>> tools;
    for (int i = 0; i < kTools; ++i) {
        lines.push_back(std::make_unique<PtyPair>());
        tools.push_back(std::make_unique<ChildProcess>());
        Options argv = {CORVANETOV_CLI_PATH, "info", "--port", lines.back()->SlavePath()};
        argv.insert(argv.end(), store.begin(), store.end());
        Options environment = Environment();
        environment.push_back("XDG_CONFIG_HOME=" + Path("config" + std::to_string(i)));
        tools.back()->StartLogged(argv, environment, Path("cli" + std::to_string(i) + ".log"));
    }
    for (auto& tool : tools)
        EXPECT_EQ(tool->WaitForExit(std::chrono::seconds(60)), 1);
    const std::vector<nlohmann::json> records = Records(store);
    EXPECT_EQ(records.size(), size_t(kTools));
    std::set<std::string> uuids;
    for (const nlohmann::json& record : records)
        uuids.insert(record["uuid"]);
    EXPECT_EQ(uuids.size(), size_t(kTools)) << "none doubled";
}

class HeldStore : public HistoryEndToEnd, public ::testing::WithParamInterface<bool> {};

// Another session holds the store (the table locked, or the file in a write
// of its own): the job's result comes as without it, a bounded wait later at
// most, and its record waits in the outbox for that store.
TEST_P(HeldStore, DelaysTheJobBrieflyAndItsRecordWaits)
{
    PostgresServer server;
    Options store;
    Options holder = {"/usr/bin/python3", "-c",
                      "import sqlite3,sys,time; c=sqlite3.connect(sys.argv[1], isolation_level=None); "
                      "c.execute('BEGIN IMMEDIATE'); print('locked', flush=True); time.sleep(60)",
                      Path("data/corvanetov/history.sqlite")};
    if (GetParam()) {
        START_SERVER(server);
        store = {"--history", server.Url()};
        holder = {PostgresServer::BinaryFolder() + "/psql", "-X", server.Url(), "-c", "BEGIN", "-c",
                  "LOCK TABLE service_records", "-c", "SELECT 'locked'", "-c", "SELECT pg_sleep(60)"};
    }
    StartHandset(kSettings);
    Options info = {"info"};
    info.insert(info.end(), store.begin(), store.end());
    auto timed = [&](ChildProcess::Result& result) {
        const auto start = std::chrono::steady_clock::now();
        result = Cli(info);
        return std::chrono::steady_clock::now() - start;
    };
    ChildProcess::Result reference;
    const auto free = timed(reference);
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    ChildProcess hold;
    hold.StartLogged(holder, Environment(), Path("holder.log"));
    for (int i = 0; i < 100 && FileText(Path("holder.log")).find("locked") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_NE(FileText(Path("holder.log")).find("locked"), std::string::npos) << FileText(Path("holder.log"));
    ChildProcess::Result held;
    const auto waited = timed(held);
    // SIGTERM once the result is out, while the record waits for the store:
    // the tool ends at once and the record waits in the outbox.
    ChildProcess ended;
    Options argv = {CORVANETOV_CLI_PATH};
    argv.insert(argv.end(), info.begin(), info.end());
    ended.StartLogged(argv, Environment(), Path("ended.log"));
    for (int i = 0; i < 500 && FileText(Path("ended.log")).find("Hardware version") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(FileText(Path("ended.log")).find("Hardware version"), std::string::npos) << "the result before the record";
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(ended.Pid(), SIGTERM);
    EXPECT_EQ(ended.WaitForExit(std::chrono::seconds(10)), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::milliseconds(1000));
    hold.Stop();
    EXPECT_EQ(held.exitCode, 0) << held.err;
    EXPECT_EQ(held.out, reference.out);
    EXPECT_TRUE(Says(held, "it waits in")) << held.err;
    EXPECT_LT(waited, free + std::chrono::seconds(5)) << "a two-second wait for the store at most";
    EXPECT_EQ(Records({"--history", Path("data/corvanetov/outbox.sqlite")}).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Stores, HeldStore, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

INSTANTIATE_TEST_SUITE_P(Stores, EightAtOnce, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });
