#pragma once

#include <QString>

#include "history/HistoryFilter.h"

namespace corvanetov {

class HistoryStore;

// Records as RFC 4180 CSV: UTF-8, a header row, CRLF line ends, fields
// quoted where they need it, text that a spreadsheet would run as a formula
// made plain text. Written piece by piece as the store gives the rows, so
// an export of any size holds a few records at a time.
class CsvExport {
public:
    // Through the tool's own save (platform/FileSave): the file appears
    // whole or not at all, only over a regular file or a new name, and a new
    // file is the user's alone, as it may hold lock codes. The count of
    // records written, or -1 with why.
    static qint64 Write(HistoryStore& store, const HistoryFilter& filter, const QString& path, bool showSecrets, QString* why);
    static QByteArray Row(const QStringList& fields);

private:
    static QByteArray Field(QByteArray field);
};

} // namespace corvanetov
