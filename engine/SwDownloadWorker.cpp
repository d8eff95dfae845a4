#include "engine/SwDownloadWorker.h"

#include "comm/CommConstants.h"
#include "diag/FlashRequests.h"
#include "engine/ConnectionSetup.h"
#include "engine/DownloadImages.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/FlashDownload.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"

namespace corvanetov {

using namespace detail;

void SwDownloadWorker::Run(SwDownloadRequest request)
{
    OperationFrame frame(families::kDownload, engine::kActivityFlashing);
    frame.ExpectHandset(request.handsetEsn);
    DownloadImages images;
    if (!frame.AskMsl() || !frame.InitComPort() || !LoadImages(frame, request, images))
        return;
    if (DownloadOption::Loading(request.option).switchToDownloadMode && !SwitchToDownloadMode(frame))
        return;
    frame.Status(engine::kStepDownloadStart);
    if (!FlashDownload(frame, images, request.option).Run()) {
        const bool waiting = frame.NotedInDownloadMode();
        frame.Fail(waiting ? Context().ErrorText() + "\n" + engine::kWaitingInDownloadMode : Context().ErrorText());
        return;
    }
    // The loader's last jump has restarted the handset from its new flash.
    frame.ForgetDownloadMode();
    frame.LetGoWhileRestarting();
    if (!frame.Pause(engine::kAfterFlashingMs))
        return;
    Context().CloseChannel();
    if (frame.Pause(engine::kAfterFlashingClosedMs))
        IdentifyAfterFlash(frame);
}

void SwDownloadWorker::IdentifyAfterFlash(OperationFrame& frame)
{
    frame.Status(engine::kStepIdentifyAfterFlash);
    const bool identified = ConnectionSetup::ConnectAndIdentify();
    if (OperationFrame::Stopped())
        return;
    const std::string done = std::string(engine::kFlashingDone) + "\n";
    if (!identified)
        frame.Fail(done + engine::kErrNotBack + Context().ErrorText());
    else if (!frame.SameHandset())
        frame.Fail(done + Context().ErrorText());
    else
        frame.Complete(done + engine::kNowRunning + Context().ReleaseText());
}

// The code image first: one that does not load ends the download before
// the font question.
bool SwDownloadWorker::LoadImages(OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images)
{
    DownloadOption option = DownloadOption::Loading(request.option);
    if (option.code && !images.LoadCodeImage(request.codePath)) {
        frame.Fail(option.CodeLoadError());
        return false;
    }
    return !option.font || LoadFont(frame, request, images);
}

bool SwDownloadWorker::LoadFont(OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images)
{
    Prompts* prompts = Context().GetPrompts();
    if (!prompts || !prompts->AskFontStartAddress(images.fontStartAddress)) {
        frame.Fail(engine::kErrDownloadCancelled);
        return false;
    }
    if (!images.LoadFontImage(request.fontPath)) {
        frame.Fail(engine::kErrLoadFont);
        return false;
    }
    if (images.FontRunsPastEnd()) {
        frame.Fail(engine::kErrFontPastEnd);
        return false;
    }
    return true;
}

// The handset restarts into download mode and is let go of meanwhile (a
// network link stays held: PortHold); the flash loader's protocol opens the
// port afresh.
bool SwDownloadWorker::SwitchToDownloadMode(OperationFrame& frame)
{
    if (Context().SelectedPort() >= comm::kNetworkPortFirst)
        frame.Status(engine::kNetworkRestartWarning);
    if (!frame.ConnectAndIdentify() || !frame.GoOffline(0))
        return false;
    frame.Status(engine::kStepDownloadMode);
    frame.NoteDownloadMode();
    if (DiagChannel* channel = Context().Channel()) {
        FlashRequests::DownloadModeRequest(*channel);
        Context().GetExchange().WaitResponse(*channel, engine::kDownloadModeTimeoutMs);
    }
    if (!frame.Pause(engine::kAfterDownloadModeMs))
        return false;
    Context().CloseChannel();
    frame.LetGoWhileRestarting();
    return frame.Pause(engine::kDownloadModeRestartMs);
}

} // namespace corvanetov
