// Wall time of the phone information read at the real time scale, against
// the sum of its fixed pauses: what the tool adds on top of the protocol's
// own waiting. Runs against the simulated handset on an unthrottled line.
#include <chrono>
#include <cstdio>
#include <string>

#include "ChildProcess.h"
#include "comm/PortResolver.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/PhoneInfoRead.h"
#include "engine/ScopedContextPart.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace {
// Three channel set-ups, the look for "OK", the pause before the status
// request and the one before the version request.
constexpr uint32_t kFixedPausesMs =
    3 * 3 * engine::kInitStepPauseMs + diag::kDmSwitchSettleMs + engine::kBeforeStatusMs + engine::kBeforeVersionMs;
} // namespace

int main()
{
    ChildProcess handset;
    std::string path = handset.Start({VQXB410_SIM_PATH}, {"CORVANETOV_TIME_SCALE=1"});
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    Pacing::Instance().SetTimeScale(1.0);
    NvDoc doc;
    OperationRecorder recorder;
    const ScopedNvDocument documentInstalled(&doc);
    const ScopedTarget target(&recorder);
    OperationContext::Instance().SetSelectedPort(1);

    auto start = std::chrono::steady_clock::now();
    PhoneInfoRead::Run();
    double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!recorder.Succeeded()) {
        std::printf("phone information read failed: %s\n", recorder.EndText().c_str());
        return 1;
    }
    std::printf("Phone information read: %.0f ms wall, %u ms of fixed pauses: ratio %.4f (%.2f %% above; budget 2 %%)\n", wall,
                kFixedPausesMs, wall / kFixedPausesMs, (wall / kFixedPausesMs - 1) * 100);
    return 0;
}
