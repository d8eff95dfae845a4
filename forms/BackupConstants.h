#pragma once

namespace corvanetov {

// Texts of the backup and restore view.
namespace BackupConstants {
constexpr const char* kItems[] = {"All Items", "Phonebook", "SMS/EMS Contents", "MMS Contents", "User Interface"};
constexpr const char* kModes[] = {"Backup", "Restore"};
constexpr char kStartCaption[] = "St&art Backup or Restore";
// Unlike the other views' question, this one ends in a single question mark.
constexpr char kStopQuestion[] = "Program is running....Would you stop anyway?";
} // namespace BackupConstants

} // namespace corvanetov
