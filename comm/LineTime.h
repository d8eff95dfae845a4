#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace corvanetov {

// The time bytes take on a serial line at baud, 8N1: a start and a stop bit
// with each byte. Nothing for baud 0, a line whose speed is not known.
inline std::chrono::microseconds LineTime(size_t bytes, uint32_t baud)
{
    constexpr double kBitsPerByte = 10.0;
    if (baud == 0)
        return {};
    return std::chrono::microseconds(static_cast<int64_t>(static_cast<double>(bytes) * kBitsPerByte * 1e6 / baud));
}

} // namespace corvanetov
