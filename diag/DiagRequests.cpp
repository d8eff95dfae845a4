#include "diag/DiagRequests.h"

#include <algorithm>
#include <cstring>

#include "diag/DiagChannel.h"
#include "diag/DiagConstants.h"
#include "platform/Pacing.h"

namespace corvanetov {

namespace {
void SendPlain(DiagChannel& channel, const uint8_t* bytes, uint16_t count)
{
    channel.SetLeadingFlagMode(0);
    channel.SendFrame(bytes, count);
}

void PutItem(uint8_t* request, uint8_t command, uint16_t item)
{
    request[0] = command;
    request[1] = static_cast<uint8_t>(item & 0xFF);
    request[2] = static_cast<uint8_t>(item >> 8);
}
} // namespace

void DiagRequests::VersionRequest(DiagChannel& channel)
{
    const uint8_t request[] = {diag::kCmdVersion};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::StatusRequest(DiagChannel& channel)
{
    const uint8_t request[] = {diag::kCmdStatus};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::NvReadRequest(DiagChannel& channel, uint16_t item)
{
    uint8_t request[diag::kNvRequestSize] = {};
    PutItem(request, diag::kCmdNvRead, item);
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::NvWriteRequest(DiagChannel& channel, uint16_t item, std::span<const uint8_t> data)
{
    uint8_t request[diag::kNvRequestSize] = {};
    PutItem(request, diag::kCmdNvWrite, item);
    std::copy_n(data.begin(), std::min(data.size(), diag::kNvDataSize), request + diag::kNvDataOffset);
    Pacing::Instance().Sleep(diag::kNvWriteLeadPauseMs);
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::RoamingDataWriteRequest(DiagChannel& channel, uint8_t command, uint8_t piece, bool more, uint8_t nam,
                                           std::span<const uint8_t> data)
{
    size_t count = std::min(data.size(), diag::kRoamingPieceBytes);
    uint16_t bits = static_cast<uint16_t>(count * 8);
    uint8_t request[diag::kRoamingRequestSize] = {command, piece, static_cast<uint8_t>(more ? 1 : 0), nam,
                                                  static_cast<uint8_t>(bits & 0xFF), static_cast<uint8_t>(bits >> 8)};
    std::copy_n(data.begin(), count, request + diag::kRoamingDataOffset);
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::ModeControlRequest(DiagChannel& channel, uint16_t mode)
{
    const uint8_t request[] = {diag::kCmdModeControl, static_cast<uint8_t>(mode & 0xFF), static_cast<uint8_t>(mode >> 8)};
    SendPlain(channel, request, sizeof request);
}

void DiagRequests::SpcRequest(DiagChannel& channel, const std::string& mslCode)
{
    uint8_t request[1 + diag::kMslLength] = {diag::kCmdSpc};
    std::memcpy(request + 1, mslCode.data(), std::min(mslCode.size(), diag::kMslLength));
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::DmModeRequest(DiagChannel& channel)
{
    const uint8_t request[] = {diag::kCmdDmMode};
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::PasswordRequest(DiagChannel& channel)
{
    uint8_t request[1 + diag::kPasswordLength] = {diag::kCmdPassword};
    std::memcpy(request + 1, diag::kPassword, diag::kPasswordLength);
    channel.SendFrame(request, sizeof request);
}

void DiagRequests::DmSwitchCommand(DiagChannel& channel)
{
    channel.SendRaw(reinterpret_cast<const uint8_t*>(diag::kDmSwitchCommand), sizeof diag::kDmSwitchCommand - 1, 0);
}

bool DiagRequests::DmSwitchExchange(DiagChannel& channel)
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

} // namespace corvanetov
