#include "comm/DownloadModeNotes.h"

#include "comm/CommConstants.h"
#include "comm/PortResolver.h"
#include "comm/SerialSlot.h"
#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace corvanetov {

namespace {

// Unix 98 pseudo-terminals: their majors.
constexpr unsigned kPtyMajorFirst = 136;
constexpr unsigned kPtyMajorLast = 143;

// The pseudo-terminal at path as it was made (its inode and the time it
// was made); empty where path is no pseudo-terminal but a link to one,
// whose name a pulled cable takes along.
std::string TerminalMade(const std::string& path)
{
    struct stat node {};
    if (::lstat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode) || major(node.st_rdev) < kPtyMajorFirst ||
        major(node.st_rdev) > kPtyMajorLast)
        return {};
    return "pty " + std::to_string(node.st_ino) + " " + std::to_string(node.st_ctim.tv_sec) + "." +
           std::to_string(node.st_ctim.tv_nsec);
}

} // namespace

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
        m_notes.emplace(slot, NoteText(slot, esn));
        return;
    }
    const PrivateFolder folder(m_folder);
    const std::string name = PrivateFolder::NameFor(slot);
    if (!folder.Read(name))
        folder.Write(name, NoteText(slot, esn));
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
        return EsnOf(slot, note == m_notes.end() ? std::nullopt : std::optional<std::string>(note->second));
    }
    return EsnOf(slot, PrivateFolder(m_folder).Read(PrivateFolder::NameFor(slot)));
}

std::string DownloadModeNotes::NoteText(const std::string& slot, const std::string& esn)
{
    const std::string terminal = TerminalMade(slot);
    return esn + "\n" + (terminal.empty() ? "" : terminal + "\n");
}

std::optional<std::string> DownloadModeNotes::EsnOf(const std::string& slot, std::optional<std::string> text)
{
    if (!text)
        return std::nullopt;
    const size_t end = text->find('\n');
    const std::string esn = text->substr(0, end);
    std::string terminal = end == std::string::npos ? std::string() : text->substr(end + 1);
    terminal.erase(terminal.find_last_not_of('\n') + 1);
    // With no terminal there now, the noted one's handset went with it:
    // the note stands, for that handset's end and for no other.
    const std::string now = TerminalMade(slot);
    if (!terminal.empty() && !now.empty() && terminal != now)
        return std::nullopt;
    return esn;
}

} // namespace corvanetov
