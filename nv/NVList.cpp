#include "nv/NVList.h"

#include "platform/Trace.h"

namespace corvanetov {

NVList::NVList() = default;

NVList::~NVList() = default;

void NVList::Reset()
{
    m_entries.fill(Entry{});
    m_position = -1;
    m_count = 0;
}

bool NVList::Add(uint16_t item, int32_t index)
{
    if (m_count >= nv::kListCapacity)
        return false;
    m_entries[size_t(m_count)] = Entry{item, index};
    ++m_count;
    return true;
}

int32_t NVList::Next()
{
    ++m_position;
    if (m_position < 0) {
        TRACE("INVALID NV_LIST\n");
        return 0;
    }
    if (m_position >= m_count) {
        TRACE("END OF NV_LIST\n");
        m_position = m_count;
        return -1;
    }
    const Entry& entry = m_entries[size_t(m_position)];
    TRACE("NV[%3d] =%3d   Index =%2d\n", m_position, entry.item, entry.index);
    return entry.item;
}

int32_t NVList::Current()
{
    if (m_position < 0)
        return 0;
    if (m_position >= m_count) {
        m_position = -1;
        return -1;
    }
    const Entry& entry = m_entries[size_t(m_position)];
    TRACE("NV[%3d] =%d   LOOP\n", m_position, entry.item);
    return entry.item;
}

int32_t NVList::CurrentIndex() const
{
    if (m_position < 0 || m_position >= m_count)
        return 0;
    return m_entries[size_t(m_position)].index;
}

} // namespace corvanetov
