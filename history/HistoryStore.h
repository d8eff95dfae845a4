#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

#include "history/HistoryFilter.h"
#include "history/HistoryLocation.h"
#include "history/ServiceRecord.h"

class QSqlQuery;

namespace corvanetov {

// One connection to a store of service records, SQLite or PostgreSQL, with
// the same table in both. The schema carries its version and is brought up
// to date when the store is opened. Appending is keyed by the record's
// UUID: a record sent twice is kept once.
class HistoryStore {
public:
    static constexpr int kSchemaVersion = 2;
    // How long a writer waits for another to finish before it gives up.
    static constexpr int kBusyTimeoutMs = 10000;
    static constexpr int kConnectTimeoutS = 3;

    explicit HistoryStore(HistoryLocation location);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Connects and brings the schema up to date. An SQLite file that is
    // damaged or holds another program's tables is moved aside (MovedAside
    // says where) and a new one started.
    bool Open();
    const QString& Error() const { return m_error; }
    const QString& MovedAside() const { return m_movedAside; }
    const HistoryLocation& Location() const { return m_location; }

    bool Append(const ServiceRecord& record);
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
    bool OpenSqliteFile();
    bool Migrate();
    bool ApplyMigrations(int from);
    bool IsDamage() const;
    bool IsForeign();
    void MoveAside();
    bool Exec(const QString& sql);
    bool Fail(const QSqlQuery& query);
    static ServiceRecord FromRow(const QSqlQuery& query);
    bool Sqlite() const { return m_location.kind == HistoryLocation::Kind::Sqlite; }

    HistoryLocation m_location;
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
    QString m_nativeError;
    QString m_movedAside;
};

} // namespace corvanetov
