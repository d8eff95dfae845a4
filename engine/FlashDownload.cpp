#include "engine/FlashDownload.h"

#include <algorithm>
#include <vector>

#include "diag/DiagChannel.h"
#include "diag/DiagConstants.h"
#include "diag/FlashRequests.h"
#include "engine/ConnectionSetup.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/FlashPlan.h"
#include "engine/OperationContext.h"
#include "engine/OperationFrame.h"

namespace corvanetov::detail {

namespace {
const Exchange::Params kAcknowledged{engine::kFlashRequestTimeoutMs, engine::kFlashRetryPauseMs, diag::kFlashAck};

bool AsksForTheBlockAgain(uint8_t answer)
{
    return answer >= diag::kFlashResendFirst && answer <= diag::kFlashResendLast;
}

bool IsCode(const FlashPass& pass)
{
    return pass.part != FlashPass::Part::Font;
}

const char* LoadError(const FlashPass& pass)
{
    return IsCode(pass) ? engine::kErrLoadBin : engine::kErrLoadFont;
}
} // namespace

FlashDownload::FlashDownload(OperationFrame& frame, const DownloadImages& images, int option)
    : m_frame(frame), m_images(images), m_option(option)
{
}

bool FlashDownload::Fail(const char* text)
{
    if (!OperationFrame::Stopped())
        Context().SetErrorText(text);
    return false;
}

bool FlashDownload::Pause(uint32_t ms) const
{
    return m_frame.Pause(ms);
}

// Nothing more goes out once a stop was asked for, even where an answer
// that had already come in ended the last wait.
bool FlashDownload::Request(const std::function<void(DiagChannel&)>& send, const Exchange::Params& params, const char* error)
{
    return !OperationFrame::Stopped() && (Context().Transact(send, params) || Fail(error));
}

bool FlashDownload::Run()
{
    std::optional<DownloadOption> option = DownloadOption::Of(m_option);
    if (!option)
        return Fail(engine::kErrInvalidOption);
    // Neither open is judged here: the reopen is a second chance for a port
    // that was not ready yet, and a port that never opens shows in the
    // first request.
    m_frame.Status(engine::kStepInitComPort);
    ConnectionSetup::InitComPort();
    if (DiagChannel* channel = Context().Channel())
        channel->ReopenAt115200(Context().SelectedPort());

    FlashPlan plan(*option, m_images);
    m_bytesTotal = plan.BlockBytes();
    const std::vector<FlashPass>& passes = plan.Passes();
    m_passes = static_cast<int32_t>(passes.size());
    auto font = std::find_if(passes.begin(), passes.end(), [](const FlashPass& pass) { return !IsCode(pass); });
    for (auto code = passes.begin(); code != font; ++code)
        if (!RunPass(*code))
            return false;
    if (font != passes.begin())
        m_frame.TransferProgress(100, Transferred()); // the code passes are done
    if (font != passes.end() && !RunPass(*font))
        return false;
    return Reboot();
}

bool FlashDownload::RunPass(const FlashPass& pass)
{
    ++m_pass;
    if (!StartLoader(pass))
        return false;
    if (pass.beforeCopyMs && !Pause(pass.beforeCopyMs))
        return false;
    if (!JumpToLoader() || !Erase(pass) || !Pause(engine::kAroundFlashingTextMs))
        return false;
    m_frame.Status(IsCode(pass) ? engine::kCodeFlashing : engine::kFontFlashing);
    if (!Pause(engine::kAroundFlashingTextMs))
        return false;
    if (IsCode(pass))
        m_frame.Status(pass.part == FlashPass::Part::Boot ? engine::kProgrammingBoot : engine::kProgrammingMain);
    ReportBlocks(pass, 0);
    return ProgramBlocks(pass);
}

bool FlashDownload::StartLoader(const FlashPass& pass)
{
    auto start = [&pass](DiagChannel& channel) { FlashRequests::StartRequest(channel, pass.startFirst, pass.startSecond); };
    if (!Request(start, kAcknowledged, engine::kErrRequestStart))
        return HintAtDiagnosticMode();
    // The loader answered: the handset is in download mode until the flash completes.
    m_frame.NoteDownloadMode();
    if (IsCode(pass))
        m_frame.Status(engine::kRequestStartOk);
    if (pass.versionCheck == FlashPass::VersionCheck::None)
        return true;
    Exchange::Params check{engine::kFlashRequestTimeoutMs, engine::kFlashRetryPauseMs, Exchange::kAnyCommand};
    if (pass.versionCheck == FlashPass::VersionCheck::AckOrUnknown)
        check.accept = [](const uint8_t* answer) { return answer[0] == diag::kFlashAck || answer[0] == diag::kFlashVersionUnknown; };
    uint32_t version = m_images.imageVersion;
    auto send = [version](DiagChannel& channel) { FlashRequests::VersionCheckRequest(channel, version); };
    return Request(send, check, engine::kErrRequestVersion);
}

// A handset running normally answers the loader's first start as a
// diagnostic command it does not know: an EMERGENCY option met a handset
// that is not in download mode, and no note of one waiting there holds.
bool FlashDownload::HintAtDiagnosticMode() const
{
    const std::optional<DownloadOption> option = DownloadOption::Of(m_option);
    Exchange& exchange = Context().GetExchange();
    if (m_pass != 1 || !option || option->switchToDownloadMode || OperationFrame::Stopped()
        || exchange.LastWaitResult() != Exchange::kAnswer || exchange.CurrentResponse()[0] != diag::kCmdBadCommand)
        return false;
    m_frame.ForgetDownloadMode();
    Context().SetErrorText(std::string(engine::kErrRequestStart) + "\n" + engine::kNotInDownloadModeHint);
    return false;
}

// Copy and mode start the loader in the handset's memory, the jump runs it,
// and the second start request opens it for the erase and the blocks.
bool FlashDownload::JumpToLoader()
{
    if (!Request(&FlashRequests::CopyRequest, kAcknowledged, engine::kErrRequestCopy))
        return false;
    m_frame.Status(engine::kRequestCopyOk);
    if (!Pause(engine::kFlashStepPauseMs) || !Request(&FlashRequests::ModeRequest, kAcknowledged, engine::kErrRequestMode) ||
        !Pause(engine::kFlashStepPauseMs) || !Request(&FlashRequests::JumpRequest, kAcknowledged, engine::kErrRequestJump))
        return false;
    m_frame.Status(engine::kRequestJumpOk);
    if (!Request(&FlashRequests::Start2Request, kAcknowledged, engine::kErrRequestStart))
        return false;
    m_frame.Status(engine::kRequestStart2Ok);
    return true;
}

bool FlashDownload::Erase(const FlashPass& pass)
{
    if (IsCode(pass))
        m_frame.Status(pass.part == FlashPass::Part::Boot ? engine::kErasingBoot : engine::kErasingMain);
    if (!Pause(engine::kFlashStepPauseMs))
        return false;
    auto erase = [&pass](DiagChannel& channel) { FlashRequests::EraseRequest(channel, pass.start, pass.length); };
    Exchange::Params params{engine::kEraseTimeoutMs, engine::kEraseRetryPauseMs, diag::kFlashAck, engine::kEraseAttempts};
    return Request(erase, params, engine::kErrErase);
}

bool FlashDownload::ProgramBlocks(const FlashPass& pass)
{
    for (uint32_t block = 0; block < pass.blocks; ++block)
        if (!SendBlockUntilTaken(pass, block))
            return false;
    return true;
}

// The loader answers 0xA1 to 0xA3 for a block it wants again; it gets it
// again, up to the limit of sends.
bool FlashDownload::SendBlockUntilTaken(const FlashPass& pass, uint32_t block)
{
    for (int sends = 1;; ++sends) {
        if (OperationFrame::Stopped())
            return false;
        if (!SendWriteBlock(block, pass))
            return Fail(LoadError(pass));
        DiagChannel* channel = Context().Channel();
        if (!channel || Context().GetExchange().WaitResponse(*channel, engine::kBlockTimeoutMs) != Exchange::kAnswer)
            return Fail(engine::kErrBlock);
        uint8_t answer = Context().Answer()[0];
        if (answer == diag::kFlashAck) {
            m_bytesDone += diag::kFlashBlockSize;
            ReportBlocks(pass, block + 1);
            return true;
        }
        if (!AsksForTheBlockAgain(answer) || sends == engine::kMaxBlockSends)
            return Fail(engine::kErrBlock);
        ReportBlocks(pass, block);
    }
}

void FlashDownload::ReportBlocks(const FlashPass& pass, uint32_t taken)
{
    int32_t percent = pass.blocks ? static_cast<int32_t>(static_cast<uint64_t>(taken) * 100 / pass.blocks) : 0;
    m_frame.TransferProgress(percent, Transferred());
}

OperationFrame::Transfer FlashDownload::Transferred() const
{
    return {m_bytesDone, m_bytesTotal, m_pass, m_passes};
}

// Each block is read from the image as it is sent, so no image is ever held whole.
bool FlashDownload::SendWriteBlock(uint32_t k, const FlashPass& pass)
{
    std::vector<uint8_t> block(diag::kFlashBlockSize);
    if (!pass.ReadBlock(k, block.data()))
        return false;
    DiagChannel* channel = Context().Channel();
    if (channel)
        FlashRequests::WriteBlockRequest(*channel, pass.BlockAddress(k), block.data());
    return true;
}

// A jump outside the loader's start-up restarts the handset from its new
// flash; the first acknowledgement lets go of the line.
bool FlashDownload::Reboot()
{
    if (!Pause(engine::kBeforeRebootMs))
        return false;
    m_frame.Status(engine::kRebooting);
    if (!Request(&FlashRequests::JumpRequest, {engine::kRebootTimeoutMs, engine::kRebootRetryPauseMs, diag::kFlashAck},
                 engine::kErrRequestJump))
        return false;
    Context().CloseChannel();
    return true;
}

} // namespace corvanetov::detail
