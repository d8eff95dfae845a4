#pragma once

#include <string>

#include "comm/NetworkLink.h"
#include "comm/SerialDevice.h"

namespace corvanetov {

// Keeps an operation's port from its first open to its end. Connection
// set-up closes and reopens the channel several times, and every close would
// let go of the lock and the exclusive flag: another program could take the
// port in the gap, or a second tool start on it. While a hold lasts, the
// first serial open of its thread stays open underneath, and every later
// open of the same device on that thread is a second descriptor of it, so
// the lock never lapses. An operation runs on one thread; channels of other
// threads open as usual and find the port busy.
//
// A network link is held the same way: its first connection stays open
// underneath and later opens are second descriptors of it. A network serial
// server serves one client at a time, so that connection is the operation's
// claim on the handset against every other machine, which no lock file here
// can be. It outlasts the handset's restart (LetGo), since the server keeps
// its serial device meanwhile; one that loses it (a USB handset that leaves
// the server's bus) hangs up, and the next open connects afresh.
//
// The hold lives where its owner puts it (ScopedPortHold); a thread knows
// only a plain pointer to its hold. A thread-local object with a destructor
// would have the C library keep the plug-in that holds it mapped for as long
// as the thread lives: for ever, on the user-interface thread that opened a
// port from the Port Setting dialog.
class PortHold {
public:
    PortHold() = default;
    ~PortHold() { End(); }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

    // Opens the device at path for a channel: through the calling thread's
    // hold while one lasts, as a plain open otherwise.
    static bool Open(const std::string& path, SerialDevice& device);
    // Connects link to the server at hostAndPort: likewise.
    static bool Open(const std::string& hostAndPort, NetworkLink& link);

    // From now on this thread's serial opens are held by this hold.
    void Begin();
    // Lets go: the device and the network link close with the last
    // channel that still has them, and the thread's opens are plain again.
    void End();
    // Lets go of the device but goes on holding: the next open is held
    // again. For a handset that leaves the bus to restart: a descriptor kept
    // of the old device would keep its name taken, and it would come back
    // under another. A held network link stays.
    void LetGo();

private:
    // On a hold, a second descriptor of the held device, or the first real
    // open, which the hold keeps. A held line that has gone away (a pulled
    // cable, a handset that left the bus to restart) is let go and opened
    // afresh, so that a reopen that fails says why.
    bool OpenSerial(const std::string& path, SerialDevice& device);
    // On a hold, a second descriptor of the held connection, or the first
    // real one, which the hold keeps; one the server has hung up is
    // dropped and connected afresh.
    bool OpenNetwork(const std::string& hostAndPort, NetworkLink& link);

    bool m_active = false;
    PortHold* m_outer = nullptr; // the thread's hold before this one began
    std::string m_path;
    SerialDevice m_held;
    std::string m_linkTarget;
    NetworkLink m_heldLink;
};

} // namespace corvanetov
