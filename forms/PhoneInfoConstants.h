#pragma once

#include <cstdint>

#include "forms/FormConstants.h"

namespace corvanetov {

namespace PhoneInfoConstants {
using FormConstants::kStopCaption;
constexpr char kReadCaption[] = "&Read General Information";
constexpr char kReadingStatus[] = "Reading Phone Info";
using FormConstants::kPortConnected;
constexpr char kDisconnected[] = "Disconnected";
constexpr char kSeveralListedFormat[] = "%1 handsets are listed: choose one under Setup > Port Setting";
constexpr char kListEnd[] = "END";
// What the view says besides the system's texts, so that nothing shown
// describes a handset that may no longer be the one attached: the status
// after a stop, and the marks of results from an earlier read.
constexpr char kReadAtFormat[] = "Read at %1";
constexpr char kLastReadFormat[] = "From the last read at %1";
constexpr char kEsnLastReadFormat[] = "%1 (last read %2)";
constexpr char kReadTimeFormat[] = "HH:mm:ss";
constexpr uint32_t kEarlierReadTextColor = 0x808080; // grey (0x00BBGGRR)
// Header texts and row labels, each list closed by the marker.
constexpr const char* kHeaders[] = {"Items", "Info", kListEnd};
constexpr const char* kRowLabels[] = {"Software Version", "Hardware Version", kListEnd};

constexpr int kColumns = 2;
constexpr int kRows = 2;
constexpr double kLabelColumnWidth = 40;
constexpr double kInfoColumnWidth = 50;
constexpr double kRowHeight = 50;
constexpr int kPrintLayout = 2;
constexpr unsigned kPortSearchPeriodMs = 1000;
} // namespace PhoneInfoConstants

} // namespace corvanetov
