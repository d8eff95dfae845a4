#include "engine/OperationFrame.h"

#include <cstdio>

#include "comm/DownloadModeNotes.h"
#include "diag/DiagRequests.h"
#include "engine/ConnectionSetup.h"
#include "engine/OperationContext.h"
#include "platform/Pacing.h"

namespace corvanetov::detail {

OperationFrame::OperationFrame(const OperationFamily& family, const char* activity, Steps steps)
    : m_family(family), m_activity(activity), m_steps(steps)
{
    Context().AwaitEndOf(&m_family);
}

OperationFrame::~OperationFrame()
{
    ReleasePort();
}

void OperationFrame::Status(const std::string& text) const
{
    Send(m_family.statusKind, text);
}

void OperationFrame::Progress(int32_t percent, int32_t param) const
{
    Context().SendOperationMessage({m_family.number, param, m_family.progressKind, percent, {}});
}

void OperationFrame::TransferProgress(int32_t percent, const Transfer& transfer, int32_t param) const
{
    OperationMessage message{m_family.number, param, m_family.progressKind, percent, {}};
    message.bytesDone = transfer.bytesDone;
    message.bytesTotal = transfer.bytesTotal;
    message.pass = transfer.pass;
    message.passes = transfer.passes;
    Context().SendOperationMessage(message);
}

void OperationFrame::Send(int32_t kind, const std::string& text) const
{
    Context().SendOperationMessage({m_family.number, 0, kind, 0, text});
}

void OperationFrame::Announce(const char* step) const
{
    if (m_steps == Steps::Announced)
        Status(step);
}

bool OperationFrame::Open()
{
    return AskMsl() && InitComPort() && ConnectAndIdentify();
}

bool OperationFrame::AskMsl()
{
    return ClaimHandset() && (Context().ToolType() == 0 || Step(nullptr, &ConnectionSetup::RequestMsl));
}

bool OperationFrame::InitComPort()
{
    if (!ClaimHandset())
        return false;
    m_portTaken = true;
    return Step(engine::kStepInitComPort, &ConnectionSetup::InitComPort);
}

// A handset that an unfinished flash left in download mode answers none of
// the identification's requests: the failure says what it may be, from the
// note alone, without a request to the handset.
bool OperationFrame::ConnectAndIdentify()
{
    if (!ClaimHandset())
        return false;
    m_portTaken = true;
    Announce(engine::kStepDmMode);
    const bool identified = ConnectionSetup::ConnectAndIdentify();
    if (identified)
        ForgetDownloadMode();
    if (identified && SameHandset())
        return true;
    auto& context = Context();
    if (!identified && !Stopped() && NotedInDownloadMode())
        context.SetErrorText(context.ErrorText() + "\n" + engine::kMayWaitInDownloadMode);
    Fail();
    return false;
}

bool OperationFrame::SameHandset()
{
    const std::string esn = Context().EsnText();
    if (m_esn.empty() || esn == m_esn) {
        m_esn = esn;
        return true;
    }
    char text[160];
    std::snprintf(text, sizeof text, engine::kErrAnotherHandset, esn.c_str(), m_esn.c_str());
    Context().SetErrorText(text);
    return false;
}

void OperationFrame::NoteDownloadMode() const
{
    DownloadModeNotes::Instance().Remember(Context().HandsetSlot(), m_esn);
}

void OperationFrame::ForgetDownloadMode() const
{
    DownloadModeNotes::Instance().Forget(Context().HandsetSlot());
}

bool OperationFrame::NotedInDownloadMode() const
{
    return DownloadModeNotes::Instance().Remembered(Context().HandsetSlot());
}

// The slot is found while the handset is there to be found: a handset
// restarting into download mode leaves the bus, its by-id name may change,
// and its device name may go to another handset meanwhile.
bool OperationFrame::ClaimHandset()
{
    if (m_claimed)
        return true;
    Context().SetHandsetSlot(DownloadModeNotes::SlotOf(Context().SelectedPort()));
    if (!m_claim.Take(Context().SelectedPort(), m_activity)) {
        Fail(m_claim.Refusal());
        return false;
    }
    m_claimed = true;
    return true;
}

bool OperationFrame::Unlock()
{
    return Step(nullptr, &ConnectionSetup::UnlockWithMsl);
}

bool OperationFrame::Step(const char* name, bool (*step)())
{
    if (name)
        Announce(name);
    if (step())
        return true;
    Fail();
    return false;
}

bool OperationFrame::GoOffline(uint32_t pauseAfterFailureMs)
{
    Announce(engine::kStepOffline);
    auto offline = [](DiagChannel& channel) { DiagRequests::ModeControlRequest(channel, diag::kModeOffline); };
    if (Context().Transact(offline, {diag::kModeTimeoutMs, diag::kShortPauseMs, diag::kCmdModeControl}))
        return Pause(engine::kAfterOfflineMs);
    if (!Stopped())
        FailWithReset(engine::kErrOffline, pauseAfterFailureMs);
    return false;
}

bool OperationFrame::ResetHandset(int requests, ResetText text)
{
    if (text == ResetText::BeforePause)
        Announce(engine::kStepResetting);
    bool done = ConnectionSetup::ResetHandset(requests, [&] {
        if (text == ResetText::AtFirstRequest)
            Announce(engine::kStepResetting);
    });
    ReleasePort();
    return done;
}

void OperationFrame::FailWithReset(const std::string& text, uint32_t pauseAfterMs)
{
    ResetHandset(1, ResetText::None);
    Fail(text);
    Pause(pauseAfterMs);
}

void OperationFrame::Fail(const std::string& text)
{
    Context().SetErrorText(text);
    End(OperationMessage::Outcome::Failed, text);
}

void OperationFrame::Fail()
{
    End(OperationMessage::Outcome::Failed, Context().ErrorText());
}

void OperationFrame::Complete(const std::string& text)
{
    End(OperationMessage::Outcome::Succeeded, text);
}

void OperationFrame::Complete(int32_t kind, const std::string& text)
{
    EndOn(kind, OperationMessage::Outcome::Succeeded, text);
}

void OperationFrame::End(OperationMessage::Outcome outcome, const std::string& text)
{
    EndOn(m_family.endKind, outcome, text);
}

void OperationFrame::EndOn(int32_t kind, OperationMessage::Outcome outcome, const std::string& text)
{
    ReleasePort();
    Context().SendOperationMessage({m_family.number, 0, kind, 0, text, outcome});
}

bool OperationFrame::Pause(uint32_t ms) const
{
    return Pacing::Instance().Sleep(ms);
}

bool OperationFrame::Stopped()
{
    return Pacing::Instance().StopRequested();
}

// The channel of the last set-up, whichever that was: connection set-up
// replaces the channel several times.
void OperationFrame::ReleasePort()
{
    if (m_portTaken && !m_portReleased) {
        m_portReleased = true;
        if (DiagChannel* channel = Context().Channel()) {
            channel->Close();
            channel->ClearAccumulation();
        }
        m_portHold.Release();
    }
    m_claim.Release();
}

} // namespace corvanetov::detail
