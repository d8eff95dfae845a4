#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvanetov {

class DeviceAccess;

// A handset's claim for one whole operation, honoured by every program of
// this tool of any user on the machine. The port's own lock lapses where the
// handset leaves the bus to restart (the switch into download mode): a second
// tool started in that gap would take the port and both operations would
// fail, with the handset stranded in download mode. The claim is a lock
// file of the claimer's own per name the handset goes by (its COM number
// within one port table, its device, the link it is listed under) in the
// system's lock folder; it lasts until Release, whatever the port does
// meanwhile, and holds the owner's program, pid and activity so that a
// refused tool can say who has the handset.
//
// The lock folder is every user's: a file there counts only where its owner
// may open the handset (DeviceAccess), and nobody else may open a claimer's
// file, so a user who may not use the handset can neither hold it nor speak
// for its holder. Each claimer makes a file of its own, since a name that
// anyone can compute could be taken first; of two claimers that meet, the
// younger gives way.
class HandsetClaim {
public:
    HandsetClaim() = default;
    ~HandsetClaim() { Release(); }
    HandsetClaim(const HandsetClaim&) = delete;
    HandsetClaim& operator=(const HandsetClaim&) = delete;

    // Claims the handset on port (1 to 255) for the activity ("flashing it").
    // False when another operation holds any of its names, or when the claim
    // cannot be made; Refusal then says who or why. A port that resolves to
    // nothing claims only what it can name.
    bool Take(uint8_t port, const std::string& activity);
    void Release();

    // "COM3 is busy: corvanetov-cli (pid 4242) is flashing it".
    const std::string& Refusal() const { return m_refusal; }
    // What follows the port's name in a refusal.
    static constexpr char kBusy[] = " is busy: ";

    // Where the lock files are: CORVANETOV_LOCK_DIR when set, else the
    // system's lock folder, else the temporary folder.
    static std::string Folder();

private:
    struct HeldFile {
        int fd;
        std::string path;
    };
    // One name of the handset (the start of its claimers' file names); for
    // a device, the device as the kernel names it and the link it was
    // reached by, if any.
    struct Name {
        std::string stem;
        std::string device = {};
        std::string link = {};
    };
    enum class Outcome { Held, Busy, Unusable };

    static std::vector<Name> Names(uint8_t port);
    // Makes and holds a file of this claim's under name, then looks for an
    // older claimer. Busy with the holder's line in `said`, Unusable with
    // the reason.
    Outcome TakeName(const Name& name, const std::string& text, const DeviceAccess& access, std::string& said);
    bool MakeFile(const Name& name, const std::string& text, const DeviceAccess& access, std::string& reason);
    static bool HeldElsewhere(const Name& name, const std::string& held);

    std::vector<HeldFile> m_held;
    std::string m_refusal;
};

} // namespace corvanetov
