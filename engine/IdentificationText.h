#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvanetov::detail {

// The handset's identity as a person reads it: the phone number from the
// IS-95 MIN fields, the software version from the compile date and the
// version text of the version answer, the hardware version from its NV item.
// Whatever the handset sent, a text formed here is valid UTF-8 without
// control characters, safe for JSON, a terminal and the grid.
class IdentificationText {
public:
    // The MIN as "(AAA) NNN-NNNN"; false (and "") when the MIN is invalid.
    static bool FormatMin(uint32_t min1, uint16_t min2, std::string& out);
    // "%s %c%c%s": version prefix, year letter, month letter, day. monthKnown
    // is false when the month was not recognised. Only the years 1981 to
    // 2006 and 2013 to 2038 have a letter; any other year gets a blank, as an
    // unknown month does.
    static std::string SoftwareVersion(const std::string& compileDate, const std::string& version, bool& monthKnown);
    // The hardware version item's bytes up to the first zero.
    static std::string HardwareVersion(const uint8_t* bytes, size_t size);
    // text with every byte that is not part of a readable UTF-8 character
    // (a control character, a broken or overlong sequence) replaced by '?'.
    static std::string Readable(std::string_view text);
};

} // namespace corvanetov::detail
