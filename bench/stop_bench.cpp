// From the stop request to the port being free for another opener, with the
// worker of the phone information read in its longest pause (the 3 s before
// the status request at the real time scale), against the budget of 100 ms.
// Runs against the simulated handset.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "comm/BaseComm.h"
#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "engine/ContextGuards.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
constexpr double kBudgetMs = 100.0;
constexpr auto kGiveUpAfter = std::chrono::seconds(2);
// The channel set-ups and the look for "OK" take about 1.3 s; the 3-second
// pause follows.
constexpr auto kIntoThePause = std::chrono::milliseconds(2200);

bool OpenAnotherChannel()
{
    BaseComm other;
    other.CreateResponseEvent(1);
    other.Configure(OperationContext::Instance().SelectedPort(), 115200, 8, 0, 0);
    other.CreateIoEvents();
    return other.Open();
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
    auto& context = OperationContext::Instance();
    context.SetSelectedPort(1);

    OperationWorker worker;
    if (!worker.Start(&PhoneInfoRead::Run)) {
        std::printf("no worker thread\n");
        return 1;
    }
    std::this_thread::sleep_for(kIntoThePause);
    auto stoppedAt = std::chrono::steady_clock::now();
    worker.Stop();
    bool freed = false;
    while (!freed && std::chrono::steady_clock::now() - stoppedAt < kGiveUpAfter)
        freed = OpenAnotherChannel();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stoppedAt).count();
    worker.Join();
    context.CloseChannel();
    if (!freed) {
        std::printf("the port was still held %.0f ms after the stop\n", ms);
        return 1;
    }
    std::printf("Stop to port free: %.1f ms (budget %.0f ms): ratio %.3f\n", ms, kBudgetMs, ms / kBudgetMs);
    return 0;
}
