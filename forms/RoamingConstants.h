#pragma once

namespace corvanetov {

// Texts and numbers of the PRL and ERI download views.
namespace RoamingConstants {

constexpr const char* kOptions[] = {"NAM1 ONLY", "NAM2 ONLY", "BOTH"};
constexpr int kNams = 2;

constexpr char kSkipped[] = "Skipped...not selected...";
constexpr int kSkippedPosition = 100;
// How a chosen NAM's bar ends: written whole, or not.
constexpr char kDone[] = "Done";
constexpr char kNotWritten[] = "Not written";
constexpr int kFullPercent = 100;

// Model folders below the current folder.
constexpr char kPrlFolder[] = "Models/VQX-B410/PRL";
constexpr char kEriFolder[] = "Models/VQX-B410/ERI";

constexpr char kStartPrl[] = "St&art PRL Download";
constexpr char kStartEri[] = "St&art ERI Download";
constexpr const char* kPrlValues[] = {"NAM1 PRL File", "NAM2 PRL File"};
constexpr const char* kEriValues[] = {"NAM1 ERI File", "NAM2 ERI File"};
constexpr char kPrlPattern[] = "*.prl";
constexpr char kEriPattern[] = "*.bin";
// A NAM with nothing chosen: the ERI view says so; the PRL view names the
// model folder's wildcard, which opens nothing.
constexpr char kEriNoFile[] = "No File - Select ERI File";
constexpr char kCannotOpenPrl[] = "Cannot Open prl file!";
constexpr char kCannotOpenEri[] = "Cannot Open bin file!";

// The file-open dialogs.
constexpr char kPrlSuffix[] = "PRL";
constexpr char kEriSuffix[] = "BIN";
constexpr char kPrlInitialName[] = "*.PRL";
constexpr char kEriInitialName[] = "*.BIN";
constexpr char kPrlFilter[] = "PRL file(*.prl)";
constexpr char kEriFilter[] = "BIN file(*.bin)";

} // namespace RoamingConstants

} // namespace corvanetov
