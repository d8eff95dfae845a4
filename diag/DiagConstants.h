#pragma once

#include <cstddef>
#include <cstdint>

namespace corvanetov {

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
// Answers to a request the handset refused; each echoes the request.
constexpr uint8_t kCmdBadCommand = 0x13;
constexpr uint8_t kCmdBadParameters = 0x14;
constexpr uint8_t kCmdBadLength = 0x15;

// Mode control values
constexpr uint16_t kModeOffline = 1;
constexpr uint16_t kModeReset = 2;

constexpr size_t kNvRequestSize = 133;
constexpr size_t kNvDataOffset = 3;
constexpr size_t kNvDataSize = 128;
// The NV items that hold lock codes: the lock code and the UIM lock code.
constexpr uint16_t kLockCodeItems[] = {82, 2071};
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
constexpr uint16_t kMinPlainFrame = 4; // a shorter plain frame is never announced
constexpr size_t kRawSendLimit = 255;

// SendBootCommand codes and the fixed byte strings they send.
constexpr int kBootCommand1 = 1;
constexpr int kBootCommand2 = 2;
constexpr int kBootCommand5 = 5;
constexpr uint8_t kBoot1[] = {0x7F, 0xAA, 0xDD, 0x7E};
constexpr uint8_t kBoot2[] = {0x7F, 0xAA, 0x1F, 0x00, 0x7E};
constexpr uint8_t kBoot5[] = {0x7F, 0xAA, 0x9A, 0x7E};

// The flash loader of download mode: one-byte commands with little-endian
// arguments, each sent as a large frame with the leading-flag mode set.
constexpr uint8_t kCmdDownloadMode = 0x3A; // diagnostic mode to download mode
constexpr uint8_t kFlashStart = 0xA0;
constexpr uint8_t kFlashCopy = 0xB0;
constexpr uint8_t kFlashJump = 0xC0;
constexpr uint8_t kFlashVersionCheck = 0xD0;
constexpr uint8_t kFlashWriteBlock = 0xDD;
constexpr uint8_t kFlashErase = 0xEE;
constexpr uint8_t kFlashMode = 0xF0;
constexpr uint8_t kFlashModeArgument = 0x01;
constexpr size_t kFlashBlockSize = 0x2000;
constexpr size_t kWriteBlockHeaderSize = 7; // command, address, length
constexpr size_t kWriteBlockRequestSize = kWriteBlockHeaderSize + kFlashBlockSize;
// Answers of the flash loader (byte 0).
constexpr uint8_t kFlashAck = 0x02;
constexpr uint8_t kFlashResendFirst = 0xA1; // 0xA1 to 0xA3: the same block again
constexpr uint8_t kFlashResendLast = 0xA3;
constexpr uint8_t kFlashVersionUnknown = 0xAC; // version check of a font-only download

// The boot loader's acknowledgement of a boot command (9600-baud raw link).
constexpr uint8_t kBootAck0 = 0xAA;
constexpr uint8_t kBootAck1 = 0xAF;

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

} // namespace corvanetov
