// The handset's answers as connection set-up and the NAM read take them in:
// the fuzzer's bytes arrive as one framed answer, and the status, version
// and NV item readers, the phone number and software version formatters and
// the NV document's item store take it from the response copy.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "DeviceFreeChannel.h"
#include "FuzzCheck.h"
#include "diag/DiagAnswers.h"
#include "diag/FrameCodec.h"
#include "engine/ConnectionSetup.h"
#include "engine/EngineConstants.h"
#include "engine/IdentificationText.h"
#include "engine/NvItemData.h"
#include "engine/OperationContext.h"
#include "nv/NvDoc.h"
#include "platform/NamedEventRegistry.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {
// The longest answer whose frame fits the receive buffer however many of its
// bytes need an escape, with its check sequence and closing flag.
constexpr size_t kLongestAnswer = (diag::kReceiveBufferSize - 1) / 2 - 2;

// The answer on the line, received and fetched as the engine fetches it;
// false when the channel did not announce it.
bool Receive(const uint8_t* data, size_t size)
{
    DeviceFreeChannel channel;
    channel.CreateResponseEvent(comm::kResponseEventIndex);
    auto event = NamedEventRegistry::Instance().Open(channel.ResponseEventName());
    event->Reset();
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(data, std::min(size, kLongestAnswer), false, false, frame);
    channel.OnReceive(frame.data(), static_cast<uint32_t>(frame.size()));
    if (!event->IsSet())
        return false;
    OperationContext::Instance().GetExchange().FetchResponse(channel);
    return true;
}

void CheckIdentity(const uint8_t* answer)
{
    auto& context = OperationContext::Instance();
    ConnectionSetup::ParseStatusResponse();
    ConnectionSetup::ParseVersionResponse();
    FuzzCheck(context.PhoneNumberText().size() <= static_cast<size_t>(engine::kMinTextLength), "phone number within its field");
    if (answer[0] == diag::kCmdStatus) {
        char esn[16];
        std::snprintf(esn, sizeof esn, "%X", DiagAnswers::StatusEsn(answer));
        FuzzCheck(context.EsnText() == esn, "ESN shown as the answer gave it");
    }
    std::string phone;
    if (!IdentificationText::FormatMin(DiagAnswers::StatusMin1(answer), DiagAnswers::StatusMin2(answer), phone))
        FuzzCheck(phone.empty(), "an invalid MIN gives no number");
}

void CheckItemStore(const uint8_t* answer, NvDoc& doc)
{
    uint16_t item = DiagAnswers::Read16(answer + 1);
    std::span<const uint8_t> data(answer + diag::kNvDataOffset, diag::kNvDataSize);
    if (NvItemData::StoreRead(doc, item, data))
        NvItemData::ForWrite(doc, item);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NvDoc doc;
    auto& context = OperationContext::Instance();
    context.SetNvDocument(&doc);
    if (!Receive(data, size))
        return 0;
    const uint8_t* answer = context.Answer();
    CheckIdentity(answer);
    CheckItemStore(answer, doc);
    return 0;
}
