#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

// A handset's claim for one whole operation, honoured by every program of
// this tool of any user on the machine. The port's own lock lapses where the
// handset leaves the bus to restart (the switch into download mode): a second
// tool started in that gap would take the port and both operations would
// fail, with the handset stranded in download mode. The claim is a lock file
// per name the handset goes by (its COM number within one port table, its
// device, the link it is listed under) in the system's lock folder, which
// every user can write; it lasts until Release, whatever the port does
// meanwhile, and holds the owner's program, pid and activity so that a
// refused tool can say who has the handset.
class HandsetClaim {
public:
    HandsetClaim() = default;
    ~HandsetClaim() { Release(); }
    HandsetClaim(const HandsetClaim&) = delete;
    HandsetClaim& operator=(const HandsetClaim&) = delete;

    // Claims the handset on port (1 to 255) for the activity ("flashing it").
    // False when another operation holds any of its names; Refusal then says
    // who. A port that resolves to nothing claims only what it can name.
    bool Take(uint8_t port, const std::string& activity);
    void Release();

    // "COM3 is busy: corvanetov-cli (pid 4242) is flashing it".
    const std::string& Refusal() const { return m_refusal; }
    // What follows the port's name in a refusal.
    static constexpr char kBusy[] = " is busy: ";

    // Where the lock files are: CORVANETOV_LOCK_DIR when set, else the
    // system's lock folder, else the temporary folder.
    static std::string Folder();
    // The lock files port goes by, in the order they are taken.
    static std::vector<std::string> LockFiles(uint8_t port);

private:
    struct HeldFile {
        int fd;
        std::string path;
    };
    // One lock file; for a device, the device as the kernel names it and
    // the link it was reached by, if any.
    struct Name {
        std::string file;
        std::string device = {};
        std::string link = {};
    };
    // Elsewhere: held by a claim whose handset is no longer this device.
    enum class Outcome { Held, Busy, Elsewhere, Unusable };

    static std::vector<Name> Names(uint8_t port);
    // Takes one lock file and writes text into it; Busy with the holder's
    // line in `holder`.
    Outcome TakeFile(const Name& name, const std::string& text, std::string& holder);
    static bool HeldElsewhere(const Name& name, const std::string& held);

    std::vector<HeldFile> m_held;
    std::string m_refusal;
};

} // namespace corvanetov
