#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

namespace corvanetov {

// The ports whose handsets a flash left waiting in download mode: switched
// there (or found there, for an EMERGENCY option) and not restarted by a
// completed flash. Such a handset answers none of the usual requests, so a
// later identification fails without saying why; the note lets it say so
// without sending the handset anything. A front end gives the notes a
// store (the ports layer keeps them beside the port table, for every
// program of the user); without one they last as long as the process.
class DownloadModeNotes {
public:
    using Load = std::function<bool(uint8_t port)>;
    using Save = std::function<void(uint8_t port, bool waiting)>;

    static DownloadModeNotes& Instance();

    void SetStore(Load load, Save save);
    void Remember(uint8_t port);
    void Forget(uint8_t port);
    bool Remembered(uint8_t port) const;

private:
    mutable std::mutex m_mutex;
    Load m_load;
    Save m_save;
    std::set<uint8_t> m_ports; // without a store
};

} // namespace corvanetov
