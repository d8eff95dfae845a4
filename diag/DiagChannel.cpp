// Encoders on the engine thread; accumulation and decoding on the receive
// thread.
#include "diag/DiagChannel.h"

#include <algorithm>
#include <cstring>

#include "comm/LineTime.h"
#include "comm/TracedBytes.h"
#include "diag/FrameCodec.h"
#include "diag/SecretFrames.h"
#include "platform/Trace.h"

namespace corvanetov {

namespace {
void TraceReceived(const uint8_t* bytes, size_t count)
{
    if (!Trace::Instance().Enabled())
        return;
    const size_t flags = TracedBytes::LeadingFlags(bytes, count);
    const size_t visible = SecretFrames::Visible(bytes + flags, count - flags);
    const std::string line = "\nRX : " + TracedBytes::Format(bytes, count, "%x ", TracedBytes::kNoLimit, visible);
    TRACE("%s", line.c_str());
}
} // namespace

DiagChannel::DiagChannel()
{
    m_largeFrame.reserve(FrameCodec::kLargeFrameCapacity);
}

DiagChannel::~DiagChannel()
{
    // The receive thread calls OnReceive: it must end while this part of the
    // channel still exists.
    Close();
}

void DiagChannel::SendFrame(const uint8_t* bytes, uint16_t count)
{
    std::vector<uint8_t> out;
    FrameCodec::EncodeFrame(bytes, count, m_leadingFlagMode != 0, m_lead7F != 0, out);
    MaskNextTrace(SecretFrames::Visible(bytes, count));
    Send(out.data(), out.size(), false);
}

void DiagChannel::SendLargeFrame(const uint8_t* bytes, uint16_t count)
{
    FrameCodec::EncodeLargeFrame(bytes, count, m_largeFrame);
    Send(m_largeFrame.data(), m_largeFrame.size(), true);
}

void DiagChannel::SendRaw(const uint8_t* bytes, uint16_t count, uint8_t escape)
{
    std::vector<uint8_t> out;
    out.reserve(diag::kRawSendLimit);
    for (uint16_t i = 0; i < count && out.size() < diag::kRawSendLimit; ++i) {
        uint8_t escaped = bytes[i];
        if (escape == 1 && FrameCodec::EscapeByte(escaped, bytes[i])) {
            if (out.size() + 2 > diag::kRawSendLimit)
                break;
            out.push_back(FrameCodec::kEscape);
        }
        out.push_back(escaped);
    }
    Send(out.data(), out.size(), false);
}

void DiagChannel::Send(const uint8_t* bytes, size_t count, bool large)
{
    ForgetResponse();
    m_lastRequestLineTime = LineTime(count, BaudRate());
    if (large)
        WriteLong(bytes, static_cast<uint32_t>(count));
    else
        Write(bytes, static_cast<uint32_t>(count));
}

void DiagChannel::SendBootCommand(int code)
{
    switch (code) {
    case diag::kBootCommand1:
        SendRaw(diag::kBoot1, sizeof diag::kBoot1, 0);
        break;
    case diag::kBootCommand2:
        SendRaw(diag::kBoot2, sizeof diag::kBoot2, 0);
        break;
    case diag::kBootCommand5:
        // Cleared as the command goes out rather than after it: an answer
        // that comes back at once must not be wiped.
        ClearReceiveBuffers();
        SendRaw(diag::kBoot5, sizeof diag::kBoot5, 0);
        break;
    default:
        break; // unknown codes send nothing
    }
}

void DiagChannel::ClearReceiveBuffers()
{
    std::lock_guard lock(m_receiveMutex);
    m_frame.fill(0);
    m_response.fill(0);
    m_accumulation.fill(0);
    m_accumulatedLength = 0;
}

bool DiagChannel::ChunkLooksWhole(const uint8_t* chunk, uint32_t count) const
{
    return count >= 2 && chunk[count - 1] == FrameCodec::kFlag && chunk[count - 2] != FrameCodec::kFlag;
}

void DiagChannel::OnReceive(const uint8_t* chunk, uint32_t count)
{
    if (count == 0)
        return;
    bool signal = false;
    {
        std::lock_guard lock(m_receiveMutex);
        signal = Collect(chunk, count);
    }
    if (signal)
        SignalResponse();
}

bool DiagChannel::Collect(const uint8_t* chunk, uint32_t count)
{
    if (m_accumulatedLength >= diag::kFrameEndLimit || m_accumulatedLength + count > diag::kReceiveBufferSize) {
        // Overlong input: drop the chunk and collect afresh.
        m_accumulation.fill(0);
        m_accumulatedLength = 0;
        return false;
    }
    std::memcpy(&m_accumulation[m_accumulatedLength], chunk, count);
    size_t total = m_accumulatedLength + count;
    // Every flag that has bytes before it ends a frame of its own, so that a
    // stray frame and an answer that come in one read stay two frames; those
    // bytes may have come in earlier reads, as a USB adapter hands a frame
    // over in packets, the last perhaps nothing but the closing flag. A flag
    // with nothing before it (a leading flag) ends nothing.
    bool announce = false;
    size_t begin = 0;
    for (size_t at = m_accumulatedLength; at < total; ++at) {
        if (m_accumulation[at] != FrameCodec::kFlag)
            continue;
        if (at > begin && CompleteFrame(begin, at))
            announce = true;
        begin = at + 1;
    }
    // What follows the last flag begins the next frame.
    std::memmove(m_accumulation.data(), m_accumulation.data() + begin, total - begin);
    std::fill(m_accumulation.begin() + static_cast<std::ptrdiff_t>(total - begin), m_accumulation.end(), 0);
    m_accumulatedLength = static_cast<uint32_t>(total - begin);
    return announce;
}

// The accumulated bytes from begin up to the flag at end, without a lead
// byte in front. Only a frame that passes becomes the response: a dropped
// one leaves the answer before it as it was, taken or not.
bool DiagChannel::CompleteFrame(size_t begin, size_t end)
{
    TraceReceived(&m_accumulation[begin], end + 1 - begin);
    if (m_accumulation[begin] == FrameCodec::kLead)
        ++begin;
    const uint8_t* frame = &m_accumulation[begin];
    uint32_t length = static_cast<uint32_t>(end - begin);
    if (!Deliverable(frame, length))
        return false;
    m_frame.fill(0);
    std::memcpy(m_frame.data(), frame, length);
    m_receivedLength = length;
    if (!RawReceiveMode())
        UnescapeFrame(m_response.data(), length);
    return true;
}

// The 9600-baud raw mode has no check sequence and takes every frame as it
// came. A framed answer must end with the check sequence of its bytes:
// line noise, a handset's own reports and a damaged answer are dropped here
// rather than taken for an answer; the wait for it then ends as for a lost
// one.
bool DiagChannel::Deliverable(const uint8_t* frame, uint32_t length) const
{
    if (RawReceiveMode())
        return true;
    if (m_leadingFlagMode == 0 && length < diag::kMinPlainFrame)
        return false;
    if (FrameCodec::CheckSequenceHolds(frame, length))
        return true;
    TRACE("\nRX : check sequence wrong, frame dropped");
    return false;
}

// Produces count bytes from the frame buffer, unescaping; positions past the
// buffer read as zero. Called with the receive lock held.
void DiagChannel::UnescapeFrame(uint8_t* destination, size_t count) const
{
    auto at = [this](size_t i) -> uint8_t { return i < m_frame.size() ? m_frame[i] : 0; };
    size_t in = 0;
    for (size_t out = 0; out < count; ++out) {
        uint8_t byte = at(in++);
        if (byte == FrameCodec::kEscape)
            byte = at(in++) ^ FrameCodec::kEscapeXor;
        destination[out] = byte;
    }
}

uint32_t DiagChannel::CopyResponse(uint8_t* destination) const
{
    std::lock_guard lock(m_receiveMutex);
    size_t count = std::min<size_t>(m_receivedLength, diag::kResponseCopySize);
    std::memcpy(destination, m_response.data(), count);
    return static_cast<uint32_t>(count);
}

uint32_t DiagChannel::CopyFrame(uint8_t* destination) const
{
    std::lock_guard lock(m_receiveMutex);
    size_t count = std::min<size_t>(m_receivedLength, diag::kResponseCopySize);
    std::memcpy(destination, m_frame.data(), count);
    return static_cast<uint32_t>(count);
}

uint32_t DiagChannel::ReceivedLength() const
{
    std::lock_guard lock(m_receiveMutex);
    return m_receivedLength;
}

std::string DiagChannel::AccumulatedText() const
{
    std::lock_guard lock(m_receiveMutex);
    const char* text = reinterpret_cast<const char*>(m_accumulation.data());
    return std::string(text, strnlen(text, m_accumulation.size()));
}

void DiagChannel::ClearAccumulation()
{
    std::lock_guard lock(m_receiveMutex);
    m_accumulation.fill(0);
    m_accumulatedLength = 0;
}

} // namespace corvanetov
