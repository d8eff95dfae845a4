#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Puts the numbered pieces of a PRL or ERI write back together, one slot per
// file kind and NAM. A piece sent again (its answer was lost, or the tool
// retries) replaces itself instead of being appended twice.
class RoamingAssembler {
public:
    enum class FileKind { Prl = 0, Eri = 1 };

    struct Result {
        uint8_t status = 0;
        bool complete = false; // the last piece arrived: Completed() holds the file
    };

    // request: the whole roaming data write, command byte first.
    Result Accept(FileKind kind, const uint8_t* request, size_t size);
    // The last finished file of a slot (empty until one finished).
    const std::vector<uint8_t>& Completed(FileKind kind, int nam) const;
    // "nam1.prl", "nam2.eri", ...
    static std::string FileName(FileKind kind, int nam);

private:
    struct Slot {
        std::vector<uint8_t> data;
        int lastPiece = -1;
        size_t lastPieceOffset = 0;
        bool complete = false;
        std::vector<uint8_t> completed;
    };

    Slot& SlotOf(FileKind kind, int nam) { return m_slots[static_cast<size_t>(kind) * 2 + static_cast<size_t>(nam)]; }

    std::array<Slot, 4> m_slots;
};
