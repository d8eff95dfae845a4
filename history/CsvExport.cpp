#include "history/CsvExport.h"

#include <QFile>
#include <QRegularExpression>

#include "history/HistoryStore.h"
#include "platform/FileSave.h"

namespace corvanetov {

namespace {
// Rows go to the file in pieces of about this size.
constexpr qsizetype kPieceBytes = 64 * 1024;
const QByteArray kFormulaStarts = QByteArrayLiteral("=+-@\t\r");

bool IsNumber(const QByteArray& field)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+(\\.[0-9]+)?$"));
    return number.match(QString::fromLatin1(field)).hasMatch();
}
} // namespace

// A spreadsheet runs a cell that starts like a formula: a handset's text
// ("=HYPERLINK(...)" as its version) must stay text, and a leading
// apostrophe makes it so. A number, negative or not, stays a number.
QByteArray CsvExport::Field(QByteArray field)
{
    if (!field.isEmpty() && kFormulaStarts.contains(field[0]) && !IsNumber(field))
        field.prepend('\'');
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r'))
        field = '"' + field.replace("\"", "\"\"") + '"';
    return field;
}

QByteArray CsvExport::Row(const QStringList& fields)
{
    QByteArray row;
    for (qsizetype i = 0; i < fields.size(); ++i)
        row += (i ? "," : "") + Field(fields[i].toUtf8());
    return row + "\r\n";
}

qint64 CsvExport::Write(HistoryStore& store, const HistoryFilter& filter, const QString& path, bool showSecrets, QString* why)
{
    qint64 count = 0;
    bool read = true;
    std::string reason;
    const bool saved = FileSave::Replace(QFile::encodeName(path).toStdString(), [&](int fd) {
        QByteArray piece = Row(ServiceRecord::FieldNames());
        bool written = true;
        read = store.Query(filter, [&](const ServiceRecord& record) {
            ++count;
            piece += Row(record.FieldValues(showSecrets));
            if (piece.size() >= kPieceBytes) {
                written = FileSave::WriteAll(fd, piece.constData(), size_t(piece.size()));
                piece.clear();
            }
            return written;
        });
        return read && written && FileSave::WriteAll(fd, piece.constData(), size_t(piece.size()));
    }, reason);
    if (saved)
        return count;
    *why = read ? QString::fromStdString(reason) : store.Error();
    return -1;
}

} // namespace corvanetov
