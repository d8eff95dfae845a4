#include "history/HistoryStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>
#include <cerrno>
#include <unistd.h>


namespace corvanetov {

namespace {
constexpr char kColumns[] =
    "uuid, started, ended, duration_ms, bench, operator, front_end, tool_version, com_number, device_path, esn, "
    "model_code, software_version, phone_number, operation, nams, font_address, inputs, result, end_text, "
    "exit_status, bytes_written, version_after, snapshot, station_run";
constexpr int kColumnCount = 25;
// One lock for every bench that upgrades a shared server's schema at once.
constexpr qint64 kSchemaLock = 0x436f7276;

// What each schema version adds to the one before it; %1 is the type of
// bytes in the store's dialect.
const char* const kMigrations[][4] = {
    {"CREATE TABLE history_schema (version INTEGER NOT NULL)",
     "INSERT INTO history_schema (version) VALUES (0)",
     "CREATE TABLE service_records (uuid TEXT PRIMARY KEY, started TEXT NOT NULL, ended TEXT, duration_ms BIGINT, "
     "bench TEXT, operator TEXT, front_end TEXT, tool_version TEXT, com_number INTEGER, device_path TEXT, esn TEXT, "
     "model_code TEXT, software_version TEXT, phone_number TEXT, operation TEXT, nams TEXT, font_address TEXT, "
     "inputs TEXT, result TEXT, end_text TEXT, exit_status INTEGER, bytes_written BIGINT, version_after TEXT, "
     "snapshot %1)",
     "CREATE INDEX service_records_esn ON service_records (esn, started); "
     "CREATE INDEX service_records_started ON service_records (started)"},
    {"ALTER TABLE service_records ADD COLUMN station_run TEXT", nullptr, nullptr, nullptr},
};
static_assert(std::size(kMigrations) == HistoryStore::kSchemaVersion);

// An unfinished record is left out where its flash's end was kept: the same
// start, the same device, and the same ESN (an EMERGENCY flash's begins
// before the handset can tell it, so it has none).
QString NotEnded()
{
    return QString("NOT (result = '%1' AND EXISTS (SELECT 1 FROM service_records later WHERE later.started = service_records.started "
    "AND COALESCE(later.device_path, '') = COALESCE(service_records.device_path, '') AND later.result <> '%1' "
    "AND (COALESCE(service_records.esn, '') = '' OR later.esn = service_records.esn)))")
        .arg(ServiceRecord::kUnfinished);
}

constexpr char kNotOurs[] = "the file is not a history file of this tool (another program's?); it was left as it is";

// The server's code for a statement the role may not run: a bench that
// may only insert and read meets it with the first DDL of an upgrade.
constexpr char kInsufficientPrivilege[] = "42501";

// SQLite's result codes for a file that is not, or no longer, a database.
const QStringList kDamageCodes = {"11", "26"};
} // namespace

HistoryStore::HistoryStore(HistoryLocation location, Wait wait)
    : m_location(std::move(location)), m_wait(wait), m_name("history-" + QUuid::createUuid().toString(QUuid::Id128))
{
}

HistoryStore::~HistoryStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool HistoryStore::Open()
{
    if (!Sqlite())
        return Connect() && Migrate();
    QString why;
    m_owner = SqliteFile::Prepare(m_location.path, &why);
    if (!why.isEmpty()) {
        m_error = why;
        return false;
    }
    if (m_owner == SqliteFile::Owner::Foreign) {
        m_error = kNotOurs;
        return false;
    }
    if (Connect() && Migrate()) {
        Mark();
        return true;
    }
    return MovedAsideIfDamaged() && Connect() && Migrate() && (Mark(), true);
}

// A file SQLite calls damaged is moved aside only when its own check finds
// it so (a file that another tool is making at the same moment can look
// damaged for an instant), and only when it is ours: one without our mark
// may be another program's, however damaged.
bool HistoryStore::MovedAsideIfDamaged()
{
    if (!Sqlite() || !IsDamage() || !m_db.isOpen() || IntegrityCheck() == "ok")
        return false;
    if (m_owner != SqliteFile::Owner::Ours) {
        m_error += " (the file carries no mark of this tool, so it was left as it is)";
        return false;
    }
    m_db.close();
    m_movedAside = SqliteFile::MoveAside(m_location.path);
    QString why;
    m_owner = SqliteFile::Prepare(m_location.path, &why);
    m_error = why;
    return why.isEmpty();
}

// Older tools' files and new ones get the mark once they are known to be
// ours; a file the user may only read stays unmarked and is still listed.
void HistoryStore::Mark()
{
    QSqlQuery query(m_db);
    const QString mark = QString::number(SqliteFile::kApplicationId);
    if ((query.exec("PRAGMA application_id") && query.next() && query.value(0).toString() == mark) ||
        query.exec("PRAGMA application_id = " + mark))
        m_owner = SqliteFile::Owner::Ours;
}

bool HistoryStore::Connect()
{
    m_error.clear();
    m_nativeError.clear();
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(Sqlite() ? "QSQLITE" : "QPSQL", m_name);
    if (!m_db.isValid()) {
        m_error = "Qt has no driver for this store (install libqt6sql6-sqlite and libqt6sql6-psql)";
        return false;
    }
    return Sqlite() ? ConnectSqlite() : ConnectServer();
}

bool HistoryStore::ConnectServer()
{
    const QUrl& url = m_location.url;
    m_db.setDatabaseName(url.path().mid(1));
    m_db.setUserName(url.userName());
    m_db.setPassword(url.password());
    // A socket folder: postgresql://user@/database?host=/run/postgresql
    QString host = url.host().isEmpty() ? QUrlQuery(url).queryItemValue("host") : url.host();
    m_db.setHostName(host);
    m_db.setPort(url.port(-1));
    m_db.setConnectOptions(QString("connect_timeout=%1").arg(kConnectTimeoutS));
    if (!m_db.open()) {
        m_error = m_db.lastError().text().simplified();
        return false;
    }
    // A table another session holds locked, or a server too busy to answer,
    // must not hold a record's keeper for longer than it may wait.
    return m_wait == Wait::Long ||
           Exec(QString("SET statement_timeout = %1; SET lock_timeout = %1").arg(kKeepWaitMs));
}

bool HistoryStore::ConnectSqlite()
{
    QString options = QString("QSQLITE_BUSY_TIMEOUT=%1").arg(m_wait == Wait::Long ? kBusyTimeoutMs : kKeepWaitMs);
    m_db.setDatabaseName(m_location.path);
    // A file the user may only read, in a folder where SQLite cannot make
    // its shared-memory file either, is read as it lies on disk: the last
    // writer to close it wrote everything into it.
    if (::access(m_location.path.toLocal8Bit().constData(), W_OK) != 0 && (errno == EACCES || errno == EROFS)) {
        options += ";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI";
        m_db.setDatabaseName(QUrl::fromLocalFile(m_location.path).toString(QUrl::FullyEncoded) + "?immutable=1");
    }
    m_db.setConnectOptions(options);
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return false;
    }
    // In WAL mode a commit then waits for no disk flush of its own: a killed
    // program still leaves a sound file with whole records, and only a power
    // cut can take the last records back.
    return Exec("PRAGMA synchronous=NORMAL");
}

