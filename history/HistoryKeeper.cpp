#include "history/HistoryKeeper.h"

#include <QFileInfo>

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
    if (m_location.kind == HistoryLocation::Kind::Postgres)
        return KeepOnServer(record);
    HistoryStore store(m_location);
    bool kept = store.Open() && store.Append(record);
    QStringList notices;
    if (!store.MovedAside().isEmpty())
        notices << Once(MovedAside(store));
    if (!kept)
        notices << Once(NotKept(store));
    notices.removeAll(QString());
    return notices;
}

QStringList HistoryKeeper::KeepOnServer(const ServiceRecord& record)
{
    HistoryStore server(m_location);
    if (!server.Open() || !server.Append(record))
        return KeepInOutbox(record, server.Error());
    // The server is back: what waited goes first.
    Sync();
    return {};
}

QStringList HistoryKeeper::KeepInOutbox(const ServiceRecord& record, const QString& why)
{
    HistoryStore outbox(HistoryLocation::Outbox());
    QStringList notices;
    if (!outbox.Open() || !outbox.Append(record))
        notices << Once(NotKept(outbox));
    else
        notices << Once(QString("The history server %1 cannot take the record (%2); it waits in %3 and is sent on the next "
                                "run or by corvanetov-cli history sync.")
                            .arg(m_location.Describe(), why, outbox.Location().path));
    notices.removeAll(QString());
    return notices;
}

HistoryKeeper::SyncResult HistoryKeeper::Sync()
{
    SyncResult result;
    if (m_location.kind != HistoryLocation::Kind::Postgres) {
        result.error = "The history is kept on this bench (" + m_location.Describe() + "): there is no server to send to";
        return result;
    }
    if (!QFileInfo::exists(HistoryLocation::Outbox().path)) {
        result.ok = true;
        return result;
    }
    HistoryStore outbox(HistoryLocation::Outbox());
    HistoryStore server(m_location);
    if (!outbox.Open() || !server.Open()) {
        result.error = outbox.Error().isEmpty() ? NotKept(server) : NotKept(outbox);
        return result;
    }
    QList<ServiceRecord> waiting;
    bool ok = outbox.Query({}, [&waiting](const ServiceRecord& record) {
        waiting << record;
        return true;
    });
    // Sent, then removed: a record sent again after a crash between the two
    // is kept once, by its UUID.
    for (const ServiceRecord& record : waiting) {
        if (!ok || !server.Append(record) || !outbox.Remove(record.uuid))
            break;
        ++result.sent;
    }
    ok = ok && result.sent == waiting.size();
    result.ok = ok && server.Error().isEmpty() && outbox.Error().isEmpty();
    if (!result.ok)
        result.error = server.Error().isEmpty() ? outbox.Error() : server.Error();
    return result;
}

} // namespace corvanetov
