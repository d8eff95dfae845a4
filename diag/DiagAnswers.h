#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// Reads the fields of the answers that connection set-up uses. Every reader
// takes a 2048-byte response copy (bytes past the answer are zero).
class DiagAnswers {
public:
    static uint32_t StatusEsn(const uint8_t* response);
    static uint32_t StatusMin1(const uint8_t* response);
    static uint16_t StatusMin2(const uint8_t* response);
    // Compile date: "Mmm dd yyyy".
    static std::string VersionCompileDate(const uint8_t* response);
    static std::string VersionText(const uint8_t* response);
    static uint8_t VersionModelCode(const uint8_t* response);
    static uint8_t VersionByte48(const uint8_t* response);

    static uint16_t Read16(const uint8_t* bytes);
    static uint32_t Read32(const uint8_t* bytes);
};

} // namespace corvanetov
