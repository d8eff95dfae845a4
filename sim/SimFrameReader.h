#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One thing the handset received: a checked frame, an AT command line, a raw
// boot command, or something it throws away.
struct SimInput {
    enum class Kind { Frame, AtCommand, BootCommand, BadCrc, ShortFrame, Overlong };
    Kind kind = Kind::Frame;
    std::vector<uint8_t> bytes; // frame: the request without its check sequence
    std::string text;           // AT command: the line without its terminator
    int bootCode = 0;           // boot command: 1, 2 or 5
};

// Splits the byte stream from the tool the way the handset's port does: a
// frame ends at 0x7E, a leading 0x7E or 0x7F is ignored, the escapes are
// undone and the check sequence must match, else the frame is dropped. AT
// command lines and the boot loader's raw commands need no check sequence.
class SimFrameReader {
public:
    void Feed(const uint8_t* data, size_t count, std::vector<SimInput>& out);
    void Reset();

private:
    void EndSegment(std::vector<SimInput>& out);
    bool IsAtLine() const;

    std::vector<uint8_t> m_segment;
    bool m_overlong = false;    // discarding up to the next flag
    bool m_skipLineFeed = false; // the '\n' after an AT line's '\r'
};
