#include "comm/DownloadModeNotes.h"

namespace corvanetov {

DownloadModeNotes& DownloadModeNotes::Instance()
{
    static DownloadModeNotes notes;
    return notes;
}

void DownloadModeNotes::SetStore(Load load, Save save)
{
    std::lock_guard lock(m_mutex);
    m_load = std::move(load);
    m_save = std::move(save);
    m_ports.clear();
}

void DownloadModeNotes::Remember(uint8_t port)
{
    std::lock_guard lock(m_mutex);
    if (m_save)
        m_save(port, true);
    else
        m_ports.insert(port);
}

void DownloadModeNotes::Forget(uint8_t port)
{
    std::lock_guard lock(m_mutex);
    if (m_save)
        m_save(port, false);
    else
        m_ports.erase(port);
}

bool DownloadModeNotes::Remembered(uint8_t port) const
{
    std::lock_guard lock(m_mutex);
    return m_load ? m_load(port) : m_ports.count(port) > 0;
}

} // namespace corvanetov
