#pragma once

#include <cstdint>

namespace corvanetov {

// Numbers the views share. Colours are 0x00BBGGRR.
namespace FormConstants {

// Title labels: 28 high, bold, black on orange.
constexpr int kTitleFontSize = 28;
constexpr uint32_t kTitleTextColor = 0x000000;
constexpr uint32_t kTitleBkColor = 0x0099FF;
// Path labels: 18 high, bold, italic, dark blue on pale yellow.
constexpr int kPathFontSize = 18;
constexpr uint32_t kPathTextColor = 0x800000;
constexpr uint32_t kPathBkColor = 0xAAE8EE;

// The title of a message box the engine gives no caption: the tool's name.
constexpr char kToolName[] = "CorvaneTOV";

// Shared by the views' start buttons, bars and phone lines.
constexpr char kStopCaption[] = "S&top";
constexpr char kStoppedStatus[] = "Stopped";
constexpr char kReady[] = "Ready...";
// A bar's text while its operation runs: seconds since the start, percentage.
constexpr char kElapsedFormat[] = "Elapsed time : %dsec....%d%%";
// The port line of the host's status bar: the port that answered, or the
// port that would not open.
constexpr char kPortConnected[] = "Com%d Connected";
constexpr char kPortCannotOpen[] = "Com%d Cannot Open";
// The phone line of the host's status bar: this and the ESN.
constexpr char kEsnPrefix[] = "ESN : ";

// Asked before a running operation is stopped.
constexpr char kStopQuestion[] = "Program is running....Would you stop anyway!!!";

} // namespace FormConstants

} // namespace corvanetov
