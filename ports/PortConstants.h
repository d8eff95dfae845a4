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
