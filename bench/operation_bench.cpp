// The phone information read against the simulated handset at the real time
// scale, on an unthrottled line:
// - its wall time against the sum of its fixed pauses: what the tool adds on
//   top of the protocol's own waiting (budget: 2 % above);
// - a stop in its 3-second pause: the time from the stop request to the port
//   being free, against the budget of 100 ms.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "comm/BaseComm.h"
#include "comm/PortResolver.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr uint8_t kPort = 1;
constexpr double kStopBudgetMs = 100;
// Three channel set-ups, the look for "OK", the pause before the status
// request and the one before the version request.
constexpr uint32_t kFixedPausesMs =
    3 * 3 * engine::kInitStepPauseMs + diag::kDmSwitchSettleMs + engine::kBeforeStatusMs + engine::kBeforeVersionMs;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

bool PortOpens()
{
    BaseComm other;
    other.Configure(kPort, comm::kDiagBaud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
    return other.CreateIoEvents() && other.Open();
}

int MeasureWallTime()
{
    OperationRecorder recorder;
    OperationContext::Instance().SetTarget(&recorder);
    auto start = Clock::now();
    PhoneInfoRead::Run();
    double wall = Milliseconds(Clock::now() - start);
    OperationContext::Instance().SetTarget(nullptr);
    Pacing::Instance().ClearStop(); // the recorder stopped the read at its end report
    if (!recorder.Succeeded()) {
        std::printf("phone information read failed: %s\n", recorder.EndText().c_str());
        return 1;
    }
    std::printf("Phone information read: %.0f ms wall, %u ms of fixed pauses: ratio %.4f (%.2f %% above; budget 2 %%)\n", wall,
                kFixedPausesMs, wall / kFixedPausesMs, (wall / kFixedPausesMs - 1) * 100);
    return 0;
}

int MeasureStop()
{
    std::atomic<Clock::rep> stoppedAt{0};
    auto& pacing = Pacing::Instance();
    pacing.SetObserver([&](Pacing::Pause pause, uint32_t ms) {
        if (pause == Pacing::Pause::Sleep && ms == engine::kBeforeStatusMs && stoppedAt == 0) {
            stoppedAt = Clock::now().time_since_epoch().count();
            Pacing::Instance().RequestStop();
        }
    });
    OperationRecorder recorder;
    OperationContext::Instance().SetTarget(&recorder);
    OperationWorker worker;
    worker.Start(&PhoneInfoRead::Run);
    while (stoppedAt == 0)
        std::this_thread::yield();
    auto giveUp = Clock::now() + std::chrono::seconds(5);
    bool freed = false;
    while (!(freed = PortOpens()) && Clock::now() < giveUp) {
    }
    double freedMs = Milliseconds(Clock::now() - Clock::time_point(Clock::duration(stoppedAt.load())));
    worker.Join();
    pacing.SetObserver(nullptr);
    OperationContext::Instance().SetTarget(nullptr);
    if (!freed) {
        std::printf("the port was still held 5 s after the stop\n");
        return 1;
    }
    std::printf("Stop in the 3-second pause to the port free: %.2f ms: ratio %.3f of the 100 ms budget\n", freedMs,
                freedMs / kStopBudgetMs);
    return 0;
}
} // namespace

int main()
{
    ChildProcess handset;
    std::string path = handset.Start({VQXB410_SIM_PATH}, {"CORVANETOV_TIME_SCALE=1"});
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    Pacing::Instance().SetTimeScale(1.0);
    NvDoc doc;
    auto& context = OperationContext::Instance();
    context.SetNvDocument(&doc);
    context.SetSelectedPort(kPort);
    int status = MeasureWallTime();
    if (status == 0)
        status = MeasureStop();
    context.SetNvDocument(nullptr);
    return status;
}
