// The frame side of the serial channel: encoders on the engine thread,
// accumulation and decoding on the receive thread.
#include <algorithm>
#include <cstring>

#include "comm/BaseComm.h"
#include "diag/FrameCodec.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"

namespace {
constexpr size_t kFrameEndLimit = 2048; // accumulated bytes without a frame end
constexpr size_t kResponseCopySize = 2048;

const uint8_t kBoot1[] = {0x7F, 0xAA, 0xDD, 0x7E};
const uint8_t kBoot2[] = {0x7F, 0xAA, 0x1F, 0x00, 0x7E};
const uint8_t kBoot5[] = {0x7F, 0xAA, 0x9A, 0x7E};

void TraceReceived(const uint8_t* bytes, size_t count)
{
    if (!Trace::Instance().Enabled())
        return;
    std::string line = "\nRX : ";
    char item[8];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(item, sizeof item, "%x ", bytes[i]);
        line += item;
    }
    TRACE("%s", line.c_str());
}
} // namespace

bool BaseComm::EscapeByte(uint8_t& out, uint8_t in)
{
    return FrameCodec::EscapeByte(out, in);
}

void BaseComm::SendFrame(const uint8_t* bytes, uint16_t count)
{
    std::vector<uint8_t> out;
    FrameCodec::EncodeFrame(bytes, count, m_leadingFlagMode != 0, m_lead7F != 0, out);
    Write(out.data(), static_cast<uint32_t>(out.size()));
}

void BaseComm::SendLargeFrame(const uint8_t* bytes, uint16_t count)
{
    FrameCodec::EncodeLargeFrame(bytes, count, m_largeFrame);
    WriteLong(m_largeFrame.data(), static_cast<uint32_t>(m_largeFrame.size()));
}

void BaseComm::SendRaw(const uint8_t* bytes, uint16_t count, uint8_t escape)
{
    std::vector<uint8_t> out;
    out.reserve(comm::kRawSendLimit);
    for (uint16_t i = 0; i < count && out.size() < comm::kRawSendLimit; ++i) {
        uint8_t escaped = bytes[i];
        if (escape == 1 && FrameCodec::EscapeByte(escaped, bytes[i])) {
            if (out.size() + 2 > comm::kRawSendLimit)
                break;
            out.push_back(FrameCodec::kEscape);
        }
        out.push_back(escaped);
    }
    Write(out.data(), static_cast<uint32_t>(out.size()));
}

void BaseComm::SendBootCommand(int code)
{
    switch (code) {
    case comm::kBootCommand1:
        SendRaw(kBoot1, sizeof kBoot1, 0);
        break;
    case comm::kBootCommand2:
        SendRaw(kBoot2, sizeof kBoot2, 0);
        break;
    case comm::kBootCommand5:
        SendRaw(kBoot5, sizeof kBoot5, 0);
        ClearReceiveBuffers();
        break;
    default:
        break; // unknown codes send nothing
    }
}

void BaseComm::ClearReceiveBuffers()
{
    std::lock_guard lock(m_receiveMutex);
    m_frame.fill(0);
    m_response.fill(0);
    m_accumulation.fill(0);
    m_accumulatedLength = 0;
}

void BaseComm::OnReceive(const uint8_t* chunk, uint32_t count)
{
    if (count == 0)
        return;
    Pacing::Instance().Delay(comm::kReceivePauseMs);
    bool signal = false;
    {
        std::lock_guard lock(m_receiveMutex);
        if (m_accumulatedLength >= kFrameEndLimit || m_accumulatedLength + count > comm::kBufferSize) {
            // Overlong input: drop the chunk and collect afresh.
            m_accumulation.fill(0);
            m_accumulatedLength = 0;
            return;
        }
        std::memcpy(&m_accumulation[m_accumulatedLength], chunk, count);
        size_t total = m_accumulatedLength + count;
        bool lastIsFlag = m_accumulation[total - 1] == FrameCodec::kFlag;
        bool beforeLastIsFlag = total >= 2 && m_accumulation[total - 2] == FrameCodec::kFlag;
        if (!lastIsFlag && !beforeLastIsFlag) {
            m_accumulatedLength = static_cast<uint32_t>(total);
            return;
        }
        if (count == 1)
            return; // a chunk of one byte never completes a frame

        m_frame.fill(0);
        TraceReceived(m_accumulation.data(), total);
        size_t copied = 0;
        for (size_t i = 0; i < total; ++i) {
            uint8_t byte = m_accumulation[i];
            if (byte == FrameCodec::kFlag || (i == 0 && byte == FrameCodec::kLead))
                continue;
            m_frame[copied++] = byte;
        }
        m_accumulation.fill(0);
        m_accumulatedLength = 0;
        m_receivedLength = static_cast<uint32_t>(copied);

        if (m_receiveBaud == comm::kRawReceiveBaud) {
            signal = true; // raw receive mode: the frame bytes as they came
        } else {
            if (m_leadingFlagMode != 0)
                DecodeFlagged(m_response.data(), static_cast<int32_t>(m_receivedLength));
            else
                DecodePlain(m_response.data(), static_cast<uint16_t>(m_receivedLength));
            signal = m_decodeRejected == 0;
        }
    }
    if (signal)
        SignalResponse();
}

// Produces count bytes from the frame buffer, unescaping; positions past the
// buffer read as zero. Called with the receive lock held.
void BaseComm::UnescapeFrame(uint8_t* destination, size_t count) const
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

void BaseComm::DecodeFlagged(uint8_t* destination, int32_t count)
{
    UnescapeFrame(destination, static_cast<size_t>(std::clamp<int32_t>(count, 0, comm::kBufferSize)));
    m_decodeRejected = 0;
}

void BaseComm::DecodePlain(uint8_t* destination, uint16_t count)
{
    if (count < 4) {
        m_decodeRejected = 1;
        return;
    }
    UnescapeFrame(destination, std::min<size_t>(count, comm::kBufferSize));
    m_decodeRejected = 0;
}

uint32_t BaseComm::CopyResponse(uint8_t* destination)
{
    std::lock_guard lock(m_receiveMutex);
    size_t count = std::min<size_t>(m_receivedLength, kResponseCopySize);
    std::memcpy(destination, m_response.data(), count);
    return static_cast<uint32_t>(count);
}

uint32_t BaseComm::CopyFrame(uint8_t* destination) const
{
    std::lock_guard lock(m_receiveMutex);
    size_t count = std::min<size_t>(m_receivedLength, kResponseCopySize);
    std::memcpy(destination, m_frame.data(), count);
    return static_cast<uint32_t>(count);
}

uint32_t BaseComm::ReceivedLength() const
{
    std::lock_guard lock(m_receiveMutex);
    return m_receivedLength;
}

std::string BaseComm::AccumulatedText() const
{
    std::lock_guard lock(m_receiveMutex);
    const char* text = reinterpret_cast<const char*>(m_accumulation.data());
    return std::string(text, strnlen(text, m_accumulation.size()));
}

void BaseComm::ClearAccumulation()
{
    std::lock_guard lock(m_receiveMutex);
    m_accumulation.fill(0);
    m_accumulatedLength = 0;
}
