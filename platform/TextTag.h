#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <string>

namespace corvanetov {

// A short name that tells texts apart however long they are (FNV-1a, 16 hex
// digits): the same in every program and every run.
inline std::string TextTag(std::string_view text)
{
    uint64_t hash = 1469598103934665603ULL;
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char tag[17];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(hash));
    return tag;
}

} // namespace corvanetov
