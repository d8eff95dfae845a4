#include "engine/ConnectionSetup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag/DiagAnswers.h"
#include "diag/DiagConstants.h"
#include "diag/DiagRequests.h"
#include "engine/EngineConstants.h"
#include "engine/IdentificationText.h"
#include "engine/OperationContext.h"
#include "nv/NvConstants.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace corvanetov::detail {

namespace {
bool Sleep(uint32_t ms)
{
    return Pacing::Instance().Sleep(ms);
}

bool Stopped()
{
    return Pacing::Instance().StopRequested();
}

bool Transact(const std::function<void(DiagChannel&)>& send, const Exchange::Params& params)
{
    return Context().Transact(send, params);
}

const uint8_t* Answer()
{
    return Context().Answer();
}
} // namespace

bool ConnectionSetup::Fail(const char* text)
{
    Context().SetErrorText(text);
    return false;
}

bool ConnectionSetup::InitComPort()
{
    auto& context = Context();
    // A port that was open until now and is gone when reopened is the lost
    // line, not a port some other program holds; a retry after that finding
    // keeps it.
    const DiagChannel* previous = context.Channel();
    const bool wasOpen = (previous && (previous->IsConnected() || previous->LineLost()))
        || context.ErrorText() == engine::kErrLineLost;
    DiagChannel& channel = context.ReplaceChannel();
    channel.CreateResponseEvent(comm::kResponseEventIndex);
    channel.Configure(context.SelectedPort(), comm::kDiagBaud, comm::kByteSize, comm::kOneStopBit, comm::kNoParity);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    if (!channel.CreateIoEvents())
        return Fail(engine::kErrCannotOpen);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    if (!channel.Open())
        return Fail(wasOpen && channel.OpenErrorNumber() == ENOENT ? engine::kErrLineLost : engine::kErrCannotOpen);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    channel.SetLeadFlag(0);
    return true;
}

bool ConnectionSetup::SwitchToDiagnosticMode()
{
    DiagChannel* channel = Context().Channel();
    return channel && DiagRequests::DmSwitchExchange(*channel);
}

bool ConnectionSetup::ConnectAndIdentify()
{
    InitComPort();
    if (!SwitchToDiagnosticMode() && !Stopped()) {
        if (!Transact(&DiagRequests::DmModeRequest, {diag::kDmModeTimeoutMs, diag::kShortPauseMs, Exchange::kAnyCommand}))
            Context().SetErrorText(engine::kErrHfMode);
        if (!Stopped())
            InitComPort();
        if (!Stopped())
            SwitchToDiagnosticMode();
    }
    if (!Sleep(engine::kBeforeStatusMs))
        return false;
    // The status request needs this open: a port that will not open says
    // why ("Cannot Open ComPort!" and the channel's reason), rather than
    // leaving the request to go unanswered.
    if (!InitComPort())
        return false;

    bool statusAnswered = Transact(&DiagRequests::StatusRequest, {diag::kStatusTimeoutMs, diag::kStatusPauseMs, diag::kCmdStatus});
    ParseStatusResponse();
    if (!statusAnswered)
        return Fail(engine::kErrStatus);
    if (!Sleep(engine::kBeforeVersionMs))
        return false;
    if (!Transact(&DiagRequests::VersionRequest, {diag::kVersionTimeoutMs, diag::kShortPauseMs, diag::kCmdVersion}))
        return Fail(engine::kErrInformation);
    ParseVersionResponse();
    if (DiagAnswers::VersionModelCode(Answer()) != nv::kModelCode)
        return Fail(engine::kErrWrongModel);
    if (NvDoc* doc = Context().NvDocument()) {
        uint8_t byte48 = DiagAnswers::VersionByte48(Answer());
        doc->Write(nv::kVersionByteOffset, &byte48, 1);
    }
    return ReadHardwareVersion();
}

