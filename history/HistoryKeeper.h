#pragma once

#include <QStringList>

#include "history/HistoryLocation.h"
#include "history/ServiceRecord.h"

namespace corvanetov {

// What a front end uses to keep its operations' records. A record goes to
// the store in use; while a shop's server cannot be reached it waits in the
// bench's outbox and is sent with the next record or by Sync, exactly once.
// Keeping a record never fails an operation: what went wrong comes back as
// notices for the user, each said once in a keeper's life.
class HistoryKeeper {
public:
    explicit HistoryKeeper(HistoryLocation location);

    // The notices for the user; empty when all went well.
    QStringList Keep(const ServiceRecord& record);

    struct SyncResult {
        bool ok = false;
        int sent = 0;
        QString error;
    };
    // Sends the outbox's records to the server and empties it of them.
    SyncResult Sync();

    const HistoryLocation& Location() const { return m_location; }

private:
    QStringList KeepOnServer(const ServiceRecord& record);
    QStringList KeepInOutbox(const ServiceRecord& record, const QString& why);
    QString Once(const QString& notice);

    HistoryLocation m_location;
    QStringList m_told;
};

} // namespace corvanetov
