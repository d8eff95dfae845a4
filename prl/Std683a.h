#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvanetov {

// The roaming data files that go to the handset: a preferred roaming list
// (IS-683-A) or an ERI file, one slot per NAM. A read checks the file and
// keeps its bytes for the programming; a refused file leaves the reason in
// Message() for the caller to show.
class Std683a {
public:
    static constexpr int kSlots = 2;
    static constexpr size_t kSlotSize = 8192;
    // Some tools put three bytes ahead of the list itself.
    static constexpr size_t kLeadingBytes = 3;

    static Std683a& Instance();

    Std683a() = default;
    virtual ~Std683a() = default;

    bool ReadPrlFile(const std::string& path, int slot);
    bool ReadEriFile(const std::string& path, int slot);

    uint32_t Size(int slot) const;
    uint32_t PieceCount(int slot) const;
    void SetPieceCount(int slot, uint32_t pieces);
    // False (and nothing copied) when the range lies outside the slot's bytes.
    bool CopyBytes(uint8_t* destination, int slot, size_t offset, size_t count) const;

    // Why the last read was refused, as the user sees it.
    const std::string& Message() const { return m_message; }

private:
    enum class Kind { Prl, Eri };
    bool Read(const std::string& path, int slot, Kind kind);
    // The message of a refused file: the reader's own, then the reason the
    // file could not be read, if there is one.
    bool Refuse(const char* format, const std::string& path, Kind kind, const std::string& reason = {});
    static bool ValidSlot(int slot) { return slot >= 0 && slot < kSlots; }
    // The list's own size, big-endian, in its first two bytes.
    static size_t ListSize(const uint8_t* bytes);

    std::array<uint32_t, kSlots> m_pieces{};
    std::array<uint32_t, kSlots> m_sizes{};
    std::array<std::array<uint8_t, kSlotSize>, kSlots> m_data{};
    std::string m_message;
};

} // namespace corvanetov
