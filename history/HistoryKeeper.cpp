#include "history/HistoryKeeper.h"

#include <QFileInfo>
#include <algorithm>

#include "history/HistoryStore.h"

namespace corvanetov {

namespace {
QString NotKept(const HistoryStore& store)
{
    return QString("The service record was not kept (%1): %2").arg(store.Location().Describe(), store.Error());
}

QString MovedAside(const HistoryStore& store)
{
    return QString("The history file %1 could not be read; it was moved aside to %2 and a new one started.")
        .arg(store.Location().path, store.MovedAside());
}
} // namespace

HistoryKeeper::HistoryKeeper(HistoryLocation location) : m_location(std::move(location)) {}

QString HistoryKeeper::Once(const QString& notice)
{
    if (notice.isEmpty() || m_told.contains(notice))
        return {};
    m_told << notice;
    return notice;
}

QStringList HistoryKeeper::Keep(const ServiceRecord& record)
{
    HistoryStore store(m_location, HistoryStore::Wait::Short);
    const bool kept = store.Open() && store.Append(record);
    QStringList notices;
    if (!store.MovedAside().isEmpty())
        notices << Once(MovedAside(store));
    if (!kept)
        notices << KeepInOutbox(record, store);
    else if (QFileInfo::exists(HistoryLocation::Outbox().path) && m_location.path != HistoryLocation::Outbox().path) {
        // The store takes records again: what waited for it goes along.
        SyncResult along;
        SendWaiting(store, along);
    }
    notices.removeAll(QString());
    return notices;
}

bool HistoryKeeper::Park(const ServiceRecord& record, HistoryStore& outbox) const
{
    return m_location.path != outbox.Location().path && outbox.Open() &&
           outbox.AppendWaiting(record, m_location.Destination());
}

bool HistoryKeeper::Park(const ServiceRecord& record) const
{
    HistoryStore outbox(HistoryLocation::Outbox());
    return Park(record, outbox);
}

QStringList HistoryKeeper::KeepInOutbox(const ServiceRecord& record, const HistoryStore& store)
{
    HistoryStore outbox(HistoryLocation::Outbox());
    if (!Park(record, outbox))
        return {Once(NotKept(store)), Once(NotKept(outbox))};
    return {Once(QString("The history store %1 cannot take the record (%2); it waits in %3 and is sent on the next "
                         "run or by corvanetov-cli history sync.")
                     .arg(m_location.Describe(), store.Error(), outbox.Location().path))};
}

HistoryKeeper::SyncResult HistoryKeeper::Sync()
{
    SyncResult result;
    if (m_location.path == HistoryLocation::Outbox().path) {
        result.error = m_location.Describe() + " is the outbox itself: name the store its records wait for";
        return result;
    }
    HistoryStore store(m_location);
    if (!store.Open()) {
        result.error = NotKept(store);
        return result;
    }
    SendWaiting(store, result);
    if (result.ok && QFileInfo::exists(HistoryLocation::Outbox().path)) {
        HistoryStore outbox(HistoryLocation::Outbox());
        result.unaddressed = outbox.Open() && outbox.PrepareOutbox() ? std::max(outbox.WaitingForNoStore(), 0) : 0;
    }
    return result;
}

// Sent, then removed: a record sent again after a crash between the two, or
// by another sync at the same time, is kept once by its UUID and counted
// once, by the one that added it.
void HistoryKeeper::SendWaiting(HistoryStore& store, SyncResult& result)
{
    result.ok = true;
    if (!QFileInfo::exists(HistoryLocation::Outbox().path))
        return;
    HistoryStore outbox(HistoryLocation::Outbox());
    QList<ServiceRecord> waiting;
    HistoryFilter filter;
    filter.waitingFor = m_location.Destination();
    filter.everyUnfinished = true;
    result.ok = outbox.Open() && outbox.PrepareOutbox() && outbox.Query(filter, [&waiting](const ServiceRecord& record) {
        waiting << record;
        return true;
    });
    for (const ServiceRecord& record : waiting) {
        bool added = false;
        result.ok = result.ok && store.Append(record, &added) && outbox.RemoveWaiting(record.uuid);
        if (!result.ok)
            break;
        ++(added ? result.sent : result.already);
    }
    if (!result.ok)
        result.error = NotKept(store.Error().isEmpty() ? outbox : store);
}

} // namespace corvanetov
