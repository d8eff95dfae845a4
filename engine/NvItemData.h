#pragma once

#include <cstdint>
#include <vector>

class NvDoc;

// Where the NV items that this module writes keep their data in the NV
// document's settings image.
class NvItemData {
public:
    // The data bytes of an NV write of the item: the lock code (length byte
    // and 8 characters), the UIM lock code, or the network-lock SIDs with
    // their first byte cleared. Any other item (408) is written as zeros:
    // no bytes.
    static std::vector<uint8_t> ForWrite(const NvDoc& doc, uint16_t item);
};
