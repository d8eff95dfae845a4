#pragma once

#include <QStringList>

#include "history/HistoryLocation.h"
#include "history/ServiceRecord.h"

namespace corvanetov {

class HistoryStore;

// What a front end uses to keep its operations' records. A record goes to
// the store in use; while that store cannot take it (a server down, a file
// or table held by another writer past HistoryStore::kKeepWaitMs) it waits
// in the bench's outbox, marked for that store only, and is sent with the
// next record kept there or by Sync, exactly once. Keeping a record never
// fails an operation: what went wrong comes back as notices for the user,
// each said once in a keeper's life.
class HistoryKeeper {
public:
    explicit HistoryKeeper(HistoryLocation location);

    // The notices for the user; empty when all went well.
    QStringList Keep(const ServiceRecord& record);

    struct SyncResult {
        bool ok = false;
        int sent = 0;    // records the store did not have before
        int already = 0; // records it had already (sent before a crash, or by a sync at the same time)
        int unaddressed = 0; // records in the outbox that name no store, left there
        QString error;
    };
    // Sends the outbox's records meant for this keeper's store there and
    // empties the outbox of them.
    SyncResult Sync();

    const HistoryLocation& Location() const { return m_location; }

    // Puts the record straight into the outbox for this keeper's store, as
    // a tool that must end at once does; safe beside a Keep on another
    // thread. False when even the outbox cannot take it.
    bool Park(const ServiceRecord& record) const;

private:
    bool Park(const ServiceRecord& record, HistoryStore& outbox) const;
    QStringList KeepInOutbox(const ServiceRecord& record, const HistoryStore& store);
    void SendWaiting(HistoryStore& store, SyncResult& result);
    QString Once(const QString& notice);

    HistoryLocation m_location;
    QStringList m_told;
};

} // namespace corvanetov
