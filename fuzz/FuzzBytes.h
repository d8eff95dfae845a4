#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvanetov {

// The fuzzer's input taken from the front, a piece at a time: choices (a
// byte), then the data they apply to. Past the end every piece is empty and
// every byte is zero, so a short input is still a whole run.
class FuzzBytes {
public:
    FuzzBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_taken >= m_size; }
    size_t Remaining() const { return m_size - m_taken; }

    uint8_t TakeByte() { return Empty() ? 0 : m_data[m_taken++]; }

    uint16_t TakeU16()
    {
        uint16_t low = TakeByte();
        return static_cast<uint16_t>(low | TakeByte() << 8);
    }

    std::vector<uint8_t> Take(size_t count)
    {
        count = std::min(count, Remaining());
        std::vector<uint8_t> piece(m_data + m_taken, m_data + m_taken + count);
        m_taken += count;
        return piece;
    }

    std::vector<uint8_t> TakeRest() { return Take(Remaining()); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_taken = 0;
};

} // namespace corvanetov
