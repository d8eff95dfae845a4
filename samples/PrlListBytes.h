#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvanetov {

// A made-up preferred roaming list of size bytes as a file holds it: its
// first two bytes give its size (big-endian), as the PRL reader checks, the
// rest counts up in steps.
inline std::vector<uint8_t> PrlListBytes(size_t size, uint8_t step = 13)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * step + 1);
    if (size >= 2) {
        bytes[0] = static_cast<uint8_t>(size >> 8);
        bytes[1] = static_cast<uint8_t>(size);
    }
    return bytes;
}

} // namespace corvanetov
