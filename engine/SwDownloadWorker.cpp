#include "engine/SwDownloadWorker.h"

#include "diag/FlashRequests.h"
#include "engine/DownloadImages.h"
#include "engine/EngineConstants.h"
#include "engine/FlashDownload.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"

namespace {
OperationContext& Context()
{
    return OperationContext::Instance();
}

bool CodeOnly(int option)
{
    return option != 1 && option != 2 && option != 4 && option != 5;
}

bool FontOnly(int option)
{
    return option == 2 || option == 5;
}

// Options 0 to 2: the handset still runs its software.
bool InNormalOperation(int option)
{
    return option >= 0 && option <= 2;
}
} // namespace

void SwDownloadWorker::Run(SwDownloadRequest request)
{
    OperationFrame frame(families::kDownload);
    DownloadImages images;
    if (!frame.AskMsl() || !frame.InitComPort() || !LoadImages(frame, request, images))
        return;
    if (InNormalOperation(request.option) && !SwitchToDownloadMode(frame))
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

bool SwDownloadWorker::LoadImages(OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images)
{
    if (FontOnly(request.option))
        return LoadFont(frame, request, images);
    if (CodeOnly(request.option)) {
        if (images.LoadCodeImage(request.codePath))
            return true;
        frame.Fail(engine::kErrLoadBin);
        return false;
    }
    if (!images.LoadCodeImage(request.codePath)) {
        frame.Fail(engine::kErrLoadBinary);
        return false;
    }
    return LoadFont(frame, request, images);
}

bool SwDownloadWorker::LoadFont(OperationFrame& frame, const SwDownloadRequest& request, DownloadImages& images)
{
    Prompts* prompts = Context().GetPrompts();
    if (!prompts || !prompts->AskFontStartAddress(images.fontStartAddress)) {
        frame.Fail(engine::kErrDownloadCancelled);
        return false;
    }
    if (images.LoadFontImage(request.fontPath))
        return true;
    frame.Fail(engine::kErrLoadFont);
    return false;
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
    return frame.Pause(engine::kDownloadModeRestartMs);
}