bool HistoryStore::Exec(const QString& sql)
{
    QSqlQuery query(m_db);
    for (const QString& statement : sql.split("; "))
        if (!query.exec(statement))
            return Fail(query);
    return true;
}

bool HistoryStore::Fail(const QSqlQuery& query)
{
    m_error = query.lastError().text().simplified();
    m_nativeError = query.lastError().nativeErrorCode();
    return false;
}

bool HistoryStore::IsDamage() const
{
    return kDamageCodes.contains(m_nativeError);
}

// A file of another program's: tables, but none of ours.
bool HistoryStore::IsForeign()
{
    QSqlQuery query(m_db);
    if (!query.exec("SELECT count(*), sum(name = 'history_schema') FROM sqlite_master WHERE type = 'table'") || !query.next())
        return false;
    return query.value(0).toInt() > 0 && query.value(1).toInt() == 0;
}

int HistoryStore::SchemaVersion()
{
    QSqlQuery query(m_db);
    const char* exists = Sqlite() ? "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'history_schema'"
                                  : "SELECT count(*) FROM pg_tables WHERE tablename = 'history_schema' AND schemaname = current_schema()";
    if (!query.exec(exists) || !query.next())
        return Fail(query), -1;
    if (query.value(0).toInt() == 0)
        return 0;
    if (!query.exec("SELECT version FROM history_schema") || !query.next())
        return Fail(query), -1;
    return query.value(0).toInt();
}

