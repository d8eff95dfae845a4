#include "engine/ConnectionSetup.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "comm/BaseComm.h"
#include "diag/DiagAnswers.h"
#include "diag/DiagConstants.h"
#include "diag/DiagRequests.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "nv/NvConstants.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace {
OperationContext& Context()
{
    return OperationContext::Instance();
}

bool Sleep(uint32_t ms)
{
    return Pacing::Instance().Sleep(ms);
}

bool Stopped()
{
    return Pacing::Instance().StopRequested();
}

// One exchange on the current channel; no channel means no answer.
bool Transact(void (*send)(BaseComm&), const Exchange::Params& params)
{
    BaseComm* channel = Context().Channel();
    if (!channel)
        return false;
    return Context().GetExchange().Transact(*channel, [&] { send(*channel); }, params);
}

const uint8_t* Answer()
{
    return Context().GetExchange().CurrentResponse();
}

// Three decimal digits of a 10-bit MIN group, each digit plus one, 10 as 0.
std::string MinDigits(unsigned value)
{
    std::string digits;
    for (unsigned divisor : {100u, 10u, 1u})
        digits += static_cast<char>('0' + ((value / divisor) % 10 + 1) % 10);
    return digits;
}

char MonthLetter(const std::string& date, bool& known)
{
    static const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::string month;
    for (size_t i = 0; i < 3 && i < date.size(); ++i)
        month += static_cast<char>(std::toupper(static_cast<unsigned char>(date[i])));
    for (int i = 0; i < 12; ++i) {
        if (month == kMonths[i]) {
            known = true;
            return static_cast<char>('A' + i);
        }
    }
    known = false;
    return ' ';
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
    BaseComm& channel = context.ReplaceChannel();
    channel.CreateResponseEvent(0);
    channel.Configure(context.SelectedPort(), engine::kChannelBaud, engine::kChannelByteSize, 0, 0);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    if (!channel.CreateIoEvents())
        return Fail(engine::kErrCannotOpen);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    if (!channel.Open())
        return Fail(engine::kErrCannotOpen);
    if (!Sleep(engine::kInitStepPauseMs))
        return false;
    channel.SetLeadFlag(0);
    return true;
}

bool ConnectionSetup::SwitchToDiagnosticMode()
{
    BaseComm* channel = Context().Channel();
    return channel && DiagRequests::DmSwitchExchange(*channel);
}

bool ConnectionSetup::ConnectAndIdentify()
{
    InitComPort();
    if (!SwitchToDiagnosticMode() && !Stopped()) {
        if (!Transact(&DiagRequests::DmModeRequest, {diag::kDmModeTimeoutMs, diag::kShortPauseMs, -1}))
            Context().SetErrorText(engine::kErrHfMode);
        if (!Stopped())
            InitComPort();
        if (!Stopped())
            SwitchToDiagnosticMode();
    }
    if (!Sleep(engine::kBeforeStatusMs))
        return false;
    InitComPort();
    if (Stopped())
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
    if (DiagAnswers::VersionModelCode(Answer()) != diag::kModelCode)
        return Fail(engine::kErrWrongModel);
    if (NvDoc* doc = Context().NvDocument()) {
        uint8_t byte48 = DiagAnswers::VersionByte48(Answer());
        doc->Write(nv::kVersionByteOffset, &byte48, 1);
    }
    return ReadHardwareVersion();
}

bool ConnectionSetup::ReadHardwareVersion()
{
    auto readItem = [](BaseComm& channel) { DiagRequests::NvReadRequest(channel, diag::kNvItemHardwareVersion); };
    if (!Transact(readItem, {diag::kNvReadTimeoutMs, diag::kShortPauseMs, diag::kCmdNvRead}))
        return Fail(engine::kErrInformation);

    uint8_t hardware[nv::kHardwareVersionSize] = {};
    std::memcpy(hardware, Answer() + diag::kNvDataOffset, nv::kHardwareVersionSize - 1);
    std::string hardwareText(reinterpret_cast<const char*>(hardware));
    Context().SetHardwareVersionText(hardwareText);

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
    FormatMin(DiagAnswers::StatusMin1(answer), DiagAnswers::StatusMin2(answer), phone);
    context.SetPhoneNumberText(phone);
}

bool ConnectionSetup::FormatMin(uint32_t min1, uint16_t min2, std::string& out)
{
    out.clear();
    unsigned first = (min1 >> 14) & 0x3FF;
    unsigned thousands = (min1 >> 10) & 0xF;
    unsigned last = min1 & 0x3FF;
    // No MIN1 at all is a valid, empty number part; otherwise its thousands
    // digit must be 1 to 10.
    bool thousandsValid = min1 == 0 || (thousands >= 1 && thousands <= 10);
    if (!thousandsValid || min2 > 999 || last > 999)
        return false;
    if (min2 != 0)
        out = "(" + MinDigits(min2) + ") ";
    if (min1 != 0)
        out += MinDigits(first) + "-" + static_cast<char>('0' + thousands % 10) + MinDigits(last);
    if (out.size() > static_cast<size_t>(engine::kMinTextLength))
        out.resize(engine::kMinTextLength);
    return true;
}

std::string ConnectionSetup::SoftwareVersion(const std::string& compileDate, const std::string& version, bool& monthKnown)
{
    char month = MonthLetter(compileDate, monthKnown);
    int year = compileDate.size() >= 11 ? std::atoi(compileDate.substr(7, 4).c_str()) : 0;
    char yearLetter = static_cast<char>(year - engine::kYearLetterBase);
    std::string day = compileDate.size() >= 6 ? compileDate.substr(4, 2) : std::string();
    std::string prefix = version.substr(0, version.find('.'));
    return prefix + " " + yearLetter + month + day;
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
    std::string software = SoftwareVersion(DiagAnswers::VersionCompileDate(answer), DiagAnswers::VersionText(answer), monthKnown);
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

void ConnectionSetup::ResetAndDisconnect()
{
    Sleep(engine::kBeforeResetMs);
    if (BaseComm* channel = Context().Channel()) {
        DiagRequests::ModeControlRequest(*channel, diag::kModeReset);
        channel->Disconnect();
    }
}

bool ConnectionSetup::UnlockWithMsl()
{
    auto& context = Context();
    if (context.ToolType() == 0) {
        if (!Transact(&DiagRequests::PasswordRequest, {diag::kUnlockTimeoutMs, diag::kShortPauseMs, -1}) || Answer()[1] == 0)
            return Fail(engine::kErrPassword);
        return true;
    }
    auto sendCode = [](BaseComm& channel) { DiagRequests::SpcRequest(channel, Context().MslCode()); };
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
