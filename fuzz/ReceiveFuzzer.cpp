// The receive path: bytes from the line, in chunks whose boundaries the
// fuzzer chooses, through the channel's accumulation and decoding in each of
// its receive modes (plain frames, frames with a leading flag, the 9600-baud
// raw mode), and every announced answer fetched as the engine fetches it.
// Two more choices send one well-formed answer (plain, or with a leading
// flag), with stray frames before and after it whose check sequence does
// not hold, split where the fuzzer likes: the answer must arrive whole.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "DeviceFreeChannel.h"
#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "diag/Crc16X25.h"
#include "diag/Exchange.h"
#include "diag/FrameCodec.h"
#include "platform/NamedEventRegistry.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
enum Mode : uint8_t { kPlain, kFlagged, kRaw, kSplitAnswer, kSplitFlaggedAnswer, kModes };

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

// A stray frame of the fuzzer's bytes (none, when it says so), escaped, with
// a check sequence that is one off.
std::vector<uint8_t> StrayFrame(FuzzBytes& in)
{
    std::vector<uint8_t> body = in.Take(in.TakeByte() % 16);
    if (body.empty())
        return body;
    uint16_t wrong = Crc16X25::Compute(body.data(), body.size()) ^ 1;
    body.push_back(static_cast<uint8_t>(wrong & 0xFF));
    body.push_back(static_cast<uint8_t>(wrong >> 8));
    std::vector<uint8_t> line;
    for (uint8_t byte : body) {
        uint8_t escaped = 0;
        if (FrameCodec::EscapeByte(escaped, byte))
            line.push_back(FrameCodec::kEscape);
        line.push_back(escaped);
    }
    line.push_back(FrameCodec::kFlag);
    return line;
}

// An answer (never shorter than a plain frame may be) between stray frames,
// however the line splits them: announced once, whole.
void CheckSplitAnswer(FuzzBytes& in, DeviceFreeChannel& channel, ManualEvent& event, bool flagged)
{
    channel.SetLeadingFlagMode(flagged ? 1 : 0);
    std::vector<uint8_t> answer = in.Take(in.TakeByte() + diag::kMinPlainFrame);
    std::vector<uint8_t> frame;
    FrameCodec::EncodeFrame(answer.data(), answer.size(), flagged, false, frame);
    std::vector<uint8_t> sent = FrameCodec::Unescape(frame.data() + (flagged ? 1 : 0), frame.size() - (flagged ? 2 : 1));
    if (sent.size() < diag::kMinPlainFrame)
        return;
    std::vector<uint8_t> line = StrayFrame(in);
    line.insert(line.end(), frame.begin(), frame.end());
    std::vector<uint8_t> after = StrayFrame(in);
    line.insert(line.end(), after.begin(), after.end());
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
    FuzzCheck(announced == 1, "an answer between stray frames is announced once");
    FuzzCheck(SameAnswer(exchange, sent), "an answer between stray frames arrives whole");
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
    if (mode == kSplitAnswer || mode == kSplitFlaggedAnswer) {
        CheckSplitAnswer(in, channel, *event, mode == kSplitFlaggedAnswer);
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
