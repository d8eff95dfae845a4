#include "engine/NvItemData.h"

#include "nv/NvConstants.h"
#include "nv/NvDoc.h"

namespace {
std::vector<uint8_t> ImageBytes(const NvDoc& doc, size_t offset, size_t count)
{
    std::vector<uint8_t> data(count);
    doc.Read(offset, data.data(), count);
    return data;
}
} // namespace

std::vector<uint8_t> NvItemData::ForWrite(const NvDoc& doc, uint16_t item)
{
    switch (item) {
    case nv::kItemLockCode:
        return ImageBytes(doc, nv::kLockCodeLengthOffset, nv::kLockCodeItemSize);
    case nv::kItemUimLockCode:
        return ImageBytes(doc, nv::kUimLockCodeOffset, nv::kUimLockCodeSize);
    case nv::kItemNetworkLock: {
        auto data = ImageBytes(doc, nv::kNetworkLockOffset, nv::kNetworkLockSize);
        data[0] = 0;
        return data;
    }
    default:
        return {};
    }
}
