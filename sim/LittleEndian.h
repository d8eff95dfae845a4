#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Numbers on the wire are little-endian.
namespace sim {
inline uint16_t Le16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

inline uint32_t Le32(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16
        | static_cast<uint32_t>(at[3]) << 24;
}

inline void PutLe16(std::vector<uint8_t>& out, size_t at, uint16_t value)
{
    out[at] = value & 0xFF;
    out[at + 1] = value >> 8;
}

inline void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
} // namespace sim
