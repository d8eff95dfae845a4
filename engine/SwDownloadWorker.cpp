#include "engine/SwDownloadWorker.h"

#include "diag/FlashRequests.h"
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
    OperationFrame frame(families::kDownload);
    DownloadImages images;
    if (!frame.AskMsl() || !frame.InitComPort() || !LoadImages(frame, request, images))
        return;
    if (DownloadOption::Loading(request.option).switchToDownloadMode && !SwitchToDownloadMode(frame))
        return;
    frame.Status(engine::kStepDownloadStart);
    if (!FlashDownload(frame, images, request.option).Run()) {
        frame.Fail();
        return;
    }
    if (!frame.Pause(engine::kAfterFlashingMs))
        return;
    Context().CloseChannel();
    if (frame.Pause(engine::kAfterFlashingClosedMs))
        frame.Complete(engine::kFlashingDone);
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

// The handset restarts into download mode and is let go of meanwhile; the
// flash loader's protocol opens the port afresh.
bool SwDownloadWorker::SwitchToDownloadMode(OperationFrame& frame)
{
    if (!frame.ConnectAndIdentify() || !frame.GoOffline(0))
        return false;
    frame.Status(engine::kStepDownloadMode);
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
