#pragma once

#include <QString>

#include "history/HistoryFilter.h"

namespace corvanetov {

class HistoryStore;

// Records as RFC 4180 CSV: UTF-8, a header row, CRLF line ends, fields
// quoted where they need it. Written row by row as the store gives them,
// so an export of any size holds one record at a time.
class CsvExport {
public:
    // The file appears whole or not at all. The count of records written,
    // or -1 with why.
    static qint64 Write(HistoryStore& store, const HistoryFilter& filter, const QString& path, bool showSecrets, QString* why);
    static QByteArray Row(const QStringList& fields);
};

} // namespace corvanetov
