#include "history/CsvExport.h"

#include <QSaveFile>

#include "history/HistoryStore.h"

namespace corvanetov {

QByteArray CsvExport::Row(const QStringList& fields)
{
    QByteArray row;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QByteArray field = fields[i].toUtf8();
        if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r'))
            field = '"' + field.replace("\"", "\"\"") + '"';
        row += (i ? "," : "") + field;
    }
    return row + "\r\n";
}

qint64 CsvExport::Write(HistoryStore& store, const HistoryFilter& filter, const QString& path, bool showSecrets, QString* why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = path + ": " + file.errorString();
        return -1;
    }
    file.write(Row(ServiceRecord::FieldNames()));
    qint64 count = 0;
    bool read = store.Query(filter, [&](const ServiceRecord& record) {
        ++count;
        return file.write(Row(record.FieldValues(showSecrets))) >= 0;
    });
    if (!read) {
        *why = store.Error();
        file.cancelWriting();
        return -1;
    }
    if (!file.commit()) {
        *why = path + ": " + file.errorString();
        return -1;
    }
    return count;
}

} // namespace corvanetov
