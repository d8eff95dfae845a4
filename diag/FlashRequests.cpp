#include "diag/FlashRequests.h"

#include <cstring>

#include "diag/DiagChannel.h"
#include "diag/DiagConstants.h"

namespace corvanetov {

namespace {
void SendFlagged(DiagChannel& channel, const uint8_t* bytes, uint16_t count)
{
    channel.SetLeadingFlagMode(1);
    channel.SendLargeFrame(bytes, count);
}

void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A command byte and two 32-bit values.
void SendTwoValues(DiagChannel& channel, uint8_t command, uint32_t first, uint32_t second)
{
    uint8_t request[9] = {command};
    Put32(request + 1, first);
    Put32(request + 5, second);
    SendFlagged(channel, request, sizeof request);
}

void SendCommand(DiagChannel& channel, uint8_t command)
{
    SendFlagged(channel, &command, 1);
}
} // namespace

void FlashRequests::StartRequest(DiagChannel& channel, uint32_t first, uint32_t second)
{
    SendTwoValues(channel, diag::kFlashStart, first, second);
}

void FlashRequests::Start2Request(DiagChannel& channel)
{
    SendCommand(channel, diag::kFlashStart);
}

void FlashRequests::VersionCheckRequest(DiagChannel& channel, uint32_t imageVersion)
{
    uint8_t request[5] = {diag::kFlashVersionCheck};
    Put32(request + 1, imageVersion);
    SendFlagged(channel, request, sizeof request);
}

void FlashRequests::CopyRequest(DiagChannel& channel)
{
    SendCommand(channel, diag::kFlashCopy);
}

void FlashRequests::ModeRequest(DiagChannel& channel)
{
    const uint8_t request[] = {diag::kFlashMode, diag::kFlashModeArgument};
    SendFlagged(channel, request, sizeof request);
}

// The four bytes after the command mean nothing to the loader.
void FlashRequests::JumpRequest(DiagChannel& channel)
{
    const uint8_t request[5] = {diag::kFlashJump};
    SendFlagged(channel, request, sizeof request);
}

void FlashRequests::EraseRequest(DiagChannel& channel, uint32_t start, uint32_t length)
{
    SendTwoValues(channel, diag::kFlashErase, start, length);
}

void FlashRequests::BuildWriteBlock(uint32_t address, const uint8_t* block, uint8_t* request)
{
    request[0] = diag::kFlashWriteBlock;
    Put32(request + 1, address);
    request[5] = diag::kFlashBlockSize & 0xFF;
    request[6] = diag::kFlashBlockSize >> 8;
    std::memcpy(request + diag::kWriteBlockHeaderSize, block, diag::kFlashBlockSize);
}

void FlashRequests::WriteBlockRequest(DiagChannel& channel, uint32_t address, const uint8_t* block)
{
    uint8_t request[diag::kWriteBlockRequestSize];
    BuildWriteBlock(address, block, request);
    SendFlagged(channel, request, sizeof request);
}

void FlashRequests::DownloadModeRequest(DiagChannel& channel)
{
    SendCommand(channel, diag::kCmdDownloadMode);
}

} // namespace corvanetov
