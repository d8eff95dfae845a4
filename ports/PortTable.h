#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <mutex>
#include <vector>

// One entry of the port table: COMn's device path, or the network link's
// host:port under the first network port number.
struct PortTableEntry {
    uint8_t port;
    QString target;
};

namespace corvanetov {

// COM port numbers on Linux: the store's key "Software\CorvaneTOV\Ports"
// holds "COM1" ... "COM255" with device paths and "TELNET" with the host:port
// of the network serial link that ports above 128 open. A device seen for the
// first time gets the lowest free number and keeps it, so a handset stays on
// the same COM number from run to run; entries written by hand are kept as
// they are and win over the numbering. With every number taken, the number
// of the device the tool numbered that has been away longest (an hour at
// least) goes to the new one: a bench that names its handsets by serial
// number never runs out. Where the system names a device's slot (its USB
// port's by-path link), the number is the slot's.
class PortTable {
public:
    static PortTable& Instance();

    // What port opens: its device path (1 to 128) or the TELNET host:port
    // (above 128); empty when nothing is assigned.
    QString Target(uint8_t port) const;
    // The device path stored for port ("COMn"); empty when none.
    QString DevicePath(uint8_t port) const;
    // The number of the device at path: the lowest entry that names it (or
    // the same device under another path), else the lowest free number from
    // 1 to 128, else the number of the device away longest, which is stored.
    // 0 when none is to be had (FullText says why) or the store cannot be
    // written.
    uint8_t NumberFor(const QString& devicePath);
    // NumberFor of each device, in their order, with one write of the store.
    std::vector<uint8_t> NumbersFor(const QStringList& devicePaths);
    // Why a new device gets no number: who holds them all, and the way out.
    QString FullText() const;
    // The number the table has for the device at path, as NumberFor finds
    // it; 0 when it has none (and none is given).
    uint8_t Find(const QString& devicePath) const;
    // Writes an entry by hand, as a user would; the same device under
    // another number is forgotten there, so that port is its number from
    // now on, and it is never given to another device. False for port 0 or
    // when the store cannot be written.
    bool Assign(uint8_t port, const QString& devicePath);
    bool SetTelnet(const QString& hostAndPort);
    // Forgets port's device (1 to 128) or the network link (above 128).
    // False when the store cannot be written.
    bool Forget(uint8_t port);
    // The devices in port order, then the network link; only what is set.
    std::vector<PortTableEntry> Entries() const;
    // Makes the serial channel open ports through this table, and keeps
    // the notes of handsets left in download mode beside it (those that
    // earlier versions kept per COM number are dropped).
    void InstallResolver();

    static QString ValueName(uint8_t port);
    // The number of a serial port's name, "COM1" to "COM128" in any letter
    // case; 0 for anything else.
    static uint8_t SerialPortNumber(QStringView name);
    // Whether text is HOST:PORT as the network link opens it: a host name,
    // an IPv4 address or an IPv6 address in brackets, and a TCP port from 1
    // to 65535.
    static bool IsNetworkAddress(const QString& text);

private:
    struct Numbering;

    PortTable() = default;
    static void DropNotesByNumber();
    uint8_t Number(const QString& devicePath, Numbering& table);

    std::mutex m_mutex; // one numbering at a time: the view's timer and a worker may both list
};

} // namespace corvanetov
