#pragma once

#include <cstddef>
#include <cstdint>

namespace diag {
// Command bytes
constexpr uint8_t kCmdVersion = 0x00;
constexpr uint8_t kCmdStatus = 0x0C;
constexpr uint8_t kCmdNvRead = 0x26;
constexpr uint8_t kCmdNvWrite = 0x27;
constexpr uint8_t kCmdModeControl = 0x29;
constexpr uint8_t kCmdSpc = 0x41;
constexpr uint8_t kCmdDmMode = 0x44;
constexpr uint8_t kCmdPassword = 0x46;

// Mode control values
constexpr uint16_t kModeOffline = 1;
constexpr uint16_t kModeReset = 2;

// NV items
constexpr uint16_t kNvItemLockCode = 82;
constexpr uint16_t kNvItemHardwareVersion = 2045;
constexpr uint16_t kNvItemUimLockCode = 2071;
constexpr uint16_t kNvItemNetworkLockSids = 2073;
constexpr uint16_t kNvItem408 = 408;

constexpr size_t kNvRequestSize = 133;
constexpr size_t kNvDataOffset = 3;
constexpr size_t kNvDataSize = 128;
constexpr size_t kMslLength = 6;
constexpr size_t kPasswordLength = 8;
// The fixed password that unlocks a handset on the tool type 0 path.
constexpr uint8_t kPassword[kPasswordLength] = {0x56, 0x51, 0x58, 0x2D, 0x42, 0x34, 0x31, 0x30};

// Settings image places that NV writes take their data from.
constexpr size_t kImageLockCodeOffset = 39;   // length byte and 8 characters
constexpr size_t kImageLockCodeSize = 9;
constexpr size_t kImageUimLockOffset = 59816;
constexpr size_t kImageUimLockSize = 8;
constexpr size_t kImageSidsOffset = 59824;
constexpr size_t kImageSidsSize = 81;

// Exchange timings (ms): time-out of the wait, pause after a failed attempt.
constexpr uint32_t kStatusTimeoutMs = 2000;
constexpr uint32_t kStatusPauseMs = 1000;
constexpr uint32_t kVersionTimeoutMs = 1500;
constexpr uint32_t kShortPauseMs = 200;
constexpr uint32_t kNvReadTimeoutMs = 1500;
constexpr uint32_t kModeTimeoutMs = 1500;
constexpr uint32_t kUnlockTimeoutMs = 3000;
constexpr uint32_t kDmModeTimeoutMs = 1500;
constexpr uint32_t kDmSwitchSettleMs = 1000;
constexpr uint32_t kNvWriteLeadPauseMs = 50;
constexpr int kAttempts = 3;

constexpr char kDmSwitchCommand[] = "AT$QCDMG\r\n";
constexpr char kDmSwitchAnswer[] = "OK";

// Answer layouts
constexpr size_t kStatusEsnOffset = 4;
constexpr size_t kStatusMin1Offset = 14;
constexpr size_t kStatusMin2Offset = 20;
constexpr size_t kVersionDateOffset = 1;
constexpr size_t kVersionDateLength = 11;
constexpr size_t kVersionTextOffset = 31;
constexpr size_t kVersionByte48 = 48;
constexpr size_t kVersionModelOffset = 49;
constexpr uint8_t kModelCode = 0x93;
} // namespace diag
