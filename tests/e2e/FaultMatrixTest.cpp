// Every operation against the simulated handset under every fault it can
// meet: what the user is told, and what is left behind (the port, the
// threads, the reports, the user's document and files).
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <thread>
#include <unistd.h>

#include "EngineAgainstHandset.h"
#include "samples/ImageMaker.h"
#include "samples/PrlListBytes.h"
#include "ProcessCounts.h"
#include "comm/BaseComm.h"
#include "engine/ContextGuards.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationRecorder.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "engine/RebuildWorker.h"
#include "engine/RoamingProgram.h"
#include "engine/SwDownloadWorker.h"
#include "nv/NVList.h"
#include "nv/SettingsCatalogue.h"
#include "sim/SimConstants.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
using Options = std::vector<std::string>;

constexpr uint8_t kPort = 7; // EngineAgainstHandset's
constexpr uint32_t kFontAddress = 0x2E00000;
constexpr size_t kLockCodeOffset = 39;
constexpr auto kThreadsGone = std::chrono::seconds(10);
constexpr auto kCliEnds = std::chrono::seconds(60);
const char kCode[] = "code.bin";
const char kFont[] = "font.bin";
const char kPrl[] = "list.prl";
const char kEri[] = "eri.bin";

// How a row ends: with the operation's completion text, with its error
// text, or stopped (no end report at all, nothing after the stop).
struct Outcome {
    enum class Kind { Succeeded, Failed, Stopped } kind;
    std::string text;
};
Outcome Done(const std::string& text) { return {Outcome::Kind::Succeeded, text}; }
Outcome Error(const std::string& text) { return {Outcome::Kind::Failed, text}; }
// A flash failing once the handset has switched into download mode says
// where the handset was left.
Outcome ErrorInDownloadMode(const std::string& text) { return Error(text + "\n" + engine::kWaitingInDownloadMode); }
const Outcome kStopped{Outcome::Kind::Stopped, ""};

const Outcome kIdentified = Done(""); // the grid is filled; no end text
const Outcome kStatusError = Error("Error in reading phone's status in DM");
const Outcome kInformationError = Error("Error in getting phone's information");
// The device went with the cable before the set-up's reopen: said as the
// lost line it is, not as a port another program holds.
const Outcome kPortGone = Error("The line to the handset was lost (cable pulled or device gone).");
const Outcome kNamRead = Done("Completed Reading from Phone");
const Outcome kNamReadError = Error("Error in reading NAM");
const Outcome kNamWritten = Done("Completed Writing To Phone");
const Outcome kNamWriteError = Error("Error in writing NAM");
const Outcome kOfflineError = Error("Error in changing mode to OFFLINE");
const Outcome kPasswordError = Error("Password is Invalid!");
// The handset identified again after its restart, running the version the
// simulator reports.
const Outcome kFlashed = Done(std::string("Completed Flash Programming\nNow running ") + sim::kDefaultVersionText);
const Outcome kStartError = Error("RequestStart Error!");
const Outcome kBlockErrorWaiting = ErrorInDownloadMode("Connection or Timeout Error!");
const Outcome kStartErrorWaiting = ErrorInDownloadMode("RequestStart Error!");
const Outcome kEraseErrorWaiting = ErrorInDownloadMode("Erase Error!");
const Outcome kRebuilt = Done("Rebuilding Completed...");
const Outcome kAutoTestError = Error("Error in Auto test");
const Outcome kPrlDone = Done("Completed PRL Programming");
const Outcome kPrlError = Error("Error in writing PRL");
const Outcome kEriDone = Done("Completed ERI Programming");
const Outcome kEriError = Error("Error in writing ERI");

// Where a stop comes: on the nth pause or wait of this length (as the
// system names it, in ms), from the test's thread, while the worker is
// about to begin it.
struct StopPoint {
    Pacing::Pause pause;
    uint32_t ms;
    int nth = 1;
};

enum class Op { Identify, NamRead, NamWrite, Flash0, Flash1, Flash2, Flash3, Flash4, Flash5, Rebuild, Prl, Eri };

struct Row {
    Op op;
    const char* fault;
    Options simOptions;
    Outcome expected;
    std::optional<StopPoint> stop = std::nullopt;
};