bool HistoryStore::Migrate()
{
    int version = SchemaVersion();
    if (version == kSchemaVersion)
        return true;
    if (version < 0) {
        if (m_nativeError == kInsufficientPrivilege)
            m_error += " (a bench's role needs SELECT on history_schema and SELECT, INSERT on service_records)";
        return false;
    }
    if (Sqlite() && version == 0 && IsForeign()) {
        m_error = kNotOurs;
        return false;
    }
    // Only now is the file known to be ours to change. Several programs on
    // one bench append at once: readers never wait for a writer, and
    // writers wait for each other.
    if (Sqlite() && !Exec("PRAGMA journal_mode=WAL"))
        return false;
    // One bench upgrades, the others wait and find it done.
    if (!Exec(Sqlite() ? "BEGIN IMMEDIATE" : QString("BEGIN; SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock)))
        return false;
    version = SchemaVersion();
    if ((version >= 0 && ApplyMigrations(version) && Exec("COMMIT")) || Rollback())
        return true;
    if (version >= 0 && m_nativeError == kInsufficientPrivilege)
        m_error = QString("the store's tables need an upgrade (schema version %1 to %2) that this bench's role may not "
                          "make: the shop's administrator must upgrade them by running this tool once as the tables' "
                          "owner, for example corvanetov-cli --history postgresql://OWNER@HOST/DATABASE history --limit 1")
                      .arg(version)
                      .arg(kSchemaVersion);
    return false;
}

// Ends a failed transaction, keeping what failed in it; false.
bool HistoryStore::Rollback()
{
    const QString error = m_error;
    const QString native = m_nativeError;
    Exec("ROLLBACK");
    m_error = error;
    m_nativeError = native;
    return false;
}

bool HistoryStore::ApplyMigrations(int from)
{
    if (from > kSchemaVersion) {
        m_error = QString("the store was made by a newer tool (schema version %1, this tool knows up to %2)")
                      .arg(from)
                      .arg(kSchemaVersion);
        return false;
    }
    const char* bytes = Sqlite() ? "BLOB" : "BYTEA";
    for (int version = from; version < kSchemaVersion; ++version) {
        for (const char* statement : kMigrations[version])
            if (statement && !Exec(QString(statement).replace("%1", bytes)))
                return false;
        if (!Exec(QString("UPDATE history_schema SET version = %1").arg(version + 1)))
            return false;
    }
    return true;
}

bool HistoryStore::Append(const ServiceRecord& record, bool* added)
{
    // A file damaged inside opens and reads its schema; only a write finds
    // the damage.
    return Insert(record, added) || (MovedAsideIfDamaged() && Connect() && Migrate() && (Mark(), Insert(record, added)));
}

bool HistoryStore::Insert(const ServiceRecord& r, bool* added)
{
    QSqlQuery query(m_db);
    QStringList marks;
    for (int i = 0; i < kColumnCount; ++i)
        marks << "?";
    query.prepare(QString("INSERT INTO service_records (%1) VALUES (%2) ON CONFLICT (uuid) DO NOTHING")
                      .arg(kColumns, marks.join(", ")));
    const QVariantList values = {r.uuid, ServiceRecord::TimeText(r.started), ServiceRecord::TimeText(r.ended),
                                 r.durationMs, r.bench, r.operatorName, r.frontEnd, r.toolVersion, r.comNumber,
                                 r.devicePath, r.esn, r.modelCode, r.softwareVersion, r.phoneNumber, r.operation, r.nams,
                                 r.fontAddress, r.InputsJson(), r.result, r.endText, r.exitStatus, r.bytesWritten,
                                 r.versionAfter, r.snapshot, r.stationRun};
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return Fail(query);
    if (added)
        *added = query.numRowsAffected() > 0;
    return true;
}

bool HistoryStore::ExecBound(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(m_db);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec() || Fail(query);
}

bool HistoryStore::Remove(const QString& uuid)
{
    return ExecBound("DELETE FROM service_records WHERE uuid = ?", {uuid});
}

bool HistoryStore::PrepareOutbox()
{
    return Exec("CREATE TABLE IF NOT EXISTS outbox_destinations (uuid TEXT PRIMARY KEY, destination TEXT NOT NULL)");
}

bool HistoryStore::AppendWaiting(const ServiceRecord& record, const QString& destination)
{
    if (!PrepareOutbox() || !Exec("BEGIN IMMEDIATE"))
        return false;
    return (Insert(record, nullptr) &&
            ExecBound("INSERT INTO outbox_destinations (uuid, destination) VALUES (?, ?) ON CONFLICT (uuid) DO NOTHING",
                      {record.uuid, destination}) &&
            Exec("COMMIT")) ||
           Rollback();
}

int HistoryStore::WaitingForNoStore()
{
    QSqlQuery query(m_db);
    if (!query.exec("SELECT count(*) FROM service_records WHERE uuid NOT IN (SELECT uuid FROM outbox_destinations)") ||
        !query.next())
        return Fail(query), -1;
    return query.value(0).toInt();
}

bool HistoryStore::RemoveWaiting(const QString& uuid)
{
    return Remove(uuid) && ExecBound("DELETE FROM outbox_destinations WHERE uuid = ?", {uuid});
}

ServiceRecord HistoryStore::FromRow(const QSqlQuery& q)
{
    ServiceRecord r;
    int i = 0;
    auto next = [&q, &i] { return q.value(i++); };
    r.uuid = next().toString();
    r.started = ServiceRecord::ParseTime(next().toString());
    r.ended = ServiceRecord::ParseTime(next().toString());
    r.durationMs = next().toLongLong();
    r.bench = next().toString();
    r.operatorName = next().toString();
    r.frontEnd = next().toString();
    r.toolVersion = next().toString();
    r.comNumber = next().toInt();
    r.devicePath = next().toString();
    r.esn = next().toString();
    r.modelCode = next().toString();
    r.softwareVersion = next().toString();
    r.phoneNumber = next().toString();
    r.operation = next().toString();
    r.nams = next().toString();
    r.fontAddress = next().toString();
    r.SetInputsJson(next().toString());
    r.result = next().toString();
    r.endText = next().toString();
    r.exitStatus = next().toInt();
    r.bytesWritten = next().toLongLong();
    r.versionAfter = next().toString();
    r.snapshot = next().toByteArray();
    r.stationRun = next().toString();
    return r;
}

bool HistoryStore::Query(const HistoryFilter& filter, const std::function<bool(const ServiceRecord&)>& visit)
{
    QStringList where;
    QVariantList values;
    auto take = [&](const QString& value, const char* condition) {
        if (!value.isEmpty()) {
            where << condition;
            values << value;
        }
    };
    if (const QStringList forms = filter.EsnForms(); !forms.isEmpty()) {
        where << "esn IN (?, ?)";
        values << forms[0] << forms[1];
    }
    take(filter.since, "started >= ?");
    take(filter.until, "started < ?");
    take(filter.operation, "operation = ?");
    take(filter.bench, "bench = ?");
    take(filter.waitingFor, "uuid IN (SELECT uuid FROM outbox_destinations WHERE destination = ?)");
    take(filter.devicePath, "device_path = ?");
    if (!filter.everyUnfinished)
        where << NotEnded();
    if (filter.failedOnly)
        where << QString("result <> '%1'").arg(ServiceRecord::kCompleted);
    QString sql = QString("SELECT %1 FROM service_records").arg(kColumns);
    if (!where.isEmpty())
        sql += " WHERE " + where.join(" AND ");
    sql += " ORDER BY started DESC, uuid";
    if (filter.limit > 0)
        sql += QString(" LIMIT %1").arg(filter.limit);
    QSqlQuery query(m_db);
    // Row by row: an export of a whole shop's records never holds them all.
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return Fail(query);
    while (query.next())
        if (!visit(FromRow(query)))
            break;
    return !query.lastError().isValid() || Fail(query);
}

std::optional<ServiceRecord> HistoryStore::Find(const QString& id, QString* why)
{
    QSqlQuery query(m_db);
    query.prepare(QString("SELECT %1 FROM service_records WHERE uuid LIKE ? LIMIT 2").arg(kColumns));
    query.addBindValue(QString(id).remove('%').remove('_').toLower() + "%");
    if (!query.exec()) {
        Fail(query);
        *why = m_error;
        return std::nullopt;
    }
    if (!query.next() || id.isEmpty()) {
        *why = "No record " + id + " in " + m_location.Describe();
        return std::nullopt;
    }
    ServiceRecord record = FromRow(query);
    if (query.next()) {
        *why = "Several records start with " + id + ": give more of the UUID";
        return std::nullopt;
    }
    return record;
}

QString HistoryStore::IntegrityCheck()
{
    QSqlQuery query(m_db);
    if (!query.exec("PRAGMA integrity_check") || !query.next())
        return query.lastError().text();
    return query.value(0).toString();
}

} // namespace corvanetov
