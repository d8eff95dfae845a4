#include "cli/CliHistory.h"

#include <CLI/CLI.hpp>
#include <QJsonDocument>
#include <cstdio>
#include <iostream>

#include "cli/CliApp.h"
#include "cli/CliSettings.h"
#include "history/CsvExport.h"
#include "history/HistoryStore.h"
#include "nv/NvDoc.h"
#include "platform/FileSave.h"

namespace corvanetov {

namespace {
constexpr char kTableRow[] = "%-24s  %-36s  %-22s  %-10s  %-8s  %-12s  %s\n";

std::string Std(const QString& text)
{
    return text.toStdString();
}
} // namespace

void CliHistory::Register(CLI::App& app)
{
    m_history = app.add_subcommand("history", "the service records: every operation on every handset, newest first");
    m_history->require_subcommand(0, 1);
    m_history->add_option("--esn", m_esn, "only this handset's records");
    m_history->add_option("--since", m_since, "only records started on or after DATE (2026-12-07 or an ISO 8601 time)");
    m_history->add_option("--until", m_until, "only records started up to DATE (a date takes its whole day)");
    m_history->add_option("--operation", m_operation, "only this operation (identify, settings write, flash option 1, ...)");
    m_history->add_flag("--failed", m_failed, "only records that did not complete");
    m_history->add_option("--bench", m_bench, "only records made on this bench (host name)");
    m_history->add_option("--limit", m_limit, "at most N records")->check(CLI::PositiveNumber);
    m_history->add_flag("--show-secrets", m_showSecrets, "show lock codes in snapshots instead of ****");
    m_show = m_history->add_subcommand("show", "print one record in full");
    m_undo = m_history->add_subcommand("undo", "write a record's settings snapshot back to the same handset");
    for (CLI::App* command : {m_show, m_undo})
        command->add_option("ID", m_id, "the record's UUID, or its first characters")->required();
    m_export = m_history->add_subcommand("export", "write the records the filters take as CSV (RFC 4180, UTF-8)");
    m_export->add_option("--csv", m_csv, "the CSV file")->required();
    m_sync = m_history->add_subcommand("sync", "send the records waiting in this bench's outbox to the server");
    m_where = m_history->add_subcommand("where", "name the store in use");
}

std::optional<int> CliHistory::Run()
{
    if (!m_history->parsed())
        return std::nullopt;
    if (m_show->parsed())
        return Show();
    if (m_export->parsed())
        return Export();
    if (m_sync->parsed())
        return Sync();
    if (m_where->parsed())
        return Where();
    if (m_undo->parsed())
        return Undo();
    return List();
}

bool CliHistory::Open(HistoryStore& store) const
{
    if (store.Open()) {
        if (!store.MovedAside().isEmpty())
            std::cerr << "The history file could not be read; it was moved aside to " << Std(store.MovedAside())
                      << " and a new one started." << std::endl;
        return true;
    }
    std::cerr << "The history cannot be read (" << Std(store.Location().Describe()) << "): " << Std(store.Error()) << std::endl;
    return false;
}

std::optional<HistoryFilter> CliHistory::Filter() const
{
    HistoryFilter filter;
    filter.esn = QString::fromStdString(m_esn);
    filter.operation = QString::fromStdString(m_operation);
    filter.bench = QString::fromStdString(m_bench);
    filter.failedOnly = m_failed;
    filter.limit = m_limit;
    QString notADate;
    if (!filter.TakeDates(QString::fromStdString(m_since), QString::fromStdString(m_until), &notADate)) {
        std::cerr << Std(notADate) << ": not a date (2026-12-07, or 2026-12-07T14:30:00Z)" << std::endl;
        return std::nullopt;
    }
    return filter;
}

int CliHistory::OnFiltered(const std::function<int(HistoryStore&, const HistoryFilter&)>& work) const
{
    std::optional<HistoryFilter> filter = Filter();
    if (!filter)
        return CliApp::kExitUsage;
    HistoryStore store(m_app.History().Location());
    if (!Open(store))
        return CliApp::kExitFailed;
    return work(store, *filter);
}

int CliHistory::List()
{
    return OnFiltered([this](HistoryStore& store, const HistoryFilter& filter) {
        bool ok = true;
        PrintTable(store, filter, ok);
        if (!ok)
            std::cerr << "The history cannot be read: " << Std(store.Error()) << std::endl;
        return ok ? CliApp::kExitOk : CliApp::kExitFailed;
    });
}

void CliHistory::PrintTable(HistoryStore& store, const HistoryFilter& filter, bool& ok) const
{
    const bool json = m_app.Json();
    if (!json)
        std::printf(kTableRow, "STARTED (UTC)", "UUID", "OPERATION", "RESULT", "ESN", "BENCH", "END");
    ok = store.Query(filter, [&](const ServiceRecord& record) {
        if (json)
            std::printf("%s\n", QJsonDocument(record.ToJson(m_showSecrets)).toJson(QJsonDocument::Compact).constData());
        else
            std::printf(kTableRow, Std(ServiceRecord::TimeText(record.started)).c_str(), Std(record.uuid).c_str(),
                        Std(record.operation).c_str(), Std(record.result).c_str(), Std(record.esn).c_str(),
                        Std(record.bench).c_str(), Std(record.endText.simplified()).c_str());
        return true;
    });
}

int CliHistory::Show()
{
    HistoryStore store(m_app.History().Location());
    if (!Open(store))
        return CliApp::kExitFailed;
    QString why;
    std::optional<ServiceRecord> record = store.Find(QString::fromStdString(m_id), &why);
    if (!record) {
        std::cerr << Std(why) << std::endl;
        return CliApp::kExitFailed;
    }
    if (m_app.Json()) {
        std::printf("%s\n", QJsonDocument(record->ToJson(m_showSecrets)).toJson(QJsonDocument::Compact).constData());
        return CliApp::kExitOk;
    }
    const QStringList names = ServiceRecord::FieldNames();
    const QStringList values = record->FieldValues(m_showSecrets);
    for (qsizetype i = 0; i < names.size(); ++i)
        std::printf("%-17s %s\n", Std(names[i] + ":").c_str(), Std(values[i]).c_str());
    return CliApp::kExitOk;
}

int CliHistory::Export()
{
    // Asked before the store is opened: a refused file leaves everything
    // as it was, the bench's history file included.
    if (const std::string refusal = FileSave::Refusal(m_csv); !refusal.empty()) {
        std::cerr << "The export failed: " << refusal << std::endl;
        return CliApp::kExitUsage;
    }
    return OnFiltered([this](HistoryStore& store, const HistoryFilter& filter) {
        QString why;
        qint64 count = CsvExport::Write(store, filter, QString::fromStdString(m_csv), m_showSecrets, &why);
        if (count < 0) {
            std::cerr << "The export failed: " << Std(why) << std::endl;
            return CliApp::kExitFailed;
        }
        std::cerr << count << " records written to " << m_csv << std::endl;
        return CliApp::kExitOk;
    });
}

int CliHistory::Sync()
{
    HistoryKeeper::SyncResult result = m_app.History().Sync();
    if (!result.ok) {
        std::cerr << Std(result.error) << std::endl;
        return CliApp::kExitFailed;
    }
    std::cerr << result.sent << " records sent to " << Std(m_app.History().Location().Describe());
    if (result.already > 0)
        std::cerr << "; " << result.already << " more it had already";
    std::cerr << std::endl;
    if (result.unaddressed > 0)
        std::cerr << result.unaddressed << " records kept in " << Std(HistoryLocation::Outbox().path)
                  << " by an earlier version name no store and stay there" << std::endl;
    return CliApp::kExitOk;
}

int CliHistory::Where()
{
    const HistoryLocation& location = m_app.History().Location();
    std::printf("%s\n", Std(location.Describe()).c_str());
    std::printf("outbox: %s\n", Std(HistoryLocation::Outbox().path).c_str());
    return CliApp::kExitOk;
}

// The snapshot goes back only to the handset it came from, and only after
// the settings it replaces were read, so that the undo is undone the same way.
int CliHistory::Undo()
{
    HistoryStore store(m_app.History().Location());
    if (!Open(store))
        return CliApp::kExitFailed;
    QString why;
    std::optional<ServiceRecord> undone = store.Find(QString::fromStdString(m_id), &why);
    if (undone && undone->snapshot.isEmpty())
        why = "Record " + undone->uuid + " (" + undone->operation + ") has no settings snapshot: there is nothing to undo.";
    if (!undone || undone->snapshot.isEmpty()) {
        std::cerr << Std(why) << std::endl;
        return CliApp::kExitUsage;
    }
    NvDoc doc;
    doc.Load(reinterpret_cast<const uint8_t*>(undone->snapshot.constData()), size_t(undone->snapshot.size()));
    ServiceRecord record = CliApp::BeginRecord("history undo");
    record.inputs << RecordInput{"record", undone->uuid, -1, {}};
    return m_app.Keep(record, CliSettings::WriteKeepingSnapshot(m_app, doc, record, undone->esn));
}

} // namespace corvanetov