const char* OpName(Op op)
{
    static const std::map<Op, const char*> names = {
        {Op::Identify, "Identify"}, {Op::NamRead, "NamRead"}, {Op::NamWrite, "NamWrite"}, {Op::Flash0, "Flash0"},
        {Op::Flash1, "Flash1"},     {Op::Flash2, "Flash2"},   {Op::Flash3, "Flash3"},     {Op::Flash4, "Flash4"},
        {Op::Flash5, "Flash5"},     {Op::Rebuild, "Rebuild"}, {Op::Prl, "Prl"},           {Op::Eri, "Eri"}};
    return names.at(op);
}

int FlashOption(Op op)
{
    return static_cast<int>(op) - static_cast<int>(Op::Flash0);
}

void PrintTo(const Row& row, std::ostream* out)
{
    *out << OpName(row.op) << " / " << row.fault;
}

using P = Pacing::Pause;

// clang-format off
const Row kRows[] = {
    // Identification: the AT switch, the status, the version, item 2045.
    {Op::Identify, "Clean", {}, kIdentified},
    {Op::Identify, "Silent", {"--silent"}, kStatusError},
    {Op::Identify, "StatusDroppedOnce", {"--drop", "status:1"}, kIdentified},
    {Op::Identify, "VersionCorruptedOnce", {"--corrupt", "version:1"}, kIdentified},
    {Op::Identify, "VersionAlwaysCorrupted", {"--corrupt-from", "version:1"}, kInformationError},
    {Op::Identify, "Garbage", {"--garbage", "12"}, kIdentified},
    {Op::Identify, "StatusNakStorm", {"--reject-from", "status:1"}, kStatusError},
    {Op::Identify, "CablePulledAtAt", {"--hangup", "at:1"}, kPortGone},
    {Op::Identify, "CablePulledAtStatus", {"--hangup", "status:1"}, kStatusError},
    {Op::Identify, "CablePulledAtHardwareVersion", {"--hangup", "nvread:1"}, kInformationError},
    {Op::Identify, "StopBeforeStatus", {}, kStopped, StopPoint{P::Sleep, 3000}},
    {Op::Identify, "StopInStatusWait", {"--drop", "status:1"}, kStopped, StopPoint{P::Wait, 2000}},

    // NAM read: identification (its item 2045 is the first NV read),
    // offline, items 82, 2071 and 2073, reset.
    {Op::NamRead, "Clean", {}, kNamRead},
    {Op::NamRead, "Silent", {"--silent"}, kStatusError},
    {Op::NamRead, "OfflineDroppedOnce", {"--drop", "mode:1"}, kNamRead},
    {Op::NamRead, "ItemCorruptedOnce", {"--corrupt", "nvread:3"}, kNamRead},
    {Op::NamRead, "ItemsAlwaysCorrupted", {"--corrupt-from", "nvread:3"}, kNamReadError},
    {Op::NamRead, "Garbage", {"--garbage", "12"}, kNamRead},
    {Op::NamRead, "OfflineNakStorm", {"--reject-from", "mode:1"}, kOfflineError},
    {Op::NamRead, "CablePulledAtOffline", {"--hangup", "mode:1"}, kOfflineError},
    {Op::NamRead, "CablePulledMidList", {"--hangup", "nvread:3"}, kNamReadError},
    {Op::NamRead, "StopAfterOffline", {}, kStopped, StopPoint{P::Sleep, 3000, 2}},
    {Op::NamRead, "StopInItemWait", {"--drop-from", "nvread:4"}, kStopped, StopPoint{P::Wait, 2000, 4}},
    {Op::NamRead, "StopAfterLastItem", {}, kStopped, StopPoint{P::Sleep, 1000}},

    // NAM write: identification, offline, items 82, 2071 and 2073, reset.
    {Op::NamWrite, "Clean", {}, kNamWritten},
    {Op::NamWrite, "Silent", {"--silent"}, kStatusError},
    {Op::NamWrite, "FirstItemDroppedTwice", {"--drop", "nvwrite:2"}, kNamWritten},
    {Op::NamWrite, "ItemsAlwaysCorrupted", {"--corrupt-from", "nvwrite:2"}, kNamWriteError},
    {Op::NamWrite, "Garbage", {"--garbage", "12"}, kNamWritten},
    {Op::NamWrite, "ItemNakStorm", {"--reject-from", "nvwrite:1"}, kNamWriteError},
    {Op::NamWrite, "CablePulledMidList", {"--hangup", "nvwrite:3"}, kNamWriteError},
    {Op::NamWrite, "StopInItemWait", {"--drop-from", "nvwrite:2"}, kStopped, StopPoint{P::Wait, 2000, 2}},

    // Software download from normal operation: identification, download
    // mode, the loader's passes, the jump into the new software.
    {Op::Flash0, "Clean", {}, kFlashed},
    {Op::Flash0, "Silent", {"--silent"}, kStatusError},
    {Op::Flash0, "StartDroppedOnce", {"--drop", "start:1"}, kFlashed},
    {Op::Flash0, "BlockCorruptedOnce", {"--corrupt", "block:2"}, kBlockErrorWaiting},
    {Op::Flash0, "Garbage", {"--garbage", "12"}, kFlashed},
    {Op::Flash0, "BlockNakStorm", {"--nak-from", "2"}, kBlockErrorWaiting},
    {Op::Flash0, "CablePulledAtDownloadMode", {"--hangup", "dload:1"}, kStartErrorWaiting},
    {Op::Flash0, "CablePulledMidBlocks", {"--hangup", "block:3"}, kBlockErrorWaiting},
    {Op::Flash0, "StopInEraseWait", {"--drop-from", "erase:1"}, kStopped, StopPoint{P::Wait, 150000}},
    {Op::Flash0, "StopInBlockWait", {"--drop-from", "block:4"}, kStopped, StopPoint{P::Wait, 3000, 4}},
    {Op::Flash1, "Clean", {}, kFlashed},
    {Op::Flash1, "CablePulledInFontPass", {"--hangup", "block:10"}, kBlockErrorWaiting},
    {Op::Flash1, "StopBeforeReboot", {}, kStopped, StopPoint{P::Sleep, 1000, 3}},
    {Op::Flash2, "Clean", {}, kFlashed},
    {Op::Flash2, "EraseNeverAnswered", {"--drop-from", "erase:1"}, kEraseErrorWaiting},
    {Op::Flash2, "StopInFontBlockWait", {"--drop-from", "block:2"}, kStopped, StopPoint{P::Wait, 3000, 2}},

    // Software download with the handset already in download mode.
    {Op::Flash3, "Clean", {"--emergency"}, kFlashed},
    {Op::Flash3, "Silent", {"--emergency", "--silent"}, kStartError},
    {Op::Flash3, "StartDroppedOnce", {"--emergency", "--drop", "start:1"}, kFlashed},
    {Op::Flash3, "BlockDroppedOnce", {"--emergency", "--drop", "block:1"}, kBlockErrorWaiting},
    {Op::Flash3, "Garbage", {"--emergency", "--garbage", "12"}, kFlashed},
    {Op::Flash3, "BlockNakStorm", {"--emergency", "--nak-from", "0"}, kBlockErrorWaiting},
    {Op::Flash3, "CablePulledAtStart", {"--emergency", "--hangup", "start:1"}, kStartError},
    {Op::Flash3, "CablePulledAtErase", {"--emergency", "--hangup", "erase:1"}, kEraseErrorWaiting},
    {Op::Flash3, "StopInEraseWait", {"--emergency", "--drop-from", "erase:1"}, kStopped, StopPoint{P::Wait, 150000}},
    {Op::Flash4, "Clean", {"--emergency"}, kFlashed},
    {Op::Flash4, "CablePulledInFontPass", {"--emergency", "--hangup", "block:9"}, kBlockErrorWaiting},
    {Op::Flash5, "Clean", {"--emergency"}, kFlashed},
    {Op::Flash5, "BlockNakStorm", {"--emergency", "--nak-from", "1"}, kBlockErrorWaiting},
    {Op::Flash5, "StopInBlockWait", {"--emergency", "--drop-from", "block:1"}, kStopped, StopPoint{P::Wait, 3000}},

    // Rebuild: three boot commands at 9600 baud, then the settle.
    {Op::Rebuild, "Clean", {}, kRebuilt},
    {Op::Rebuild, "Silent", {"--silent"}, kAutoTestError},
    {Op::Rebuild, "FirstCommandDroppedOnce", {"--drop", "boot:1"}, kRebuilt},
    {Op::Rebuild, "FirstCommandCorruptedOnce", {"--corrupt", "boot:1"}, kRebuilt},
    {Op::Rebuild, "Garbage", {"--garbage", "12"}, kRebuilt},
    {Op::Rebuild, "CablePulledAtFirstCommand", {"--hangup", "boot:1"}, kAutoTestError},
    {Op::Rebuild, "StopInSettle", {}, kStopped, StopPoint{P::Sleep, 60000}},

    // PRL and ERI: identification, offline, unlock, the pieces, reset.
    {Op::Prl, "Clean", {}, kPrlDone},
    {Op::Prl, "Silent", {"--silent"}, kStatusError},
    {Op::Prl, "FirstPieceDroppedTwice", {"--drop", "prl:2"}, kPrlDone},
    {Op::Prl, "PieceCorruptedOnce", {"--corrupt", "prl:1"}, kPrlDone},
    {Op::Prl, "PiecesAlwaysCorrupted", {"--corrupt-from", "prl:2"}, kPrlError},
    {Op::Prl, "Garbage", {"--garbage", "12"}, kPrlDone},
    {Op::Prl, "PieceNakStorm", {"--refuse-piece-from", "prl:2"}, kPrlError},
    {Op::Prl, "CablePulledAtUnlock", {"--hangup", "password:1"}, kPasswordError},
    {Op::Prl, "CablePulledMidList", {"--hangup", "prl:2"}, kPrlError},
    {Op::Prl, "StopBeforeFirstPiece", {}, kStopped, StopPoint{P::Sleep, 2000}},
    {Op::Prl, "StopInPieceWait", {"--drop-from", "prl:2"}, kStopped, StopPoint{P::Wait, 3000, 2}},
    {Op::Eri, "Clean", {}, kEriDone},
    {Op::Eri, "Silent", {"--silent"}, kStatusError},
    {Op::Eri, "PieceDroppedOnce", {"--drop", "eri:1"}, kEriDone},
    {Op::Eri, "Garbage", {"--garbage", "12"}, kEriDone},
    {Op::Eri, "PieceNakStorm", {"--refuse-piece-from", "eri:1"}, kEriError},
    {Op::Eri, "CablePulledMidList", {"--hangup", "eri:2"}, kEriError},
    {Op::Eri, "StopInPieceWait", {"--drop-from", "eri:1"}, kStopped, StopPoint{P::Wait, 3000}},
};
// clang-format on

