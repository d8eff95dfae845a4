#include "diag/FrameCodec.h"

#include "diag/Crc16X25.h"

namespace corvanetov {

namespace {
// The check sequence goes out low byte first.
uint8_t LowByte(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }
uint8_t HighByte(uint16_t value) { return static_cast<uint8_t>(value >> 8); }

void AppendEscaped(std::vector<uint8_t>& out, uint8_t byte)
{
    uint8_t escaped = 0;
    if (FrameCodec::EscapeByte(escaped, byte)) {
        out.push_back(FrameCodec::kEscape);
        out.push_back(escaped);
    } else {
        out.push_back(byte);
    }
}

// Appends one byte to the large frame, escaped as SendLargeFrame does, while
// the buffer holds room; false when the byte did not fit.
bool AppendLarge(std::vector<uint8_t>& out, uint8_t byte)
{
    constexpr size_t kLimit = FrameCodec::kLargeFrameCapacity - 1;
    if (byte == FrameCodec::kFlag || byte == FrameCodec::kEscape) {
        if (out.size() < kLimit)
            out.push_back(FrameCodec::kEscape);
        if (out.size() >= kLimit)
            return false;
        out.push_back(byte ^ FrameCodec::kEscapeXor);
        return true;
    }
    if (out.size() >= kLimit)
        return false;
    out.push_back(byte);
    return true;
}
} // namespace

bool FrameCodec::EscapeByte(uint8_t& out, uint8_t in)
{
    if (in == kEscape || in == kFlag || in == kLead) {
        out = in ^ kEscapeXor;
        return true;
    }
    out = in;
    return false;
}

void FrameCodec::EncodeFrame(const uint8_t* request, size_t count, bool flagged, bool lead7F, std::vector<uint8_t>& out)
{
    out.clear();
    out.reserve(count * 2 + 6);
    if (flagged)
        out.push_back(kFlag);
    else if (lead7F)
        out.push_back(kLead);
    for (size_t i = 0; i < count; ++i)
        AppendEscaped(out, request[i]);
    uint16_t crc = Crc16X25::Compute(request, count);
    AppendEscaped(out, LowByte(crc));
    AppendEscaped(out, HighByte(crc));
    out.push_back(kFlag);
}

void FrameCodec::EncodeLargeFrame(const uint8_t* request, size_t count, std::vector<uint8_t>& out)
{
    // Every byte escaped, the check sequence too, and the flag: when even
    // that fits, nothing can be dropped, and the frame is built in one pass
    // with the fast CRC.
    if (2 * (count + 2) + 1 < kLargeFrameCapacity) {
        EncodeFittingLargeFrame(request, count, out);
        return;
    }
    out.clear();
    out.reserve(kLargeFrameCapacity);
    uint16_t crc = Crc16X25::kInitial;
    for (size_t i = 0; i < count; ++i) {
        if (AppendLarge(out, request[i]))
            crc = Crc16X25::Update(crc, request[i]);
    }
    crc = static_cast<uint16_t>(~crc);
    if (AppendLarge(out, LowByte(crc)))
        AppendLarge(out, HighByte(crc));
    out.push_back(kFlag);
}

void FrameCodec::EncodeFittingLargeFrame(const uint8_t* request, size_t count, std::vector<uint8_t>& out)
{
    out.resize(2 * (count + 2) + 1);
    uint8_t* at = out.data();
    auto append = [&at](uint8_t byte) {
        if (byte == kFlag || byte == kEscape) {
            *at++ = kEscape;
            byte ^= kEscapeXor;
        }
        *at++ = byte;
    };
    for (size_t i = 0; i < count; ++i)
        append(request[i]);
    uint16_t crc = Crc16X25::Compute(request, count);
    append(LowByte(crc));
    append(HighByte(crc));
    *at++ = kFlag;
    out.resize(static_cast<size_t>(at - out.data()));
}

std::vector<uint8_t> FrameCodec::Unescape(const uint8_t* data, size_t count)
{
    std::vector<uint8_t> out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (data[i] != kEscape) {
            out.push_back(data[i]);
        } else if (i + 1 < count) {
            out.push_back(data[++i] ^ kEscapeXor);
        }
    }
    return out;
}

bool FrameCodec::CheckSequenceHolds(const uint8_t* body, size_t count)
{
    std::vector<uint8_t> bytes = Unescape(body, count);
    if (bytes.size() <= kCheckSequenceSize)
        return false;
    size_t covered = bytes.size() - kCheckSequenceSize;
    uint16_t received = static_cast<uint16_t>(bytes[covered] | bytes[covered + 1] << 8);
    return Crc16X25::Compute(bytes.data(), covered) == received;
}

} // namespace corvanetov
