#include "comm/DownloadModeNotes.h"

#include "comm/CommConstants.h"
#include "comm/PortResolver.h"
#include "comm/SerialSlot.h"
#include "platform/PrivateFolder.h"

namespace corvanetov {

DownloadModeNotes& DownloadModeNotes::Instance()
{
    static DownloadModeNotes notes;
    return notes;
}

std::string DownloadModeNotes::SlotOf(uint8_t port)
{
    const std::string target = PortResolver::Instance().Resolve(port);
    if (target.empty())
        return PortResolver::ComName(port);
    if (port >= comm::kNetworkPortFirst || SerialSlot::IsSlot(target))
        return target;
    const std::string slot = SerialSlot::Of(target);
    return slot.empty() ? target : slot;
}

void DownloadModeNotes::SetFolder(std::string folder)
{
    std::lock_guard lock(m_mutex);
    m_folder = std::move(folder);
    m_notes.clear();
}

// A write waits for the disk, and many tools flashing at once each write
// their own file: only a new note is written.
void DownloadModeNotes::Remember(const std::string& slot, const std::string& esn)
{
    std::lock_guard lock(m_mutex);
    if (m_folder.empty()) {
        m_notes.emplace(slot, esn);
        return;
    }
    const PrivateFolder folder(m_folder);
    const std::string name = PrivateFolder::NameFor(slot);
    if (!folder.Read(name))
        folder.Write(name, esn + "\n");
}

void DownloadModeNotes::Forget(const std::string& slot)
{
    std::lock_guard lock(m_mutex);
    if (m_folder.empty())
        m_notes.erase(slot);
    else
        PrivateFolder(m_folder).Remove(PrivateFolder::NameFor(slot));
}

std::optional<std::string> DownloadModeNotes::Find(const std::string& slot) const
{
    std::lock_guard lock(m_mutex);
    if (m_folder.empty()) {
        const auto note = m_notes.find(slot);
        return note == m_notes.end() ? std::nullopt : std::optional<std::string>(note->second);
    }
    std::optional<std::string> text = PrivateFolder(m_folder).Read(PrivateFolder::NameFor(slot));
    if (text)
        text->erase(text->find_last_not_of('\n') + 1);
    return text;
}

} // namespace corvanetov
