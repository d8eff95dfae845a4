#pragma once

#include <cstddef>
#include <cstdint>

namespace corvanetov {

// Numbers of the NV data: the work list's capacity, the NV items this module
// moves, and the layout of the settings image (also the bytes of a *.mmc
// settings file). Multi-byte values in the image are little-endian, as the
// handset sends them.
namespace nv {
constexpr int32_t kListCapacity = 3000;

// NV items
constexpr uint16_t kItemLockCode = 82;
constexpr uint16_t kItemHardwareVersion = 2045;
constexpr uint16_t kItemUimLockCode = 2071;
constexpr uint16_t kItemNetworkLock = 2073;
constexpr uint16_t kItemReset = 408; // a write of it restarts the handset

// Settings image
constexpr size_t kImageSize = 59994;
constexpr size_t kGroupFlagsOffset = 0; // one 32-bit flag per settings group
constexpr int kGroupCount = 8;
constexpr size_t kVersionByteOffset = 34; // byte 48 of the version answer
constexpr size_t kModelCodeOffset = 35;   // 16-bit
constexpr uint16_t kModelCode = 147;
constexpr uint16_t kModelCodeAccepted = 100; // older settings files carry this code
constexpr size_t kLockCodeLengthOffset = 39; // item 82: length byte, then the characters
constexpr size_t kLockCodeOffset = 40;
constexpr size_t kLockCodeSize = 8;
constexpr size_t kLockCodeItemSize = 9; // item 82 on the wire: length byte + characters
constexpr size_t kHardwareVersionOffset = 479; // 7 characters and a terminating zero
constexpr size_t kHardwareVersionSize = 8;
constexpr size_t kSoftwareVersionOffset = 55864; // "%9s", no terminator
constexpr size_t kSoftwareVersionSize = 9;
constexpr size_t kHardwareItemOffset = 59808; // item 2045
constexpr size_t kHardwareItemSize = 8;
constexpr size_t kUimLockCodeOffset = 59816; // item 2071
constexpr size_t kUimLockCodeSize = 8;
constexpr size_t kNetworkLockOffset = 59824; // item 2073: one byte, then twenty 4-byte entries
constexpr size_t kNetworkLockSize = 81;
constexpr int kNetworkLockEntries = 20;
constexpr size_t kNetworkLockEntrySize = 4;

constexpr size_t kSidOffset = kNetworkLockOffset + 1; // SID k at kSidOffset + 4 * (k - 1)
constexpr uint16_t kSidMax = 32767;

// Phone-information texts
constexpr int kPhoneTextCount = 13;

// The settings group of this model: one group, "Nam", flag 0.
constexpr int kNamGroup = 0;
constexpr size_t kMinCodeDigits = 4;

// Texts of the settings stores and the settings file.
constexpr char kLockCodeBlank[] = "Don't use Blank character in Lock-code";
constexpr char kUimLockCodeBlank[] = "Don't use Blank character in UIM Lock-code";
constexpr char kOnlyNumbers[] = "Only input Number! check again! ";
constexpr char kLockCodeShort[] = "Enter Lock Code(more than 4 digits)";
constexpr char kUimLockCodeShort[] = "Enter UIM Lock Code(more than 4 digits)";
constexpr char kInvalidMmcFile[] = "Invalid MMC File !";
constexpr char kCannotReadMmcFile[] = "Cannot read mmc file!";
constexpr char kFailToWrite[] = "Fail to Write !";
} // namespace nv

} // namespace corvanetov
