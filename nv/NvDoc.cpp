#include "nv/NvDoc.h"

#include <algorithm>
#include <cstring>

namespace corvanetov {

NvDoc::NvDoc() = default;

NvDoc::~NvDoc() = default;

bool NvDoc::InImage(size_t offset, size_t count)
{
    return offset <= nv::kImageSize && count <= nv::kImageSize - offset;
}

bool NvDoc::Read(size_t offset, uint8_t* destination, size_t count) const
{
    if (!InImage(offset, count))
        return false;
    std::lock_guard lock(m_mutex);
    std::memcpy(destination, m_image.data() + offset, count);
    return true;
}

bool NvDoc::Write(size_t offset, const uint8_t* source, size_t count)
{
    if (!InImage(offset, count))
        return false;
    std::lock_guard lock(m_mutex);
    std::memcpy(m_image.data() + offset, source, count);
    return true;
}

uint16_t NvDoc::ReadU16(size_t offset) const
{
    uint8_t bytes[2] = {};
    Read(offset, bytes, sizeof bytes);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t NvDoc::ReadU32(size_t offset) const
{
    uint8_t bytes[4] = {};
    Read(offset, bytes, sizeof bytes);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool NvDoc::WriteU16(size_t offset, uint16_t value)
{
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    return Write(offset, bytes, sizeof bytes);
}

bool NvDoc::WriteU32(size_t offset, uint32_t value)
{
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return Write(offset, bytes, sizeof bytes);
}

NvDoc::Image NvDoc::Snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_image;
}

size_t NvDoc::Load(const uint8_t* bytes, size_t count)
{
    count = std::min(count, nv::kImageSize);
    Write(0, bytes, count);
    return count;
}

std::string NvDoc::GetText(int which) const
{
    if (which < 0 || which >= nv::kPhoneTextCount)
        return {};
    std::lock_guard lock(m_mutex);
    return m_texts[size_t(which)];
}

void NvDoc::SetText(int which, const std::string& text)
{
    if (which < 0 || which >= nv::kPhoneTextCount)
        return;
    std::lock_guard lock(m_mutex);
    m_texts[size_t(which)] = text;
}

} // namespace corvanetov
