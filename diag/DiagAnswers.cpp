#include "diag/DiagAnswers.h"

#include <cstring>

#include "diag/DiagConstants.h"
#include "diag/Exchange.h"

namespace corvanetov {

namespace {
// A text field of the answer, ending at its first zero or at the copy's end.
std::string TextAt(const uint8_t* response, size_t offset, size_t maxLength)
{
    const char* text = reinterpret_cast<const char*>(response + offset);
    return std::string(text, strnlen(text, maxLength));
}
} // namespace

uint16_t DiagAnswers::Read16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t DiagAnswers::Read32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 | static_cast<uint32_t>(bytes[2]) << 16 |
           static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t DiagAnswers::StatusEsn(const uint8_t* response)
{
    return Read32(response + diag::kStatusEsnOffset);
}

uint32_t DiagAnswers::StatusMin1(const uint8_t* response)
{
    return Read32(response + diag::kStatusMin1Offset) & 0xFFFFFF;
}

uint16_t DiagAnswers::StatusMin2(const uint8_t* response)
{
    return Read16(response + diag::kStatusMin2Offset);
}

std::string DiagAnswers::VersionCompileDate(const uint8_t* response)
{
    return TextAt(response, diag::kVersionDateOffset, diag::kVersionDateLength);
}

std::string DiagAnswers::VersionText(const uint8_t* response)
{
    return TextAt(response, diag::kVersionTextOffset, Exchange::kCopySize - diag::kVersionTextOffset);
}

uint8_t DiagAnswers::VersionModelCode(const uint8_t* response)
{
    return response[diag::kVersionModelOffset];
}

uint8_t DiagAnswers::VersionByte48(const uint8_t* response)
{
    return response[diag::kVersionByte48];
}

} // namespace corvanetov
