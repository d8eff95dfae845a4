#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvanetov {

// The byte-level rules of a diagnostic frame: escaping and the encoders behind
// BaseComm::SendFrame and BaseComm::SendLargeFrame.
class FrameCodec {
public:
    static constexpr uint8_t kFlag = 0x7E;
    static constexpr uint8_t kEscape = 0x7D;
    static constexpr uint8_t kLead = 0x7F;
    static constexpr uint8_t kEscapeXor = 0x20;
    static constexpr size_t kLargeFrameCapacity = 20480;
    static constexpr size_t kCheckSequenceSize = 2; // low byte first

    // out = in XOR 0x20 and true for 0x7D, 0x7E and 0x7F; else out = in.
    static bool EscapeByte(uint8_t& out, uint8_t in);

    // Leading 0x7E (flagged), else 0x7F (lead), body and CRC escaped by
    // EscapeByte, closing 0x7E.
    static void EncodeFrame(const uint8_t* request, size_t count, bool flagged, bool lead7F, std::vector<uint8_t>& out);

    // Escapes only 0x7D and 0x7E, never leads, and keeps within the large
    // frame buffer: bytes that no longer fit are dropped and leave the CRC.
    static void EncodeLargeFrame(const uint8_t* request, size_t count, std::vector<uint8_t>& out);

    // EncodeLargeFrame of a request whose frame cannot outgrow the buffer.
    static void EncodeFittingLargeFrame(const uint8_t* request, size_t count, std::vector<uint8_t>& out);

    // Undoes the escaping of a frame body (without flags); a trailing lone
    // escape byte is dropped.
    static std::vector<uint8_t> Unescape(const uint8_t* data, size_t count);

    // Whether a received frame body (escaped, without flags) ends with the
    // check sequence of the bytes before it, and holds at least one of those.
    static bool CheckSequenceHolds(const uint8_t* body, size_t count);
};

} // namespace corvanetov