// Descriptors of this process open on the device (a pulled cable may have
// taken the device node with it, so it is looked up by name).
size_t DescriptorsOn(const std::string& device)
{
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += fs::read_symlink(entry.path(), error) == device;
    }
    return count;
}

void Put(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Opening the device exclusively, as another program would: only a port
// that nobody holds opens.
bool OpensExclusively(uint8_t port)
{
    BaseComm other;
    other.CreateResponseEvent(1);
    other.Configure(port, 115200, 8, 0, 0);
    other.CreateIoEvents();
    bool opened = other.Open();
    other.Close();
    return opened;
}
} // namespace

class FaultMatrix : public EngineAgainstHandset, public ::testing::WithParamInterface<Row> {
protected:
    std::string Path(const char* name) const { return m_folder + "/" + name; }

    void SetUp() override
    {
        EngineAgainstHandset::SetUp();
        ASSERT_TRUE(ImageMaker::WriteCode(Path(kCode), 0x9000, ImageMaker::kBootPartSize, ImageMaker::kVersion));
        ASSERT_TRUE(ImageMaker::WriteFont(Path(kFont), 0x2001));
        Put(Path(kPrl), PrlListBytes(250));
        Put(Path(kEri), std::vector<uint8_t>(130, 0x11));
        prompts.fontStartAddress = kFontAddress;
    }

