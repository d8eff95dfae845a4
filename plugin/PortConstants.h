#pragma once

#include <cstdint>

#include "comm/CommConstants.h"

// Names and numbers of port selection: the per-user store's keys and values,
// the device listing, the Port Setting dialogs and the port line they send the host.
namespace ports {
// Per-user settings store (the registry's place)
inline constexpr char kStoreOrganization[] = "CorvaneTOV";
inline constexpr char kStoreApplication[] = "corvanetov";
inline constexpr char kPortKey[] = "Software\\CorvaneTOV\\Corvane_VQX B410 Verizon";
inline constexpr char kPortNumberValue[] = "Port Number";
// The port table: "COM1" ... "COM255" hold device paths, "TELNET" host:port.
inline constexpr char kPortTableKey[] = "Software\\CorvaneTOV\\Ports";
inline constexpr char kComPrefix[] = "COM";
inline constexpr char kTelnetValue[] = "TELNET";

constexpr int kMaxPort = 255;
// Ports above this one open the network serial link.
constexpr int kLastSerialPort = comm::kNetworkPortFirst - 1;

// Serial device listing
inline constexpr char kSerialByIdFolder[] = "/dev/serial/by-id";
inline constexpr char kSerialByIdVariable[] = "CORVANETOV_SERIAL_BY_ID";
inline constexpr char kSysClassTty[] = "/sys/class/tty/";
// The handset's diagnostic serial device carries this in its name.
inline constexpr char kHandsetMarker[] = "qxcdmdm";
// The search reads the number after this many characters of a port name ("COM").
constexpr int kPortNamePrefixLength = 3;

// Port Setting dialogs
constexpr int kPortSettingTemplate = 1023;
constexpr int kPortSettingRebuildTemplate = 1049;
constexpr int kPortListCount = 99;
inline constexpr const char* kBaudRates[] = {"9600", "57600", "115200", "230400", "460800"};
constexpr uint8_t kByteSize = 8;
constexpr uint8_t kOneStopBit = 0;
constexpr uint8_t kNoParity = 0;
constexpr int kResponseEventIndex = 0;
constexpr uint32_t kOpenPauseMs = 100;
inline constexpr char kCannotCreateComInfo[] = "Cannot Create Com Info";
inline constexpr char kCannotOpenComPort[] = "Cannot Open ComPort";
// A port list entry: "COM3  /dev/ttyUSB0  VQX-B410", the name only on the
// listed handset's port.
inline constexpr char kEntrySeparator[] = "  ";
inline constexpr char kHandsetName[] = "VQX-B410";
// While an operation runs, OK (which replaces the channel) waits for its end;
// the dialog looks at the operation state this often.
constexpr int kOperationWatchMs = 200;
inline constexpr char kOkWaitsToolTip[] =
    "An operation is using the handset's port; the port can be changed when it has ended.";

// The host notification's port line after a choice
inline constexpr char kPortLineFormat[] = "      Com%d";
} // namespace ports
