#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvanetov {
class NvDoc;
}

namespace corvanetov::detail {

// Where the NV items that the settings transfers move keep their data in the
// NV document's settings image.
class NvItemData {
public:
    // The data bytes of an NV write of the item: the lock code (length byte
    // and 8 characters), the UIM lock code, or the network-lock SIDs with
    // their first byte cleared. Any other item (408) is written as zeros:
    // no bytes.
    static std::vector<uint8_t> ForWrite(const NvDoc& doc, uint16_t item);
    // Stores the data of an NV read answer at the item's place, as many
    // bytes as the place holds; false, and nothing stored, for an item that
    // has no place.
    static bool StoreRead(NvDoc& doc, uint16_t item, std::span<const uint8_t> data);

private:
    struct Place {
        size_t offset;
        size_t size;
    };
    static std::optional<Place> PlaceOf(uint16_t item);
};

} // namespace corvanetov::detail
