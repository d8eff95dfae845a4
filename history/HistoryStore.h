#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

#include "history/HistoryFilter.h"
#include "history/HistoryLocation.h"
#include "history/ServiceRecord.h"
#include "history/SqliteFile.h"

class QSqlQuery;

namespace corvanetov {

// One connection to a store of service records, SQLite or PostgreSQL, with
// the same table in both. The schema carries its version and is brought up
// to date when the store is opened. Appending is keyed by the record's
// UUID: a record sent twice is kept once.
class HistoryStore {
public:
    static constexpr int kSchemaVersion = 2;
    // How long a listing, an export or an import waits for a writer.
    static constexpr int kBusyTimeoutMs = 10000;
    // How long keeping a record waits for a busy file or a locked table
    // before the record goes to the outbox instead.
    static constexpr int kKeepWaitMs = 2000;
    static constexpr int kConnectTimeoutS = 3;
    enum class Wait { Long, Short };

    explicit HistoryStore(HistoryLocation location, Wait wait = Wait::Long);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Connects and brings the schema up to date. An SQLite file of ours
    // that is damaged is moved aside (MovedAside says where) and a new one
    // started; another program's file is refused and left as it is.
    bool Open();
    const QString& Error() const { return m_error; }
    const QString& MovedAside() const { return m_movedAside; }
    const HistoryLocation& Location() const { return m_location; }

    // added: whether the record is new to the store. A file of ours found
    // damaged by the write is moved aside and the record kept in a new one.
    bool Append(const ServiceRecord& record, bool* added = nullptr);
    // The outbox: each record waits there for the one store it was meant
    // for (HistoryLocation::Destination), which HistoryFilter::waitingFor
    // names.
    bool PrepareOutbox();
    bool AppendWaiting(const ServiceRecord& record, const QString& destination);
    bool RemoveWaiting(const QString& uuid);
    // Records in the outbox that name no store (kept by an earlier version);
    // -1 on a failed query.
    int WaitingForNoStore();
    // Many appends as one transaction (an import, a benchmark's fill).
    bool Begin() { return Exec("BEGIN"); }
    bool Commit() { return Exec("COMMIT"); }
    bool Remove(const QString& uuid);
    // Calls visit for each record the filter takes, newest first, one row
    // at a time; visit returns false to stop. False on a failed query.
    bool Query(const HistoryFilter& filter, const std::function<bool(const ServiceRecord&)>& visit);
    // The record whose UUID is or starts with id; empty with why when none
    // or several.
    std::optional<ServiceRecord> Find(const QString& id, QString* why);
    // SQLite's integrity check: "ok" when the file is sound.
    QString IntegrityCheck();
    int SchemaVersion();

private:
    bool Connect();
    bool ConnectServer();
    bool ConnectSqlite();
    bool Migrate();
    bool ApplyMigrations(int from);
    void Mark();
    bool Insert(const ServiceRecord& record, bool* added);
    bool IsDamage() const;
    bool IsForeign();
    bool MovedAsideIfDamaged();
    bool Exec(const QString& sql);
    bool ExecBound(const QString& sql, const QVariantList& values);
    bool Fail(const QSqlQuery& query);
    bool Rollback();
    static ServiceRecord FromRow(const QSqlQuery& query);
    bool Sqlite() const { return m_location.kind == HistoryLocation::Kind::Sqlite; }

    HistoryLocation m_location;
    Wait m_wait;
    SqliteFile::Owner m_owner = SqliteFile::Owner::New;
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
    QString m_nativeError;
    QString m_movedAside;
};

} // namespace corvanetov
