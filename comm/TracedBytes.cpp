#include "comm/TracedBytes.h"

#include <algorithm>
#include <cstdio>

namespace corvanetov {

namespace {
constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kLead = 0x7F;
constexpr char kHidden[] = "** ";
constexpr char kMore[] = "....";
} // namespace

size_t TracedBytes::LeadingFlags(const uint8_t* bytes, size_t count)
{
    size_t flags = 0;
    while (flags < count && (bytes[flags] == kFlag || bytes[flags] == kLead))
        ++flags;
    return flags;
}

std::string TracedBytes::Format(const uint8_t* bytes, size_t count, const char* format, size_t limit, size_t visible)
{
    const size_t shown = std::min(count, limit);
    const size_t flags = LeadingFlags(bytes, shown);
    const size_t clear = visible == kAllVisible ? shown : std::min(shown, flags + visible);
    std::string line;
    char item[8];
    for (size_t i = 0; i < shown; ++i) {
        if (i < clear) {
            std::snprintf(item, sizeof item, format, bytes[i]);
            line += item;
        } else {
            line += kHidden;
        }
    }
    if (count > limit)
        line += kMore;
    return line;
}

} // namespace corvanetov
