// Wall time of the phone operations at the real time scale, against the sum
// of their fixed pauses: what the tool adds on top of the protocol's own
// waiting. Runs against the simulated handset on an unthrottled
// pseudo-terminal, where the line time of an operation's couple of kilobytes
// is a few microseconds: the ratio is taken against the pauses alone.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "ChildProcess.h"
#include "comm/PortResolver.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/PhoneInfoRead.h"
#include "engine/ScopedContextPart.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "platform/Pacing.h"

namespace {
constexpr double kBudgetPercent = 2.0;

// Three channel set-ups, the look for "OK", the pause before the status
// request and the one before the version request.
constexpr uint32_t kConnectPausesMs =
    3 * 3 * engine::kInitStepPauseMs + diag::kDmSwitchSettleMs + engine::kBeforeStatusMs + engine::kBeforeVersionMs;

// Connection, the handset's time after going offline, the pause after each
// item, the two resets and the handset's restart before the success report.
constexpr uint32_t NamPausesMs(uint32_t items, uint32_t perItemMs)
{
    return kConnectPausesMs + engine::kAfterOfflineMs + items * (engine::kAfterNvItemMs + perItemMs) + engine::kBeforeResetMs
        + engine::kBetweenResetsMs + engine::kHandsetRestartMs;
}

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
    Pacing::Instance().ClearStop();
    auto start = std::chrono::steady_clock::now();
    operation.run();
    double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!recorder.Succeeded()) {
        std::printf("%s failed: %s\n", operation.name, recorder.EndText().c_str());
        return false;
    }
    double ratio = wall / operation.fixedPausesMs;
    std::printf("%s: %.0f ms wall, %u ms of fixed pauses: ratio %.4f (%.2f %% above; budget %.0f %%)\n", operation.name, wall,
                operation.fixedPausesMs, ratio, (ratio - 1) * 100, kBudgetPercent);
    return true;
}
} // namespace

int main()
{
    ChildProcess handset;
    std::string path = handset.Start({VQXB410_SIM_PATH}, {"CORVANETOV_TIME_SCALE=1"});
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    Pacing::Instance().SetTimeScale(1.0);
    NvDoc doc;
    const ScopedNvDocument documentInstalled(&doc);
    OperationContext::Instance().SetSelectedPort(1);

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
    };
    int status = 0;
    for (const Operation& operation : operations)
        if (!Measure(operation))
            status = 1;
    return status;
}
