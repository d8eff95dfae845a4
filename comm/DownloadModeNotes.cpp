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
    // Every pass of a download notes the handset again, between two of the
    // loader's requests: a store that has the note already is not written
    // (a write waits for the disk, and eight tools flashing at once wait in
    // turn).
    if (!m_save)
        m_ports.insert(port);
    else if (!m_load || !m_load(port))
        m_save(port, true);
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
