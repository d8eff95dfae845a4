// The receive path: bytes from the line, in chunks whose boundaries the
// fuzzer chooses, through the channel's accumulation and decoding in each of
// its receive modes (plain frames, frames with a leading flag, the 9600-baud
// raw mode), and every announced answer fetched as the engine fetches it.
// A fourth choice sends one well-formed answer, split where the fuzzer
// likes, which must arrive whole.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "DeviceFreeChannel.h"
#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "diag/Exchange.h"
#include "diag/FrameCodec.h"
#include "platform/NamedEventRegistry.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
enum Mode : uint8_t { kPlain, kFlagged, kRaw, kSplitAnswer, kModes };

// The channel's own pauses (a reopen) take no time in a run.
constexpr double kNoPauses = 1e-9;
constexpr uint8_t kPort = 1;

// Choices below this are chunks of 1 to 240 bytes, as a USB adapter's
// packets bring them; above, a busy line's reads of up to a whole buffer.
constexpr uint8_t kSmallChunkChoices = 0xF0;
constexpr size_t kLargeChunkStep = comm::kReadChunk / (0x100 - kSmallChunkChoices);

size_t ChunkLength(uint8_t choice)
{
    if (choice < kSmallChunkChoices)
        return choice + 1u;
    return (choice - kSmallChunkChoices + 1u) * kLargeChunkStep;
}

// Whether the answer on top of the response copy is the one that was sent:
// its bytes and its check sequence.
bool SameAnswer(const Exchange& exchange, const std::vector<uint8_t>& sent)
{
    return exchange.CurrentLength() >= sent.size() && std::equal(sent.begin(), sent.end(), exchange.CurrentResponse());
}

// A plain answer (never shorter than a plain frame may be) however the line
// splits it: announced once, whole. A frame with a leading flag is not held
// to this, as its end test also takes a flag followed by one byte for an end.
void CheckSplitAnswer(FuzzBytes& in, DeviceFreeChannel& channel, ManualEvent& event)
{
    std::vector<uint8_t> answer = in.Take(in.TakeByte() + diag::kMinPlainFrame);
    std::vector<uint8_t> line;
    FrameCodec::EncodeFrame(answer.data(), answer.size(), false, false, line);
    std::vector<uint8_t> sent = FrameCodec::Unescape(line.data(), line.size() - 1);
    if (sent.size() < diag::kMinPlainFrame)
        return;
    Exchange exchange;
    int announced = 0;
    for (size_t at = 0; at < line.size();) {
        size_t count = std::min(ChunkLength(in.TakeByte()), line.size() - at);
        channel.OnReceive(line.data() + at, static_cast<uint32_t>(count));
        at += count;
        if (event.IsSet()) {
            event.Reset();
            exchange.FetchResponse(channel);
            ++announced;
        }
    }
    FuzzCheck(announced == 1, "a split answer is announced once");
    FuzzCheck(SameAnswer(exchange, sent), "a split answer arrives whole");
}

void EnterMode(DeviceFreeChannel& channel, uint8_t mode)
{
    if (mode == kFlagged)
        channel.SetLeadingFlagMode(1);
    else if (mode == kRaw)
        channel.ReopenAt9600(kPort);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Pacing::Instance().SetTimeScale(kNoPauses);
    FuzzBytes in(data, size);
    DeviceFreeChannel channel;
    channel.CreateResponseEvent(comm::kResponseEventIndex);
    auto event = NamedEventRegistry::Instance().Open(channel.ResponseEventName());
    event->Reset();
    uint8_t mode = in.TakeByte() % kModes;
    if (mode == kSplitAnswer) {
        CheckSplitAnswer(in, channel, *event);
        return 0;
    }
    EnterMode(channel, mode);

    Exchange exchange;
    while (!in.Empty()) {
        std::vector<uint8_t> chunk = in.Take(ChunkLength(in.TakeByte()));
        channel.OnReceive(chunk.data(), static_cast<uint32_t>(chunk.size()));
        FuzzCheck(channel.ReceivedLength() <= diag::kReceiveBufferSize, "received length within the buffer");
        if (event->IsSet()) {
            event->Reset();
            exchange.FetchResponse(channel);
            FuzzCheck(exchange.CurrentLength() <= Exchange::kCopySize, "answer within the response copy");
        }
    }
    FuzzCheck(channel.AccumulatedText().size() <= diag::kReceiveBufferSize, "accumulation within its buffer");
    return 0;
}
