#include "diag/DiagRequests.h"

#include <cstring>

#include "comm/BaseComm.h"
#include "diag/DiagConstants.h"
#include "platform/Pacing.h"

namespace {
void SendPlain(BaseComm& channel, const uint8_t* bytes, uint16_t count)
{
    channel.SetLeadingFlagMode(0);
    channel.SendFrame(bytes, count);
}

void PutItem(uint8_t* request, uint8_t command, uint16_t item)
{
    request[0] = command;
    request[1] = item & 0xFF;
    request[2] = item >> 8;
}
} // namespace

void DiagRequests::VersionRequest(BaseComm& channel)
{
    const uint8_t request[] = {diag::kCmdVersion};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::StatusRequest(BaseComm& channel)
{
    const uint8_t request[] = {diag::kCmdStatus};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::NvReadRequest(BaseComm& channel, uint16_t item)
{
    uint8_t request[diag::kNvRequestSize] = {};
    PutItem(request, diag::kCmdNvRead, item);
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::NvWriteRequest(BaseComm& channel, uint16_t item, const uint8_t* settingsImage)
{
    uint8_t request[diag::kNvRequestSize] = {};
    PutItem(request, diag::kCmdNvWrite, item);
    uint8_t* data = request + diag::kNvDataOffset;
    switch (item) {
    case diag::kNvItemLockCode:
        std::memcpy(data, settingsImage + diag::kImageLockCodeOffset, diag::kImageLockCodeSize);
        break;
    case diag::kNvItemUimLockCode:
        std::memcpy(data, settingsImage + diag::kImageUimLockOffset, diag::kImageUimLockSize);
        break;
    case diag::kNvItemNetworkLockSids:
        std::memcpy(data, settingsImage + diag::kImageSidsOffset, diag::kImageSidsSize);
        data[0] = 0;
        break;
    default:
        break; // item 408 and anything else: all data zero
    }
    Pacing::Instance().Sleep(diag::kNvWriteLeadPauseMs);
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::ModeControlRequest(BaseComm& channel, uint16_t mode)
{
    const uint8_t request[] = {diag::kCmdModeControl, static_cast<uint8_t>(mode & 0xFF), static_cast<uint8_t>(mode >> 8)};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::SpcRequest(BaseComm& channel, const std::string& mslCode)
{
    uint8_t request[1 + diag::kMslLength] = {diag::kCmdSpc};
    std::memcpy(request + 1, mslCode.data(), std::min(mslCode.size(), diag::kMslLength));
    channel.MaskNextTrace();
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::DmModeRequest(BaseComm& channel)
{
    const uint8_t request[] = {diag::kCmdDmMode};
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::PasswordRequest(BaseComm& channel)
{
    uint8_t request[1 + diag::kPasswordLength] = {diag::kCmdPassword};
    std::memcpy(request + 1, diag::kPassword, diag::kPasswordLength);
    channel.MaskNextTrace();
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::DmSwitchCommand(BaseComm& channel)
{
    channel.SendRaw(reinterpret_cast<const uint8_t*>(diag::kDmSwitchCommand), sizeof diag::kDmSwitchCommand - 1, 0);
}

bool DiagRequests::DmSwitchExchange(BaseComm& channel)
{
    auto& pacing = Pacing::Instance();
    for (int attempt = 0; attempt < diag::kAttempts; ++attempt) {
        DmSwitchCommand(channel);
        if (!pacing.Sleep(diag::kDmSwitchSettleMs))
            return false;
        if (channel.AccumulatedText().find(diag::kDmSwitchAnswer) != std::string::npos)
            return true;
        channel.ClearAccumulation();
        if (!pacing.Sleep(diag::kShortPauseMs))
            return false;
    }
    return false;
}