    // The operation's body, as its front end starts it.
    std::function<void()> Body(Op op)
    {
        switch (op) {
        case Op::Identify:
            return &PhoneInfoRead::Run;
        case Op::NamRead:
        case Op::NamWrite: {
            int32_t total = SettingsCatalogue::QueueNamItems(m_items);
            if (op == Op::NamRead)
                return [request = NamTransferRequest{total, &m_items, nullptr, 0}] { NamTransfer::NamReadWorker(request); };
            return [request = NamTransferRequest{total, nullptr, &m_items, 0}] { NamTransfer::NamWriteWorker(request); };
        }
        case Op::Rebuild:
            return &RebuildWorker::Run;
        case Op::Prl:
            return [request = RoamingProgramRequest{RoamingProgramRequest::kNam1Only, Path(kPrl), ""}] {
                RoamingProgram::PrlProgramWorker(request);
            };
        case Op::Eri:
            return [request = RoamingProgramRequest{RoamingProgramRequest::kNam1Only, Path(kEri), ""}] {
                RoamingProgram::EriProgramWorker(request);
            };
        default:
            return [request = SwDownloadRequest{FlashOption(op), Path(kCode), Path(kFont)}] { SwDownloadWorker::Run(request); };
        }
    }

    // The identification writes the handset's identity into every
    // operation's document; the settings in it are the user's. The NAM read
    // is meant to fill them (what it read before a failure stays, as the
    // settings view shows it); every other operation only reads them.
    static bool LeavesDocumentAlone(Op op) { return op != Op::Identify && op != Op::NamRead; }

