#pragma once

#include <cstdint>

namespace engine {
// Operation message numbers, one per view family.
constexpr int kMsgPhoneInfo = 1524;
constexpr int kMsgPrl = 1525;
constexpr int kMsgRoaming = 1526;
constexpr int kMsgDownload = 1527;
constexpr int kMsgNam = 1528;

// Kinds of the phone information read (message 1524).
constexpr int32_t kPhoneInfoResult = 0;
constexpr int32_t kPhoneInfoFinished = 1;
constexpr int32_t kPhoneInfoStatus = 2;

// Pauses of connection set-up (ms).
constexpr uint32_t kInitStepPauseMs = 100;
constexpr uint32_t kBeforeStatusMs = 3000;
constexpr uint32_t kBeforeVersionMs = 500;
constexpr uint32_t kBeforeResetMs = 1000;

constexpr uint32_t kChannelBaud = 115200;
constexpr uint8_t kChannelByteSize = 8;
constexpr int kYearLetterBase = 1916; // 2006 gives 'Z'
constexpr int kMinTextLength = 14;    // "(AAA) NNN-NNNN"

// Operation error texts and reports.
constexpr char kErrCannotOpen[] = "Cannot Open ComPort!";
constexpr char kErrHfMode[] = "Error in changing HF mode";
constexpr char kErrStatus[] = "Error in reading phone's status in DM";
constexpr char kErrInformation[] = "Error in getting phone's information";
constexpr char kErrWrongModel[] = "This phone is not identical with this module.\nPlease select another module !";
constexpr char kErrMonth[] = "Month data error!";
constexpr char kErrMslInput[] = "input the MSL code";
constexpr char kErrMslRequest[] = "Error in requesting MSL code";
constexpr char kErrMslInvalid[] = "Invalid Device Programming Code";
constexpr char kErrPassword[] = "Password is Invalid!";
constexpr char kResponseReceived[] = "Response Received";
constexpr char kNothingResponse[] = "nothing response";
} // namespace engine
