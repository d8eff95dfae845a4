#include "engine/NvItemData.h"

#include <algorithm>

#include "nv/NvConstants.h"
#include "nv/NvDoc.h"

namespace corvanetov::detail {

std::optional<NvItemData::Place> NvItemData::PlaceOf(uint16_t item)
{
    switch (item) {
    case nv::kItemLockCode: return Place{nv::kLockCodeLengthOffset, nv::kLockCodeItemSize};
    case nv::kItemHardwareVersion: return Place{nv::kHardwareItemOffset, nv::kHardwareItemSize};
    case nv::kItemUimLockCode: return Place{nv::kUimLockCodeOffset, nv::kUimLockCodeSize};
    case nv::kItemNetworkLock: return Place{nv::kNetworkLockOffset, nv::kNetworkLockSize};
    default: return std::nullopt;
    }
}

std::vector<uint8_t> NvItemData::ForWrite(const NvDoc& doc, uint16_t item)
{
    // The hardware version is the handset's own: read, never written.
    auto place = PlaceOf(item);
    if (!place || item == nv::kItemHardwareVersion)
        return {};
    std::vector<uint8_t> data(place->size);
    doc.Read(place->offset, data.data(), data.size());
    if (item == nv::kItemNetworkLock)
        data[0] = 0;
    return data;
}

bool NvItemData::StoreRead(NvDoc& doc, uint16_t item, std::span<const uint8_t> data)
{
    auto place = PlaceOf(item);
    if (!place)
        return false;
    doc.Write(place->offset, data.data(), std::min(place->size, data.size()));
    return true;
}

} // namespace corvanetov::detail
