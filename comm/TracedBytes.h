#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvanetov {

// Bytes as the trace shows them, each in a printf format ("%x ", "%02x "),
// at most `limit` of them and "...." after a longer line. A line that
// carries a secret (a code, a lock code) shows its leading flags and the
// first `visible` bytes after them, which say what the line is; every byte
// after those shows as "**", the check sequence too, which would narrow a
// short code down.
class TracedBytes {
public:
    static constexpr size_t kNoLimit = SIZE_MAX;
    static constexpr size_t kAllVisible = SIZE_MAX;

    static std::string Format(const uint8_t* bytes, size_t count, const char* format, size_t limit, size_t visible);
    // How many flags (0x7E, and the lead 0x7F) a line begins with.
    static size_t LeadingFlags(const uint8_t* bytes, size_t count);
};

} // namespace corvanetov
