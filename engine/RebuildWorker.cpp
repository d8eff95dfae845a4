#include "engine/RebuildWorker.h"

#include "diag/DiagChannel.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"

namespace corvanetov {

using namespace detail;

// Only an acknowledgement of this very command counts: what an earlier one
// left in the response must not pass for it.
bool RebuildWorker::SendBootCommand(int code, uint32_t timeoutMs, uint32_t pauseMs)
{
    Exchange::Params params{timeoutMs, pauseMs, Exchange::kAnyCommand};
    params.accept = [](const uint8_t* answer) { return answer[0] == diag::kBootAck0 && answer[1] == diag::kBootAck1; };
    return Context().Transact([code](DiagChannel& channel) { channel.SendBootCommand(code); }, params);
}

void RebuildWorker::Run()
{
    // The rebuild names its own steps: no "Init ComPort".
    OperationFrame frame(families::kDownload, OperationFrame::Steps::Quiet);
    frame.Status(engine::kStepRebuilding);
    Context().SetErrorText(engine::kErrPortOpen);
    if (!frame.InitComPort())
        return;
    DiagChannel* channel = Context().Channel();
    if (!channel || !channel->ReopenAt9600(Context().SelectedPort())) {
        frame.Fail();
        return;
    }
    if (!SendBootCommand(diag::kBootCommand1, engine::kBootTimeoutMs, engine::kBootRetryPauseMs)) {
        frame.Fail(engine::kErrAutoTest);
        return;
    }
    if (!frame.Pause(engine::kBetweenBootCommandsMs))
        return;
    if (!SendBootCommand(diag::kBootCommand2, engine::kBootTimeoutMs, engine::kBootRetryPauseMs)) {
        frame.Fail(engine::kErrSuspend);
        frame.Pause(engine::kBetweenBootCommandsMs);
        return;
    }
    if (!frame.Pause(engine::kBetweenBootCommandsMs))
        return;
    // Whether the boot loader takes the last command does not matter.
    SendBootCommand(diag::kBootCommand5, engine::kLastBootTimeoutMs, 0);
    if (frame.Pause(engine::kRebuildSettleMs))
        frame.Complete(engine::kRebuildDone);
}

} // namespace corvanetov