    // Stops the worker from this thread when it reaches the row's stop point.
    void ArmStop(const StopPoint& point, OperationWorker& worker)
    {
        m_stopSeen = 0;
        Pacing::Instance().SetObserver([this, point](Pacing::Pause pause, uint32_t ms) {
            if (pause != point.pause || ms != point.ms || ++m_stopSeen != point.nth)
                return;
            m_stopReached = true;
            m_atStopPoint.set_value();
            m_stopDone.get_future().wait();
        });
        m_stopper = std::thread([this, &worker] {
            auto reached = m_atStopPoint.get_future();
            reached.wait();
            worker.Stop();
            m_stopRequested = true;
            m_stopDone.set_value();
        });
    }

    NVList m_items;
    std::promise<void> m_atStopPoint;
    std::promise<void> m_stopDone;
    std::thread m_stopper;
    std::atomic<int> m_stopSeen{0};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_stopReached{false};
};

TEST_P(FaultMatrix, EndsAsTheUserIsToldAndLeavesNothingBehind)
{
    const Row& row = GetParam();
    const size_t threadsBefore = ProcessCounts::ThreadsBeforeAll();
    std::vector<std::string> options = row.simOptions;
    options.insert(options.end(), {"--roaming-dir", m_folder, "--flash-out", Path("flash.out"), "--font-out", Path("font.out")});
    Attach(options);
    // The handset by its by-id name, as the port table keeps it: a pulled
    // cable takes the name away, so a reopen cannot reach whatever terminal
    // gets the old device's number next.
    const std::string device = m_devicePath;
    const std::string link = m_folder + "/by-id/" + sim::kDefaultByIdName;
    PortResolver::Instance().Set([link](uint8_t port) { return port == kPort ? link : std::string(); });
    const uint8_t lockCode[] = {4, '1', '3', '5', '7'};
    doc.Write(kLockCodeOffset, lockCode, sizeof lockCode); // the user's own settings in the document
    const SettingsValues before = SettingsCatalogue::Fill(doc);

    // Every report after the end (or after the stop) is a late one.
    std::atomic<int> late{0};
    OperationRecorder recorder(OperationRecorder::OnEnd::StopWorker,
                               [&](const OperationMessage&, OperationFamily::Role role) {
                                   if (m_stopRequested)
                                       ++late;
                                   if (role == OperationFamily::Role::End)
                                       m_stopRequested = true;
                               });
    {
        const ScopedTarget target(&recorder);
        OperationWorker worker;
        if (row.stop)
            ArmStop(*row.stop, worker);
        ASSERT_TRUE(worker.Start(Body(row.op)));
        worker.Join();
        if (m_stopper.joinable()) {
            // A worker that ended without reaching the stop point (its point
            // is wrong, or it failed before) leaves the stopper waiting: the
            // report shows it. An end report alone does not mean the stopper
            // was let go of.
            if (!m_stopReached)
                m_atStopPoint.set_value();
            m_stopper.join();
        }
        Pacing::Instance().SetObserver(nullptr);
    }

    switch (row.expected.kind) {
    case Outcome::Kind::Stopped:
        EXPECT_FALSE(recorder.Finished()) << "a stopped operation has no end report, yet it said: " << recorder.EndText();
        EXPECT_GE(m_stopSeen, row.stop->nth) << "the stop point was never reached";
        break;
    default:
        EXPECT_TRUE(recorder.Finished());
        EXPECT_EQ(row.expected.kind == Outcome::Kind::Succeeded, recorder.Succeeded());
        EXPECT_EQ(row.expected.text, recorder.EndText());
    }
    EXPECT_EQ(0, late) << "reports after the end";
    EXPECT_EQ(0u, DescriptorsOn(device)) << "the port is closed";
    if (fs::exists(link)) {
        EXPECT_TRUE(OpensExclusively(kPort)) << "another program can have the port at once";
    }
    auto deadline = std::chrono::steady_clock::now() + kThreadsGone;
    while (ProcessCounts::Threads() > threadsBefore && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(threadsBefore, ProcessCounts::Threads()) << "no thread of the operation is left";
    if (LeavesDocumentAlone(row.op)) {
        const SettingsValues after = SettingsCatalogue::Fill(doc);
        EXPECT_EQ(before.lockCode, after.lockCode) << "the user's settings are as they were";
        EXPECT_EQ(before.uimLockCode, after.uimLockCode);
        EXPECT_EQ(before.sids, after.sids);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(OpName(info.param.op)) + "_" + info.param.fault; });

namespace {
// The command line under a few of the same faults: its exit status, its
// last words, and the user's files (a settings file, the per-user store).
struct CliRow {
    const char* name;
    Options simOptions;
    Options arguments; // FILE stands for the test's settings file, PRL for its list
    int exitCode;
    const char* ending; // the last lines of its standard error
    const char* operation; // as its service record names it
    // Interrupted with Ctrl-C once the handset has read this many requests
    // of this command (as its log names it); none: runs to its end.
    const char* interruptAfter = nullptr;
    size_t requests = 0;
    // The handset is left in download mode: the store notes it until a
    // flash recovers it.
    bool stranded = false;
};

void PrintTo(const CliRow& row, std::ostream* out)
{
    *out << row.name;
}

const CliRow kCliRows[] = {
    {"InfoFromSilentHandset", {"--silent"}, {"info"}, 1, "Error in reading phone's status in DM", "identify"},
    {"SettingsReadCablePulled", {"--hangup", "nvread:3"}, {"settings", "read", "FILE"}, 1,
     "Error in reading NAM\nThe line to the handset was lost (cable pulled or device gone).", "settings read"},
    {"SettingsWriteCorrupted", {"--corrupt-from", "nvwrite:1"}, {"settings", "write", "FILE"}, 1, "Error in writing NAM", "settings write"},
    {"PrlNeverTaken", {"--refuse-piece-from", "prl:1"}, {"prl", "--nam1", "PRL"}, 1, "Error in writing PRL", "prl"},
    {"FlashNakStorm", {"--emergency", "--nak-from", "0"}, {"flash", "--option", "3", "--code", "CODE"}, 1,
     "Connection or Timeout Error!\nThe handset is waiting in download mode: flash it with an EMERGENCY option to recover it",
     "flash option 3", nullptr, 0, true},
    // Real pauses, so that the interrupt lands in the pause after the AT
    // command; and in the wait for an item that never comes.
    {"InfoInterrupted", {}, {"info", "--time-scale", "1"}, 130, "Stopped.", "identify", "DmSwitchCommand", 1},
    {"SettingsReadInterrupted", {"--drop-from", "nvread:3"}, {"settings", "read", "FILE", "--time-scale", "0.1"}, 130, "Stopped.",
     "settings read", "NvReadRequest", 3},
};

using Files = std::map<std::string, std::vector<uint8_t>>;

Files FilesUnder(const std::string& folder)
{
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[entry.path()] = {std::istreambuf_iterator<char>(in), {}};
        }
    return files;
}

std::string Trimmed(const std::string& text)
{
    return text.substr(0, text.find_last_not_of('\n') + 1);
}
} // namespace

