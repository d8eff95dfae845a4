#pragma once

#include <cstdint>

#include "forms/FormConstants.h"

namespace corvanetov {

// Texts and numbers of the settings view. Colours are 0x00BBGGRR.
namespace SettingsConstants {
// The tree's one group, and the label over the grid while it is shown.
constexpr char kNamEntry[] = "Nam";
// Its mnemonic takes the focus into the grid.
constexpr char kNamLabel[] = "&Nam1";
constexpr int kGroupLabelFontSize = 15;
constexpr uint32_t kGroupLabelTextColor = 0x000000;
constexpr uint32_t kGroupLabelBkColor = 0xFFFFFF;

// The grid: item names and values.
constexpr int kColumns = 2;
constexpr int kRows = 50;
constexpr int kNameColumn = 1;
constexpr int kValueColumn = 2;
constexpr double kNameColumnWidth = 25;
constexpr double kValueColumnWidth = 20;
constexpr const char* kHeaders[] = {"NAM1", "Settings"};

// The progress bar while idle and while an operation runs.
using FormConstants::kElapsedFormat;
using FormConstants::kReady;
constexpr char kWritingStatus[] = "Writing Phone...";

// A value cell the handset would not take as shown, and one it would.
constexpr uint32_t kRefusedBackColor = 0xC0C0FF;
constexpr uint32_t kValueBackColor = 0xFFFFFF;
constexpr char kNothingWritten[] = "Nothing was written to the phone: these values are not what it takes.";
// A write reads what it replaces first, for its service record's snapshot.
constexpr char kNotReadToKeep[] = "The settings on the phone could not be read to keep for undo, so nothing was written:\n";
constexpr char kNoThread[] = "the system gave no thread to go on with";
constexpr char kNothingSaved[] = "Nothing was saved: these values do not fit a settings file.";

// The questions before a write and before a file replaces edits; No is the
// default answer of each.
constexpr char kWriteQuestion[] = "Write these settings to the phone?";
constexpr char kChangeFormat[] = "%1: %2 \u2192 %3";
constexpr char kNoChanges[] = "No value differs from the last read or the opened file.";
constexpr char kOpenOverEdits[] = "The grid holds edits that are neither saved nor written. Open a file over them?";
constexpr char kSavedFormat[] = "Settings saved to %1";

// Refusals before any values are present.
constexpr char kWriteBeforeData[] = "First read from phone or file !";
constexpr char kSaveBeforeData[] = "First read from phone or file!";

// Settings files: the file dialogs' filters and the folder they start in,
// below the current folder.
constexpr char kOpenFilter[] = "CORVANE TOV (*.mmc)";
constexpr char kSaveFilter[] = "TOV Data(*.mmc)";
constexpr char kDefaultSuffix[] = "mmc";
constexpr char kSettingsFolder[] = "Models/VQX-B410/Settings";
} // namespace SettingsConstants

} // namespace corvanetov
