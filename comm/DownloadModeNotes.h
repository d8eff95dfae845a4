#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace corvanetov {

// The handsets a flash left waiting in download mode: switched there (or
// found there, for an EMERGENCY option) and not restarted by a completed
// flash. Such a handset answers none of the usual requests, so a later
// identification fails without saying why; the note lets it say so without
// sending the handset anything.
//
// A note is kept for the handset's slot (SlotOf), never for its COM number or
// its device, names that the system gives the next handset, and holds the
// ESN the flash identified (empty where it identified none). A handset that
// answers in that slot is not waiting there: its identification drops the
// note, whoever it is. Where the slot is a pseudo-terminal, whose number
// the next terminal opened is given, the note names that terminal as it was
// made, and a terminal made since under the number finds none (while none
// is there, the note stands). A front end
// gives the notes a folder, one file per
// slot, for every program of the user; without one they last as long as
// the process.
class DownloadModeNotes {
public:
    static DownloadModeNotes& Instance();

    // What a note of port's handset is kept for: the USB port's by-path link
    // where the system names one, else what the port opens (a by-id link, a
    // device, the network link's host:port), else the COM name.
    static std::string SlotOf(uint8_t port);

    // Empty: the notes of this process alone.
    void SetFolder(std::string folder);
    // A note already there stays as it is, unwritten: every pass of a
    // download notes the handset again.
    void Remember(const std::string& slot, const std::string& esn);
    void Forget(const std::string& slot);
    // The ESN of the slot's note; none without a note.
    std::optional<std::string> Find(const std::string& slot) const;
    bool Remembered(const std::string& slot) const { return Find(slot).has_value(); }

private:
    // What the note says: the ESN, and on a line of its own the terminal
    // where the slot is one.
    static std::string NoteText(const std::string& slot, const std::string& esn);
    static std::optional<std::string> EsnOf(const std::string& slot, std::optional<std::string> text);

    mutable std::mutex m_mutex;
    std::string m_folder;
    std::map<std::string, std::string> m_notes; // without a folder
};

} // namespace corvanetov