class CliFaults : public E2eFixture, public ::testing::WithParamInterface<CliRow> {
protected:
    std::string Path(const char* name) const { return m_folder + "/" + name; }

    Options Arguments(const Options& given) const
    {
        const std::map<std::string, std::string> files = {{"FILE", Path("user.mmc")}, {"PRL", Path(kPrl)}, {"CODE", Path(kCode)}};
        Options arguments = {CORVANETOV_CLI_PATH};
        for (const std::string& argument : given)
            arguments.push_back(files.count(argument) ? files.at(argument) : argument);
        return arguments;
    }

    // Runs the command, interrupting it where the row says: exit code and
    // everything it wrote.
    ChildProcess::Result Run(const CliRow& row)
    {
        if (!row.interruptAfter)
            return ChildProcess::Run(Arguments(row.arguments), Environment(), kCliEnds);
        ChildProcess cli;
        cli.StartLogged(Arguments(row.arguments), Environment(), Path("cli.log"));
        EXPECT_TRUE(AwaitRequests(row.interruptAfter, row.requests));
        ::kill(cli.Pid(), SIGINT);
        ChildProcess::Result result;
        result.exitCode = cli.WaitForExit(kCliEnds);
        std::ifstream log(Path("cli.log"));
        result.err = {std::istreambuf_iterator<char>(log), {}};
        return result;
    }
};

