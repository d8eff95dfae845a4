#include "prl/Std683a.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/InputFile.h"
#include "prl/PrlConstants.h"

namespace corvanetov {

using namespace prl;


Std683a& Std683a::Instance()
{
    static Std683a instance;
    return instance;
}

size_t Std683a::ListSize(const uint8_t* bytes)
{
    return size_t(bytes[0]) << 8 | bytes[1];
}

bool Std683a::Refuse(const char* format, const std::string& path, Kind kind, const std::string& reason)
{
    std::vector<char> text(std::strlen(format) + path.size() + 1);
    std::snprintf(text.data(), text.size(), format, path.c_str());
    m_message = std::string(text.data()) + (reason.empty() ? "" : "\n " + reason) + (kind == Kind::Prl ? kCheckPrl : kCheckEri);
    return false;
}

bool Std683a::ReadPrlFile(const std::string& path, int slot)
{
    return Read(path, slot, Kind::Prl);
}

bool Std683a::ReadEriFile(const std::string& path, int slot)
{
    return Read(path, slot, Kind::Eri);
}

bool Std683a::Read(const std::string& path, int slot, Kind kind)
{
    m_message.clear();
    if (!ValidSlot(slot))
        return Refuse(kFailToRead, path, kind);
    InputFile file(path);
    std::vector<uint8_t> bytes;
    // A list with its three leading bytes may stand one slot and three bytes
    // long; one byte more tells a longer file.
    size_t limit = kSlotSize + (kind == Kind::Prl ? kLeadingBytes : 0);
    if (!file.IsOpen() || !file.ReadStart(limit + 1, bytes))
        return Refuse(kFailToRead, path, kind, file.Error());
    if (bytes.size() > limit)
        return Refuse(kTooLarge, path, kind);
    if (bytes.empty() && kind == Kind::Eri)
        return Refuse(kEmpty, path, kind);
    size_t offset = 0;
    if (kind == Kind::Prl) {
        if (bytes.size() <= kLeadingBytes)
            return Refuse(kInvalidPrl, path, kind);
        if (ListSize(bytes.data()) != bytes.size()) {
            offset = kLeadingBytes;
            if (bytes.size() - offset < 2 || ListSize(bytes.data() + offset) != bytes.size() - offset)
                return Refuse(kNotStandard, path, kind);
        }
    }
    size_t size = bytes.size() - offset;
    if (size > kSlotSize)
        return Refuse(kTooLarge, path, kind);
    std::memcpy(m_data[size_t(slot)].data(), bytes.data() + offset, size);
    m_sizes[size_t(slot)] = uint32_t(size);
    return true;
}

uint32_t Std683a::Size(int slot) const
{
    return ValidSlot(slot) ? m_sizes[size_t(slot)] : 0;
}

uint32_t Std683a::PieceCount(int slot) const
{
    return ValidSlot(slot) ? m_pieces[size_t(slot)] : 0;
}

void Std683a::SetPieceCount(int slot, uint32_t pieces)
{
    if (ValidSlot(slot))
        m_pieces[size_t(slot)] = pieces;
}

bool Std683a::CopyBytes(uint8_t* destination, int slot, size_t offset, size_t count) const
{
    if (!ValidSlot(slot) || offset > m_sizes[size_t(slot)] || count > m_sizes[size_t(slot)] - offset)
        return false;
    std::memcpy(destination, m_data[size_t(slot)].data() + offset, count);
    return true;
}

} // namespace corvanetov
