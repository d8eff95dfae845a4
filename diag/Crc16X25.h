#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvanetov {

namespace crc_detail {
constexpr std::array<uint16_t, 256> MakeX25Table()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t value = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ 0x8408) : static_cast<uint16_t>(value >> 1);
        table[i] = value;
    }
    return table;
}
inline constexpr std::array<uint16_t, 256> kX25Table = MakeX25Table();

// Tables for eight bytes a step: entry k gives the CRC of a byte followed by
// k zero bytes.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeX25SliceTables()
{
    std::array<std::array<uint16_t, 256>, 8> tables{};
    tables[0] = MakeX25Table();
    for (size_t k = 1; k < 8; ++k)
        for (unsigned i = 0; i < 256; ++i)
            tables[k][i] = static_cast<uint16_t>((tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF]);
    return tables;
}
inline constexpr auto kX25SliceTables = MakeX25SliceTables();
} // namespace crc_detail

// CRC-16/X-25 (CRC-16/IBM-SDLC): reflected CCITT polynomial 0x8408, initial
// value 0xFFFF, final complement. The frame check sequence of every frame.
class Crc16X25 {
public:
    static constexpr uint16_t kInitial = 0xFFFF;

    static uint16_t Update(uint16_t crc, uint8_t byte) { return (crc >> 8) ^ crc_detail::kX25Table[(crc ^ byte) & 0xFF]; }
    static uint16_t Update(uint16_t crc, const uint8_t* data, size_t count);
    static uint16_t Compute(const uint8_t* data, size_t count) { return ~Update(kInitial, data, count) & 0xFFFF; }
};

} // namespace corvanetov
