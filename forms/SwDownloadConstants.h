#pragma once

#include "forms/FormConstants.h"
#include "history/OperationRecord.h"

namespace corvanetov {

// The software download view's texts, keys and styles. Its folder and keys
// name another model of the same maker (VQX-B290), as the system has them.
namespace SwDownloadConstants {
constexpr char kStartCaption[] = "St&art Software Download";
constexpr char kRebuildCaption[] = "Re&build";
using FormConstants::kStopCaption;
constexpr char kReady[] = "Ready...";
// Each EMERGENCY option lies this far below its NORMAL one in the list.
constexpr int kEmergencyOffset = 3;
// At start, for the window's port noted as waiting in download mode.
constexpr char kWaitingAtStartFormat[] = "COM%1: %2";
constexpr char kElapsedFormat[] = "Elapsed time : %dsec....%d%%";
// The status line during a download: the step, then how far the transfer is.
constexpr char kStepAndTransfer[] = " - ";
constexpr char kNoSoftware[] = "No File - Select Software";
constexpr char kNoFont[] = "No File - Select Font file";
constexpr char kReadFailed[] = " Fail to read from %1";
constexpr char kCheckSoftware[] = "\n Please Check Software !";

// A download that keeps the handset's settings: its steps on the status
// line, and what its end box adds to the flash's own end.
constexpr char kReadingToKeep[] = "Reading the settings to keep";
constexpr char kWritingBack[] = "Writing the settings back";
constexpr char kNotFlashed[] = "The settings could not be read, so nothing was flashed:\n";
// As the download's service record says it.
constexpr const char* kWrittenBack = OperationRecord::kWrittenBack;
constexpr const char* kNotWrittenBack = OperationRecord::kNotWrittenBack;
constexpr char kNothingFlashed[] = "Nothing was flashed: ";
constexpr char kNoThread[] = "the system gave no thread to go on with";
constexpr char kUndoHint[] = "\nView > Service history keeps them: Undo there writes them.";

// The software folder below the current folder, and what is looked for there.
constexpr char kSoftwareFolder[] = "Models/VQX-B290/Software";
constexpr char kImagePattern[] = "*.bin";
// The open-file dialogs.
constexpr char kImageFilter[] = "BIN file(*.bin)";
constexpr char kDefaultSuffix[] = "BIN";
constexpr char kFileNamePattern[] = "*.BIN";

// The per-user store: read from one key, written to another.
constexpr char kReadKey[] = "Software\\CorvaneTOV\\Corvane_VQX B290";
constexpr char kWriteKey[] = "Software\\CorvaneTOV\\Corvane_VQX B290 Verizon";
constexpr char kSoftwareValue[] = "Software Download File";
constexpr char kFontValue[] = "Font Download File";
} // namespace SwDownloadConstants

} // namespace corvanetov
