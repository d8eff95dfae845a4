#include "prl/Std683a.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "prl/PrlConstants.h"

namespace corvanetov {

using namespace prl;

namespace {
// The file's bytes, at most limit of them; false when it cannot be read or
// is no regular file (a named pipe must not hang the tool).
bool ReadAtMost(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& longer)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bytes.assign(limit + 1, 0);
    size_t taken = 0;
    while (ok && taken < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + taken, bytes.size() - taken);
        if (got < 0 && errno == EINTR)
            continue;
        ok = got >= 0;
        if (got <= 0)
            break;
        taken += size_t(got);
    }
    ::close(fd);
    longer = taken > limit;
    bytes.resize(std::min(taken, limit));
    return ok;
}
} // namespace

Std683a& Std683a::Instance()
{
    static Std683a instance;
    return instance;
}

size_t Std683a::ListSize(const uint8_t* bytes)
{
    return size_t(bytes[0]) << 8 | bytes[1];
}

bool Std683a::Refuse(const char* format, const std::string& path, Kind kind)
{
    std::vector<char> text(std::strlen(format) + path.size() + 1);
    std::snprintf(text.data(), text.size(), format, path.c_str());
    m_message = std::string(text.data()) + (kind == Kind::Prl ? kCheckPrl : kCheckEri);
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
    std::vector<uint8_t> bytes;
    bool longer = false;
    // A list with its three leading bytes may stand one slot and three bytes long.
    size_t limit = kSlotSize + (kind == Kind::Prl ? kLeadingBytes : 0);
    if (!ValidSlot(slot) || !ReadAtMost(path, limit, bytes, longer))
        return Refuse(kFailToRead, path, kind);
    if (longer)
        return Refuse(kTooLarge, path, kind);
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
