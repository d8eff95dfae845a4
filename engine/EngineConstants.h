#pragma once

#include <cstddef>
#include <cstdint>

namespace corvanetov {

namespace engine {
// Operation message numbers, one per view family.
constexpr int kMsgPhoneInfo = 1524;
constexpr int kMsgPrl = 1525;
constexpr int kMsgEri = 1526;
constexpr int kMsgDownload = 1527;
constexpr int kMsgNam = 1528;

// Kinds (the second parameter) of each family. Progress carries the
// percentage as its value; end carries the operation error text or a
// completion text; status carries a step name.
constexpr int32_t kNoKind = -1;
constexpr int32_t kPhoneInfoResult = 0; // the view fills its grid
constexpr int32_t kPhoneInfoFinished = 1;
constexpr int32_t kPhoneInfoStatus = 2;
constexpr int32_t kPrlProgress = 5; // first parameter: the NAM index
constexpr int32_t kPrlEnd = 6;
constexpr int32_t kPrlStatus = 7;
constexpr int32_t kEriProgress = 10; // first parameter: the NAM index
constexpr int32_t kEriEnd = 11;
constexpr int32_t kEriStatus = 12;
constexpr int32_t kDownloadProgress = 15;
constexpr int32_t kDownloadEnd = 16;
constexpr int32_t kDownloadStatus = 17;
constexpr int32_t kNamProgress = 20;
constexpr int32_t kNamEnd = 21;
constexpr int32_t kNamStatus = 22;
constexpr int32_t kNamReadDone = 23; // the settings read's own end, after a success

// Pauses of connection set-up and of the steps around an operation (ms).
constexpr uint32_t kInitStepPauseMs = 100;
constexpr uint32_t kBeforeStatusMs = 3000;
constexpr uint32_t kBeforeVersionMs = 500;
constexpr uint32_t kBeforeResetMs = 1000;
constexpr uint32_t kBetweenResetsMs = 1000;
constexpr uint32_t kAfterOfflineMs = 3000;
constexpr uint32_t kHandsetRestartMs = 15000; // after a reset, before the end report

// The roaming data writes (ms): before the first piece, after each send,
// the wait for its answer, before a resend, after an accepted piece.
constexpr uint32_t kRoamingBeforeFirstPieceMs = 2000;
constexpr uint32_t kRoamingAfterSendMs = 200;
constexpr uint32_t kRoamingAnswerTimeoutMs = 3000;
constexpr uint32_t kRoamingResendPauseMs = 50;
constexpr uint32_t kRoamingAfterPieceMs = 100;
constexpr int kRoamingResends = 20; // after the first refusal of a piece
// What a roaming write answer says in its byte 1.
constexpr size_t kRoamingStatusOffset = 1;
constexpr uint8_t kRoamingLastStored = 0;
constexpr uint8_t kRoamingPieceStored = 1;
// The NAM read and write: one NV item per request.
constexpr uint32_t kNvAnswerTimeoutMs = 2000;
constexpr uint32_t kNvResendPauseMs = 300;
constexpr uint32_t kAfterNvItemMs = 50;
constexpr int kNamResetRequests = 2;
constexpr int32_t kFullPercent = 100;
constexpr int32_t kBeforeFinalPercent = 99; // 100 belongs to the final progress report alone

constexpr int kYearLetterBase = 1916; // 2006 gives 'Z'
constexpr int kMinTextLength = 14;    // "(AAA) NNN-NNNN"
// The font start address that the font dialog offers.
constexpr uint32_t kDefaultFontStartAddress = 0x2E00000;

// Step names, sent as status texts before the steps run.
constexpr char kStepInitComPort[] = "Init ComPort";
constexpr char kStepDmMode[] = "Change to DM Mode";
constexpr char kStepOffline[] = "Change to OfflineMode";
constexpr char kStepResetting[] = "Resetting the phone";
constexpr char kStepHfMode[] = "Change Sio Mode to HF";
constexpr char kStepReadingNam[] = "Reading Nam...";
constexpr char kStepWritingNam[] = "Writing Nam";

// What an operation is doing with the handset, as a refused tool names it:
// "COM3 is busy: corvanetov (pid 4242) is flashing it".
constexpr char kActivityIdentifying[] = "reading its information";
constexpr char kActivityReadingSettings[] = "reading its settings";
constexpr char kActivityWritingSettings[] = "writing its settings";
constexpr char kActivityWritingPrl[] = "writing a PRL into it";
constexpr char kActivityWritingEri[] = "writing an ERI into it";
constexpr char kActivityFlashing[] = "flashing it";
constexpr char kActivityRebuilding[] = "rebuilding it";

// Operation error texts and reports.
constexpr char kErrCannotOpen[] = "Cannot Open ComPort!";
constexpr char kErrLineLost[] = "The line to the handset was lost (cable pulled or device gone).";
constexpr char kErrHfMode[] = "Error in changing HF mode";
constexpr char kErrStatus[] = "Error in reading phone's status in DM";
constexpr char kErrInformation[] = "Error in getting phone's information";
constexpr char kErrWrongModel[] = "This phone is not identical with this module.\nPlease select another module !";
constexpr char kErrMonth[] = "Month data error!";
constexpr char kErrMslInput[] = "input the MSL code";
constexpr char kErrMslRequest[] = "Error in requesting MSL code";
constexpr char kErrMslInvalid[] = "Invalid Device Programming Code";
constexpr char kErrPassword[] = "Password is Invalid!";
constexpr char kErrOffline[] = "Error in changing mode to OFFLINE";
// An operation that an exception ended, with the exception's own words.
constexpr char kErrUnexpectedFault[] = "The operation ended on an unexpected fault: ";
constexpr char kUnknownFault[] = "of unknown kind";

// The roaming programming's texts, PRL and ERI, per NAM where they name one.
constexpr const char* kWritePrlToNam[] = {"Write Prl to NAM1", "Write Prl to NAM2"};
constexpr const char* kWriteEriToNam[] = {"Write Eri to NAM1", "Write Eri to NAM2"};
constexpr const char* kErrLoadingPrl[] = {"Error in loading PRL1 file", "Error in loading PRL2 file"};
constexpr const char* kErrLoadingEri[] = {"Error in loading ERI1 file", "Error in loading ERI2 file"};
constexpr char kErrWritingPrl[] = "Error in writing PRL";
constexpr char kErrWritingEri[] = "Error in writing ERI";
constexpr char kNam1WrittenNam2Failed[] = "NAM1 written, NAM2 failed: ";
constexpr char kNam1FailedNam2Written[] = "NAM1 failed, NAM2 written: ";
constexpr char kCompletedPrl[] = "Completed PRL Programming";
constexpr char kCompletedEri[] = "Completed ERI Programming";

constexpr char kErrReadingNam[] = "Error in reading NAM";
constexpr char kErrWritingNam[] = "Error in writing NAM";
constexpr char kReadNamCompleted[] = "Completed Reading from Phone";
constexpr char kWriteNamCompleted[] = "Completed Writing To Phone";
constexpr char kResponseReceived[] = "Response Received";
constexpr char kNothingResponse[] = "nothing response";

// The software download sequence and the flash loader's protocol.
constexpr int kDownloadOptions = 6; // 0 to 5
// The options as the user chooses them, in their order.
constexpr const char* kDownloadOptionNames[kDownloadOptions] = {"NORMAL(Phone)",    "NORMAL(Phone + FONT)",    "NORMAL(FONT)",
                                                                "EMERGENCY(Phone)", "EMERGENCY(Phone + FONT)", "EMERGENCY(FONT)"};
constexpr char kCodeMagic[] = "CODE";
constexpr uint32_t kSmallImageLimit = 0x4FFFF;   // a code image of at most this many bytes has no main part
constexpr uint32_t kBootPartSizeOffset = 4;      // two-part test: the 32-bit value here
constexpr uint32_t kImageVersionOffset = 0x10020;
constexpr uint32_t kBootStartMarker = 0xFFFF0000; // first value of the boot pass's start request
constexpr uint32_t kBootRegionSize = 0x10000;     // the boot pass erases and programs this much from 0
constexpr uint8_t kErasedFlashByte = 0xFF;        // block bytes past an image's end

constexpr uint32_t kFlashRequestTimeoutMs = 2000;
constexpr uint32_t kFlashRetryPauseMs = 200;
constexpr uint32_t kFlashStepPauseMs = 100;
constexpr uint32_t kBeforeMainCopyMs = 3000; // in place of the 100 ms before the main pass's copy
constexpr uint32_t kEraseTimeoutMs = 150000;
constexpr uint32_t kEraseRetryPauseMs = 1000;
constexpr int kEraseAttempts = 2;
constexpr uint32_t kAroundFlashingTextMs = 1000;
constexpr uint32_t kBlockTimeoutMs = 3000;
// A block the loader keeps asking for again is given up after this many
// sends: a loader that never takes it would otherwise keep the tool forever.
constexpr int kMaxBlockSends = 10;
constexpr uint32_t kBeforeRebootMs = 1000;
constexpr uint32_t kRebootTimeoutMs = 3000;
constexpr uint32_t kRebootRetryPauseMs = 1000;
constexpr uint32_t kDownloadModeTimeoutMs = 3000;
constexpr uint32_t kAfterDownloadModeMs = 2500;
constexpr uint32_t kDownloadModeRestartMs = 10000;
constexpr uint32_t kAfterFlashingMs = 15000;
constexpr uint32_t kAfterFlashingClosedMs = 10000;

constexpr char kStepDownloadMode[] = "Changing D/L Mode";
// The held connection keeps every other client off the handset while it
// restarts, unless the server loses its port meanwhile.
constexpr char kNetworkRestartWarning[] =
    "Warning: over a network link, another client can take the handset while it restarts into download mode "
    "if the server loses its port meanwhile (a USB handset)";
constexpr char kStepDownloadStart[] = "Download Start";
constexpr char kRequestStartOk[] = "Request Start OK";
constexpr char kRequestCopyOk[] = "Request Copy OK";
constexpr char kRequestJumpOk[] = "Request Jump OK";
constexpr char kRequestStart2Ok[] = "Request Start2 OK";
constexpr char kErasingBoot[] = "Erasing Boot image";
constexpr char kErasingMain[] = "Erasing Main Image";
constexpr char kCodeFlashing[] = "Code Flashing....";
constexpr char kProgrammingBoot[] = "Flash Programming of Boot";
constexpr char kProgrammingMain[] = "Flash Programming of Main";
constexpr char kFontFlashing[] = "Font Flashing....";
constexpr char kRebooting[] = "Rebooting phone";
constexpr char kFlashingDone[] = "Completed Flash Programming";
// After the flash the handset is identified again, running its new software.
constexpr char kStepIdentifyAfterFlash[] = "Identifying the restarted phone";
constexpr char kNowRunning[] = "Now running ";
constexpr char kErrNotBack[] = "The handset did not come back after its restart: ";
// Another handset answered where the job's was (swapped in its slot).
constexpr char kErrAnotherHandset[] = "Another handset answers here (ESN %s); the job's handset has ESN %s";
// A handset left in download mode answers only the flash loader.
constexpr char kWaitingInDownloadMode[] =
    "The handset is waiting in download mode: flash it with an EMERGENCY option to recover it";
constexpr char kMayWaitInDownloadMode[] =
    "The handset may be waiting in download mode after an unfinished flash: flash it with an EMERGENCY option";

constexpr char kErrInvalidOption[] = "Invalid Download Option!";
constexpr char kErrRequestStart[] = "RequestStart Error!";
// Beside it, when the handset answered the loader's start as a diagnostic command.
constexpr char kNotInDownloadModeHint[] = "This handset is not in download mode: choose a NORMAL option";
constexpr char kErrRequestVersion[] = "Request Version Error!";
constexpr char kErrRequestCopy[] = "RequestCopy Error!";
constexpr char kErrRequestMode[] = "RequestMode Error!";
constexpr char kErrRequestJump[] = "RequestJump Error!";
constexpr char kErrErase[] = "Erase Error!";
constexpr char kErrBlock[] = "Connection or Timeout Error!";
constexpr char kErrDownloadCancelled[] = "Download Cancelled..";
constexpr char kErrLoadBin[] = "Error in loading Bin file";
constexpr char kErrLoadBinary[] = "Error in loading Binary file";
constexpr char kErrLoadFont[] = "Error in loading Font file";
constexpr char kErrFontPastEnd[] = "The font does not fit between its start address and the end of the flash";

// The rebuild over the boot loader's UART link.
constexpr uint32_t kBootTimeoutMs = 2000;
constexpr uint32_t kBootRetryPauseMs = 200;
constexpr uint32_t kBetweenBootCommandsMs = 1000;
constexpr uint32_t kLastBootTimeoutMs = 1000;
constexpr uint32_t kRebuildSettleMs = 60000;
constexpr char kStepRebuilding[] = "Rebuilding...";
constexpr char kErrPortOpen[] = "Port Open Fail..";
constexpr char kErrAutoTest[] = "Error in Auto test";
constexpr char kErrSuspend[] = "Error in Suspend";
constexpr char kRebuildDone[] = "Rebuilding Completed...";
} // namespace engine

} // namespace corvanetov
