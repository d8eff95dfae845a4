#include "history/HistoryFilter.h"

#include <QDateTime>

#include "history/ServiceRecord.h"

namespace corvanetov {

std::optional<QString> HistoryFilter::Bound(const QString& text, bool upper)
{
    QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid())
        return ServiceRecord::TimeText(QDateTime(upper ? day.addDays(1) : day, QTime(0, 0), Qt::UTC));
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    // A time without a zone is the bench's local time.
    return ServiceRecord::TimeText(upper ? time.addMSecs(1) : time);
}

} // namespace corvanetov
