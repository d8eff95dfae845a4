// Wall time of whole operations at the real time scale, against the sum of
// their fixed pauses and their bytes' time on the line: what the tool adds
// on top of the protocol's own waiting. Runs against the simulated handset
// on a line throttled to 115200 baud, 8N1; the bytes are counted as they
// cross the tool's channel, both ways. A request's line time partly falls
// into the pause after its send (a roaming piece's 200 ms), so an operation
// may come out below the sum; its wall time above the fixed pauses alone is
// printed too.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "comm/PortResolver.h"
#include "diag/DiagChannel.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/PhoneInfoRead.h"
#include "engine/RoamingProgram.h"
#include "engine/ContextGuards.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace fs = std::filesystem;

namespace {
constexpr char kLineRate[] = "115200";
constexpr double kLineBytesPerSecond = 115200 / 10.0; // 8N1: ten bits a byte
constexpr double kBudgetPercent = 2.0;
// A list of ten pieces, written into both NAMs.
constexpr uint32_t kListBytes = 1200;

// Three channel set-ups, the look for "OK", the pause before the status
// request and the one before the version request.
constexpr uint32_t kConnectPausesMs =
    3 * 3 * engine::kInitStepPauseMs + diag::kDmSwitchSettleMs + engine::kBeforeStatusMs + engine::kBeforeVersionMs;
// What every programming operation ends with: the two resets and the
// handset's restart before the success report.
constexpr uint32_t kEndPausesMs = engine::kBeforeResetMs + engine::kBetweenResetsMs + engine::kHandsetRestartMs;

// Connection, the handset's time after going offline, the pause after each
// item, and the end.
constexpr uint32_t NamPausesMs(uint32_t items, uint32_t perItemMs)
{
    return kConnectPausesMs + engine::kAfterOfflineMs + items * (engine::kAfterNvItemMs + perItemMs) + kEndPausesMs;
}

// Connection, the time after going offline, per NAM the pause before the
// first piece and two after each, and the end.
constexpr uint32_t RoamingPausesMs(uint32_t pieces)
{
    constexpr uint32_t perNam = engine::kRoamingBeforeFirstPieceMs;
    constexpr uint32_t perPiece = engine::kRoamingAfterSendMs + engine::kRoamingAfterPieceMs;
    return kConnectPausesMs + engine::kAfterOfflineMs + 2 * (perNam + pieces * perPiece) + kEndPausesMs;
}

std::atomic<uint64_t> g_lineBytes{0};

// The real channel, counting what goes out and what comes in.
class CountingChannel : public DiagChannel {
public:
    bool Write(const uint8_t* bytes, uint32_t count) override
    {
        g_lineBytes += count;
        return DiagChannel::Write(bytes, count);
    }
    bool WriteLong(const uint8_t* bytes, uint32_t count) override
    {
        g_lineBytes += count;
        return DiagChannel::WriteLong(bytes, count);
    }
    void OnReceive(const uint8_t* chunk, uint32_t count) override
    {
        g_lineBytes += count;
        DiagChannel::OnReceive(chunk, count);
    }
};

struct Operation {
    const char* name;
    std::function<void()> run;
    uint32_t fixedPausesMs;
};

// Runs one operation to its end report; false when it failed.
bool Measure(const Operation& operation)
{
    OperationRecorder recorder;
    const ScopedTarget target(&recorder);
    g_lineBytes = 0;
    Pacing::Instance().ClearStop(); // the end report of the one before stopped its worker
    auto start = std::chrono::steady_clock::now();
    operation.run();
    double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!recorder.Succeeded()) {
        std::printf("%s failed: %s\n", operation.name, recorder.EndText().c_str());
        return false;
    }
    double lineMs = static_cast<double>(g_lineBytes) * 1000 / kLineBytesPerSecond;
    double reference = operation.fixedPausesMs + lineMs;
    double above = (wall / reference - 1) * 100;
    double aboveFixed = (wall / operation.fixedPausesMs - 1) * 100;
    std::printf("%s: %.0f ms wall, %u ms of fixed pauses + %.0f ms line time (%llu bytes): ratio %.4f (%.2f %% above; budget "
                "%.0f %%; %.2f %% above the fixed pauses alone)%s\n",
                operation.name, wall, operation.fixedPausesMs, lineMs, static_cast<unsigned long long>(g_lineBytes.load()),
                wall / reference, above, kBudgetPercent, aboveFixed, above > kBudgetPercent ? "  OVER BUDGET" : "");
    return true;
}

std::string PutList(const fs::path& folder)
{
    std::vector<char> list(kListBytes, 0x5A);
    list[0] = static_cast<char>(kListBytes >> 8);
    list[1] = static_cast<char>(kListBytes & 0xFF);
    std::string path = (folder / "bench.prl").string();
    std::ofstream(path, std::ios::binary).write(list.data(), static_cast<std::streamsize>(list.size()));
    return path;
}
} // namespace

int main()
{
    fs::path folder = fs::temp_directory_path() / ("operation-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string list = PutList(folder);
    int status = 0;
    {
        ChildProcess handset;
        std::string path = handset.Start({VQXB410_SIM_PATH, "--line-rate", kLineRate, "--roaming-dir", folder.string()},
                                         {"CORVANETOV_TIME_SCALE=1"});
        PortResolver::Instance().Set([path](uint8_t) { return path; });
        Pacing::Instance().SetTimeScale(1.0);
        NvDoc doc;
        const ScopedNvDocument documentInstalled(&doc);
        auto& context = OperationContext::Instance();
        context.SetChannelFactory([] { return std::make_unique<CountingChannel>(); });
        context.SetSelectedPort(1);

        NVList readList;
        NVList writeList;
        const int32_t items = SettingsCatalogue::QueueNamItems(readList);
        SettingsCatalogue::QueueNamItems(writeList);
        const NamTransferRequest request{items, &readList, &writeList, 0};
        const Operation operations[] = {
            {"Phone information read", &PhoneInfoRead::Run, kConnectPausesMs},
            {"NAM read", [request] { NamTransfer::NamReadWorker(request); }, NamPausesMs(items, 0)},
            // The values just read go back; each write request waits 50 ms before it goes out.
            {"NAM write", [request] { NamTransfer::NamWriteWorker(request); }, NamPausesMs(items, diag::kNvWriteLeadPauseMs)},
            {"PRL programming of both NAMs",
             [&] { RoamingProgram::PrlProgramWorker({RoamingProgramRequest::kBoth, list, list}); },
             RoamingPausesMs(RoamingProgram::PieceCount(kListBytes))},
        };
        for (const Operation& operation : operations)
            if (!Measure(operation))
                status = 1;
        context.SetChannelFactory(nullptr);
    }
    fs::remove_all(folder);
    return status;
}
