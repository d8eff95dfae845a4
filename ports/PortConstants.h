#pragma once

#include <cstdint>

#include "comm/CommConstants.h"

namespace corvanetov {

// Names and numbers of port selection: the per-user store's keys and values,
// the port table and the device listing.
namespace ports {
// Per-user settings store (the registry's place)
inline constexpr char kStoreOrganization[] = "CorvaneTOV";
inline constexpr char kStoreApplication[] = "corvanetov";
inline constexpr char kPortKey[] = "Software\\CorvaneTOV\\Corvane_VQX B410 Verizon";
inline constexpr char kPortNumberValue[] = "Port Number";
// The port table: "COM1" ... "COM255" (PortResolver::ComName) hold device
// paths, "TELNET" host:port.
inline constexpr char kPortTableKey[] = "Software\\CorvaneTOV\\Ports";
inline constexpr char kTelnetValue[] = "TELNET";
// The notes of handsets a flash left waiting in download mode: a folder
// beside the store, a file per slot (DownloadModeNotes).
inline constexpr char kDownloadModeFolder[] = "download-mode-notes";
// Where earlier versions kept those notes, per COM number ("COMn" = "1"):
// a COM number's device may be another handset by now, so they are dropped.
inline constexpr char kDownloadModeKey[] = "Software\\CorvaneTOV\\Ports in download mode";
// Beside the table: "COMn" = when the tool last listed the device it gave
// that number itself, in seconds since 1970 (UTC). An entry without one was
// written by hand (or before the tool kept these) and is never given out
// again.
inline constexpr char kPortSeenKey[] = "Software\\CorvaneTOV\\Ports seen";
// With every number taken, the number of a device away this long goes to a
// new one, the longest away first: well past a restart into download mode or
// a whole job, so that no handset loses its number while it is served.
constexpr std::int64_t kReuseAfterSeconds = 3600;
// How often a device listed again has its time written anew.
constexpr std::int64_t kSeenRefreshSeconds = 300;

constexpr int kMaxPort = 255;
constexpr int kMaxTcpPort = 65535;
constexpr int kMaxHostName = 253;
// Ports above this one open the network serial link.
constexpr int kLastSerialPort = comm::kNetworkPortFirst - 1;

// Serial device listing
inline constexpr char kSerialByIdFolder[] = "/dev/serial/by-id";
inline constexpr char kSerialByIdVariable[] = "CORVANETOV_SERIAL_BY_ID";
inline constexpr char kSysClassTty[] = "/sys/class/tty/";
// The handset's diagnostic serial device carries this in its name.
inline constexpr char kHandsetMarker[] = "qxcdmdm";
} // namespace ports

} // namespace corvanetov
