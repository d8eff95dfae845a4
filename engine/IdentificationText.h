#pragma once

#include <cstdint>
#include <string>

namespace corvanetov::detail {

// The handset's identity as a person reads it: the phone number from the
// IS-95 MIN fields, the software version from the compile date and the
// version text of the version answer.
class IdentificationText {
public:
    // The MIN as "(AAA) NNN-NNNN"; false (and "") when the MIN is invalid.
    static bool FormatMin(uint32_t min1, uint16_t min2, std::string& out);
    // "%s %c%c%s": version prefix, year letter, month letter, day. monthKnown
    // is false when the month was not recognised.
    static std::string SoftwareVersion(const std::string& compileDate, const std::string& version, bool& monthKnown);
};

} // namespace corvanetov::detail
