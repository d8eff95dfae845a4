#pragma once

#include <cstdint>

namespace corvanetov {

// Numbers and texts of the Port Setting dialogs and the port line they send
// the host.
namespace portsetting {
constexpr int kPortSettingTemplate = 1023;
constexpr int kPortSettingRebuildTemplate = 1049;
constexpr int kPortListCount = 99;
// The baud list, kept but never shown: every connection runs at 115200.
inline constexpr uint32_t kBaudRates[] = {9600, 57600, 115200, 230400, 460800};
constexpr uint32_t kOpenPauseMs = 100;
inline constexpr char kCannotCreateComInfo[] = "Cannot Create Com Info";
inline constexpr char kCannotOpenComPort[] = "Cannot Open ComPort";
// A port list entry: "COM3  usb-Corvane_VQX-B410_0001-if02 (/dev/ttyUSB0)  VQX-B410",
// the name only on listed handsets' ports.
inline constexpr char kEntrySeparator[] = "  ";
inline constexpr char kLinkTargetFormat[] = " (%1)";
inline constexpr char kHandsetName[] = "VQX-B410";
// The network link's entry, for the numbers above 128: "COM129  bench-pc:4001  (network link)".
inline constexpr char kNetworkEntryFormat[] = "COM%1  %2  (network link)";
inline constexpr char kCannotForget[] = "Cannot write the port table";
// While an operation runs, OK (which replaces the channel) waits for its end.
inline constexpr char kOkWaitsToolTip[] =
    "An operation is using the handset's port; the port can be changed when it has ended.";

// The host notification's port line after a choice
inline constexpr char kPortLineFormat[] = "      Com%d";
} // namespace portsetting

} // namespace corvanetov
