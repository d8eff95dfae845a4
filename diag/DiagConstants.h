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
constexpr uint8_t kCmdPrlWrite = 0x48;
constexpr uint8_t kCmdEriWrite = 0x4C;

// Mode control values
constexpr uint16_t kModeOffline = 1;
constexpr uint16_t kModeReset = 2;

constexpr size_t kNvRequestSize = 133;
constexpr size_t kNvDataOffset = 3;
constexpr size_t kNvDataSize = 128;
// The roaming data write: command, piece number, more, NAM index, the
// piece's data bits (little-endian), then one piece of data, zero-padded.
constexpr size_t kRoamingRequestSize = 126;
constexpr size_t kRoamingDataOffset = 6;
constexpr size_t kRoamingPieceBytes = 120;
constexpr size_t kMslLength = 6;
constexpr size_t kPasswordLength = 8;
// The fixed password that unlocks a handset on the tool type 0 path.
constexpr uint8_t kPassword[kPasswordLength] = {0x56, 0x51, 0x58, 0x2D, 0x42, 0x34, 0x31, 0x30};

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

// The receive side of the channel.
constexpr size_t kReceiveBufferSize = 2049; // response, frame and accumulation buffers
constexpr size_t kFrameEndLimit = 2048;     // accumulated bytes without a frame end
constexpr size_t kResponseCopySize = 2048;
constexpr uint32_t kReceivePauseMs = 1;
constexpr uint16_t kMinPlainFrame = 4; // a shorter plain frame is never announced
constexpr size_t kRawSendLimit = 255;

// SendBootCommand codes and the fixed byte strings they send.
constexpr int kBootCommand1 = 1;
constexpr int kBootCommand2 = 2;
constexpr int kBootCommand5 = 5;
constexpr uint8_t kBoot1[] = {0x7F, 0xAA, 0xDD, 0x7E};
constexpr uint8_t kBoot2[] = {0x7F, 0xAA, 0x1F, 0x00, 0x7E};
constexpr uint8_t kBoot5[] = {0x7F, 0xAA, 0x9A, 0x7E};

// Answer layouts
constexpr size_t kStatusEsnOffset = 4;
constexpr size_t kStatusMin1Offset = 14;
constexpr size_t kStatusMin2Offset = 20;
constexpr size_t kVersionDateOffset = 1;
constexpr size_t kVersionDateLength = 11;
constexpr size_t kVersionTextOffset = 31;
constexpr size_t kVersionByte48 = 48;
constexpr size_t kVersionModelOffset = 49;
} // namespace diag
