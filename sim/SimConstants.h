#pragma once

#include <cstddef>
#include <cstdint>

// Numbers of the simulated VQX-B410: the handset's side of the diagnostic
// port, of the flash loader and of the boot loader.
namespace sim {

// Diagnostic commands understood in normal mode.
constexpr uint8_t kCmdVersion = 0x00;
constexpr uint8_t kCmdStatus = 0x0C;
constexpr uint8_t kCmdBadCommand = 0x13;    // answer to a command the port does not know
constexpr uint8_t kCmdBadParameters = 0x14; // answer to a known command with bad fields
constexpr uint8_t kCmdBadLength = 0x15;     // answer to a known command of the wrong size
constexpr uint8_t kCmdNvRead = 0x26;
constexpr uint8_t kCmdNvWrite = 0x27;
constexpr uint8_t kCmdModeControl = 0x29;
constexpr uint8_t kCmdDownloadMode = 0x3A;
constexpr uint8_t kCmdSpc = 0x41;
constexpr uint8_t kCmdDmMode = 0x44;
constexpr uint8_t kCmdPassword = 0x46;
constexpr uint8_t kCmdPrlWrite = 0x48;
constexpr uint8_t kCmdEriWrite = 0x4C;

// Flash loader commands (download mode).
constexpr uint8_t kFlashStart = 0xA0;
constexpr uint8_t kFlashCopy = 0xB0;
constexpr uint8_t kFlashJump = 0xC0;
constexpr uint8_t kFlashVersionCheck = 0xD0;
constexpr uint8_t kFlashWriteBlock = 0xDD;
constexpr uint8_t kFlashErase = 0xEE;
constexpr uint8_t kFlashMode = 0xF0;

// Flash loader answers.
constexpr uint8_t kFlashAck = 0x02;
constexpr uint8_t kFlashResendFirst = 0xA1; // 0xA1 to 0xA3 ask for the same block again
constexpr uint8_t kFlashResendLast = 0xA3;
constexpr uint8_t kFlashNotErased = 0xA4;   // block outside every erased range
constexpr uint8_t kFlashBadRequest = 0xA5;  // request of the wrong size, or a range past the flash
constexpr uint8_t kFlashVersionUnknown = 0xAC; // version check without a code image version

// Pseudo-commands for requests that are not frames, so that faults and the
// log can name them like the others.
constexpr int kPseudoAt = 0x100;
constexpr int kPseudoBoot = 0x101;

// Sizes.
constexpr size_t kNvRequestSize = 133;
constexpr size_t kNvDataSize = 128;
constexpr size_t kNvDataOffset = 3;
constexpr size_t kNvStatusOffset = 131;
constexpr size_t kStatusAnswerSize = 60;
constexpr size_t kVersionAnswerSize = 54;
constexpr size_t kSpcCodeSize = 6;
constexpr size_t kPasswordSize = 8;
constexpr size_t kRoamingRequestSize = 126;
constexpr size_t kRoamingPieceBytes = 120;
constexpr size_t kRoamingDataOffset = 6;
constexpr size_t kRoamingFileLimit = 65536; // a roaming file larger than this is refused
constexpr int kNamCount = 2;
constexpr size_t kFlashBlockSize = 0x2000;
constexpr size_t kWriteBlockRequestSize = 7 + kFlashBlockSize;
constexpr uint32_t kFlashCapacity = 0x4000000; // addresses the simulated flash holds
constexpr uint32_t kBootRegionMarker = 0xFFFF0000; // start value of the boot part: flashed from address 0
constexpr size_t kMaxFrameBytes = 40000;    // a longer run without a flag is line noise
constexpr size_t kMaxAtLine = 64;
constexpr size_t kMaxPendingInput = 1 << 20; // bytes waiting behind a throttled input line
constexpr size_t kMaxPendingOutput = 1 << 20; // answers a tool does not read pile up to this much

// Version answer layout.
constexpr size_t kVersionDateOffset = 1;
constexpr size_t kVersionDateSize = 11;
constexpr size_t kVersionTimeOffset = 12;
constexpr size_t kVersionTimeSize = 8;
constexpr size_t kVersionTextOffset = 31;
constexpr size_t kVersionTextMax = 16; // a zero must still fit before byte 48
constexpr size_t kVersionCaiOffset = 48;
constexpr size_t kVersionModelOffset = 49;

// Status answer layout.
constexpr size_t kStatusEsnOffset = 4;
constexpr size_t kStatusMin1AnalogOffset = 10;
constexpr size_t kStatusMin1Offset = 14;
constexpr size_t kStatusMin2AnalogOffset = 18;
constexpr size_t kStatusMin2Offset = 20;

// NV items the handset is seeded with.
constexpr uint16_t kItemLockCode = 82;
constexpr uint16_t kItemResetFlag = 408;
constexpr uint16_t kItemHardwareVersion = 2045;
constexpr uint16_t kItemUimLockCode = 2071;
constexpr uint16_t kItemHomeSids = 2073;
constexpr size_t kLockCodeMax = 8;
constexpr size_t kHardwareVersionSize = 7;
constexpr size_t kUimLockCodeSize = 8;
constexpr size_t kHomeSidCount = 20;
constexpr size_t kHomeSidEntrySize = 4;

// NV status codes in answers.
constexpr uint16_t kNvDone = 0;
constexpr uint16_t kNvNotActive = 5;

// Roaming write answer statuses: 0 and 1 are accepted.
constexpr uint8_t kRoamingComplete = 0;   // last piece stored, file saved
constexpr uint8_t kRoamingMore = 1;       // piece stored, more expected
constexpr uint8_t kRoamingOutOfOrder = 2;
constexpr uint8_t kRoamingBadPiece = 3;
constexpr uint8_t kRoamingLocked = 4;     // neither the MSL code nor the password was given
constexpr uint8_t kRoamingTooLarge = 5;

// Mode control.
constexpr uint16_t kModeOffline = 1;
constexpr uint16_t kModeReset = 2;
constexpr uint16_t kModeHighest = 6;

// Defaults of the simulated handset.
constexpr uint32_t kDefaultEsn = 0x8D2A41F3;
constexpr const char* kDefaultPhoneNumber = "(212) 555-0147";
constexpr const char* kDefaultCompileDate = "Jun 20 2006";
constexpr const char* kDefaultCompileTime = "14:05:00";
constexpr const char* kDefaultVersionText = "B410V01.05";
constexpr const char* kDefaultHardwareVersion = "REV0.03";
constexpr const char* kDefaultLockCode = "0000";
constexpr const char* kDefaultUimLockCode = "00000000";
constexpr const char* kDefaultMsl = "000000";
constexpr uint8_t kDefaultCaiRevision = 6;
constexpr uint8_t kModelCode = 0x93;
constexpr uint8_t kPassword[kPasswordSize] = {0x56, 0x51, 0x58, 0x2D, 0x42, 0x34, 0x31, 0x30};

// Timing (milliseconds at time scale 1).
constexpr uint32_t kDefaultResetMs = 1000; // quiet moment of a reset or a restart
constexpr uint32_t kDefaultEraseMs = 500;
constexpr double kBitsPerByte8N1 = 10.0;

constexpr const char* kDefaultByIdName = "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";
// The USB port a handset is plugged into, as the by-path folder names it.
constexpr const char* kDefaultByPathName = "pci-0000:00:14.0-usb-0:1:1.2-port0";

// Exit status of a wrong command line.
constexpr int kExitUsage = 2;

} // namespace sim
