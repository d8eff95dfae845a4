#pragma once

#include <cstdint>

namespace corvanetov {

// Numbers and texts of the grid, preview, progress bar and print dialog that
// the forms and the dialogs share.
namespace WidgetConstants {

// Grid cell types.
constexpr int kCellTypeReadOnly = 5;
constexpr int kCellTypeList = 8;

// Grid actions.
constexpr int kActionPrint = 13;
constexpr int kActionCopy = 22;
constexpr int kActionCut = 23;
constexpr int kActionPaste = 24;

// Grid print layouts: the phone information grid prints across, the settings
// grid down the page.
constexpr int kPrintLayoutPortrait = 1;
constexpr int kPrintLayoutLandscape = 2;

// Grid print range kinds.
constexpr int kPrintRangeAll = 0;
constexpr int kPrintRangePages = 3;

// Look of a read-only grid cell (0x00BBGGRR): blue text on light grey.
constexpr uint32_t kReadOnlyTextColor = 0xFF0000;
constexpr uint32_t kReadOnlyBackColor = 0xDFDFDF;

// Print preview dialog.
constexpr const char* kPrintStampPrefix = "Printed by CorvaneTOV_ _ _ _ _ ";
constexpr const char* kPrintStampFormat = "%s %d-%02d-%02d %02d:%02d:%02d";
constexpr const char* kPrintModelLine = "Model : VQX-B410";
constexpr const char* kPrintLineGap = "    ";
constexpr const char* kPrintVersionPrefix = "version ";
// The foot of every printed page: "page N of M".
constexpr const char* kPrintPageFormat = "page %1 of %2";
// What a secret value (a lock code) prints as, and the box that shows it.
constexpr const char* kPrintMask = "****";
constexpr const char* kPrintShowSecrets = "Print the lock codes";

// Text progress bar.
constexpr int kProgressMinimum = 0;
constexpr int kProgressMaximum = 100;
constexpr int kBarWidthUnknown = -1;

} // namespace WidgetConstants

} // namespace corvanetov
