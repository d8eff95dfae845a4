#include "history/HistoryFilter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <tuple>

#include "history/ServiceRecord.h"

namespace corvanetov {

// Qt reads a date from the start of any text ("2026-12-07' OR 1=1", or a
// time as its midnight): the whole text must be a date or a time.
std::optional<QString> HistoryFilter::Bound(const QString& text, bool upper)
{
    static const QRegularExpression iso(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}([T ]\\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,3})?)?(Z|[+-]\\d{2}(:?\\d{2})?)?)?$"));
    const QRegularExpressionMatch match = iso.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    if (match.capturedLength(1) == 0) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (!day.isValid())
            return std::nullopt;
        return ServiceRecord::TimeText(QDateTime(upper ? day.addDays(1) : day, QTime(0, 0), Qt::UTC));
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    // A time without a zone is the bench's local time.
    return ServiceRecord::TimeText(upper ? time.addMSecs(1) : time);
}

bool HistoryFilter::TakeDates(const QString& sinceText, const QString& untilText, QString* notADate)
{
    for (auto [text, upper, bound] : {std::tuple{sinceText, false, &since}, std::tuple{untilText, true, &until}}) {
        if (text.isEmpty())
            continue;
        std::optional<QString> time = Bound(text, upper);
        if (!time) {
            *notADate = text;
            return false;
        }
        *bound = *time;
    }
    return true;
}

QStringList HistoryFilter::EsnForms() const
{
    if (esn.isEmpty())
        return {};
    return {ServiceRecord::FullEsn(esn).toUpper(), ServiceRecord::ShortEsn(esn).toUpper()};
}

} // namespace corvanetov