TEST_P(CliFaults, ExitsWithTheErrorAndKeepsTheUsersFiles)
{
    const CliRow& row = GetParam();
    ASSERT_TRUE(ImageMaker::WriteCode(Path(kCode), 0x9000, ImageMaker::kBootPartSize, ImageMaker::kVersion));
    Put(Path(kPrl), PrlListBytes(250));
    // A settings file the user saved, and the store as the last good run
    // left it (the handset's port has its number).
    StartHandset();
    ASSERT_EQ(0, Cli({"settings", "read", Path("user.mmc")}).exitCode);
    const Files before = FilesUnder(m_folder + "/config");
    const std::vector<uint8_t> settings = ImageMaker::Read(Path("user.mmc"));
    m_handset.Stop();
    fs::remove(m_folder + "/sim.log"); // the requests of the faulted run alone
    StartHandset(row.simOptions);

    const size_t recordsBefore = Records().size();
    ChildProcess::Result result = Run(row);
    EXPECT_EQ(row.exitCode, result.exitCode) << result.err;
    EXPECT_TRUE(EndsWith(Trimmed(result.err), std::string("\n") + row.ending)) << result.err;
    const std::vector<nlohmann::json> records = Records();
    ASSERT_EQ(records.size(), recordsBefore + 1) << "one service record for the run, whatever its end";
    EXPECT_EQ(records[0]["operation"], row.operation);
    EXPECT_EQ(records[0]["result"], row.exitCode == 130 ? "stopped" : "failed");
    EXPECT_EQ(records[0]["exit_status"], row.exitCode);
    EXPECT_TRUE(std::string(row.ending).starts_with(records[0]["end_text"].get<std::string>())) << records[0]["end_text"];
    if (row.stranded) {
        EXPECT_FALSE(before == FilesUnder(m_folder + "/config")) << "the store notes the handset left in download mode";
        m_handset.Stop();
        StartHandset({"--emergency"});
        ChildProcess::Result recovered = ChildProcess::Run(Arguments(row.arguments), Environment(), kCliEnds);
        EXPECT_EQ(0, recovered.exitCode) << recovered.err;
    }
    EXPECT_TRUE(before == FilesUnder(m_folder + "/config")) << "the per-user store is as the last good run left it";
    EXPECT_EQ(settings, ImageMaker::Read(Path("user.mmc"))) << "the settings file is as the user saved it";
    const std::string link = m_folder + "/by-id/" + sim::kDefaultByIdName;
    PortResolver::Instance().Set([link](uint8_t) { return link; });
    if (fs::exists(link)) {
        EXPECT_TRUE(OpensExclusively(kPort)) << "the port is free";
    }
    PortResolver::Instance().Set(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, CliFaults, ::testing::ValuesIn(kCliRows), [](const auto& info) { return info.param.name; });