bool ConnectionSetup::ReadHardwareVersion()
{
    auto readItem = [](DiagChannel& channel) { DiagRequests::NvReadRequest(channel, nv::kItemHardwareVersion); };
    if (!Transact(readItem, {diag::kNvReadTimeoutMs, diag::kShortPauseMs, diag::kCmdNvRead}))
        return Fail(engine::kErrInformation);

    uint8_t hardware[nv::kHardwareVersionSize] = {};
    std::memcpy(hardware, Answer() + diag::kNvDataOffset, nv::kHardwareVersionSize - 1);
    Context().SetHardwareVersionText(IdentificationText::HardwareVersion(hardware, sizeof hardware));

    char software[64];
    std::snprintf(software, sizeof software, "%9s", Context().SoftwareVersionText().c_str());
    if (NvDoc* doc = Context().NvDocument()) {
        doc->Write(nv::kHardwareVersionOffset, hardware, nv::kHardwareVersionSize);
        doc->Write(nv::kSoftwareVersionOffset, reinterpret_cast<const uint8_t*>(software), nv::kSoftwareVersionSize);
    }
    return true;
}

void ConnectionSetup::ParseStatusResponse()
{
    auto& context = Context();
    const uint8_t* answer = Answer();
    if (answer[0] != diag::kCmdStatus) {
        context.SetEsnText("");
        context.SetPhoneNumberText("");
        return;
    }
    char esn[16];
    std::snprintf(esn, sizeof esn, "%X", DiagAnswers::StatusEsn(answer));
    context.SetEsnText(esn);
    if (NvDoc* doc = context.NvDocument())
        doc->SetText(NvDoc::kEsn, esn);
    std::string phone;
    IdentificationText::FormatMin(DiagAnswers::StatusMin1(answer), DiagAnswers::StatusMin2(answer), phone);
    context.SetPhoneNumberText(phone);
}

void ConnectionSetup::ParseVersionResponse()
{
    auto& context = Context();
    const uint8_t* answer = Answer();
    if (answer[0] != diag::kCmdVersion) {
        if (NvDoc* doc = context.NvDocument()) {
            doc->SetText(NvDoc::kSoftwareVersion, "");
            doc->SetText(NvDoc::kHardwareVersion, "");
        }
        return;
    }
    bool monthKnown = false;
    std::string software =
        IdentificationText::SoftwareVersion(DiagAnswers::VersionCompileDate(answer), DiagAnswers::VersionText(answer), monthKnown);
    if (!monthKnown)
        context.SetErrorText(engine::kErrMonth);
    context.SetSoftwareVersionText(software);
}

bool ConnectionSetup::RequestMsl()
{
    Prompts* prompts = Context().GetPrompts();
    std::string code;
    if (!prompts || !prompts->AskMslCode(code))
        return Fail(engine::kErrMslInput);
    Context().SetMslCode(code.substr(0, diag::kMslLength));
    return true;
}

bool ConnectionSetup::ResetHandset(int requests, const std::function<void()>& announce)
{
    if (!Sleep(engine::kBeforeResetMs))
        return false;
    if (announce)
        announce();
    for (int request = 0; request < requests; ++request) {
        if (request > 0 && !Sleep(engine::kBetweenResetsMs))
            return false;
        if (DiagChannel* channel = Context().Channel())
            DiagRequests::ModeControlRequest(*channel, diag::kModeReset);
    }
    return true;
}

void ConnectionSetup::ResetAndDisconnect()
{
    ResetHandset(1);
    if (DiagChannel* channel = Context().Channel())
        channel->Disconnect();
}

bool ConnectionSetup::UnlockWithMsl()
{
    auto& context = Context();
    if (context.ToolType() == 0) {
        if (!Transact(&DiagRequests::PasswordRequest, {diag::kUnlockTimeoutMs, diag::kShortPauseMs, Exchange::kAnyCommand}) ||
            Answer()[1] == 0)
            return Fail(engine::kErrPassword);
        return true;
    }
    auto sendCode = [](DiagChannel& channel) { DiagRequests::SpcRequest(channel, Context().MslCode()); };
    if (!Transact(sendCode, {diag::kUnlockTimeoutMs, diag::kShortPauseMs, diag::kCmdSpc})) {
        ResetAndDisconnect();
        return Fail(engine::kErrMslRequest);
    }
    if (Answer()[1] == 0) {
        ResetAndDisconnect();
        return Fail(engine::kErrMslInvalid);
    }
    return true;
}

} // namespace corvanetov::detail
