#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace corvanetov {

// One serial device of the machine, as the device listing names it.
struct SerialDeviceEntry {
    QString valueName;  // the link's name, plus " (driver)" where the kernel driver is known
    QString portName;   // "COM%d" from the port table; empty when no number was free
    QString devicePath; // the link itself: stable while the device stays plugged in the same way
    // The handset's place on the bench: its by-path link (the USB port),
    // which stays across a restart into download mode where the by-id name
    // may change; the by-id link where the system gives none.
    QString slot = {};
};

// The machine-wide list of serial devices that the handset search looks
// through: the entries of /dev/serial/by-id, or of the folder that
// CORVANETOV_SERIAL_BY_ID names (the simulator's and the tests' devices).
// Listing gives every new device its COM number in the port table.
class SerialDeviceListing {
public:
    static QString Folder();
    // In name order, so that "the first one" means the same on every run.
    static std::vector<SerialDeviceEntry> List();
    // The handset's port: the first listed device whose value name contains
    // "qxcdmdm"; its number is the digits after the port name's three-letter
    // prefix. 0 when no device matches or the first match has no number.
    static uint8_t FindHandsetPort();
    static uint8_t FindHandsetPort(const std::vector<SerialDeviceEntry>& entries);
    // Every listed handset's port, in listing order: a bench has several.
    static std::vector<uint8_t> HandsetPorts(const std::vector<SerialDeviceEntry>& entries);
    // The number in an entry's port name: the digits after its three-letter
    // prefix; 0 when there are none.
    static uint8_t PortNumberOf(const SerialDeviceEntry& entry);
};

} // namespace corvanetov
