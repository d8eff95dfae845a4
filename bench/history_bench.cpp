// What keeping service records costs, as ratios measured in one run: the
// record of an identification against the identification itself (time
// scale 0.05, the simulated handset), a listing of one handset's records
// out of 100 000, an export of all of them, whose memory must stay flat,
// the command line's identification with its store held by another writer
// against the same with the store free, and sixteen writers at once.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "comm/PortResolver.h"
#include "engine/ContextGuards.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/PhoneInfoRead.h"
#include "history/CsvExport.h"
#include "history/HistoryKeeper.h"
#include "history/HistoryStore.h"
#include "history/OperationRecord.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

using namespace corvanetov;
namespace fs = std::filesystem;

namespace {
constexpr double kTimeScale = 0.05;
constexpr int kRuns = 15;
constexpr double kRecordBudgetPercent = 2.0;
constexpr double kRecordBudgetMs = 5.0;
constexpr int kRecords = 100000;
constexpr int kHandsets = 1000;
constexpr double kListingBudgetMs = 50.0;
// An export may hold a few rows and the driver's page cache, never the file.
constexpr double kExportMemoryBudgetMiB = 16.0;
// A held store may cost the technician nothing he sees: the job's result
// comes before its record is kept.
constexpr double kHeldStoreBudgetRatio = 1.05;
constexpr int kJobRuns = 9;
constexpr int kWriters = 16;
constexpr int kWrites = 50;

double Milliseconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The process's peak resident memory, in MiB, since the last reset.
double PeakMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

bool Verdict(const char* what, double value, double budget, const char* unit)
{
    bool ok = value <= budget;
    std::printf("%-58s %9.2f %s (budget %.2f) %s\n", what, value, unit, budget, ok ? "ok" : "OVER");
    return ok;
}

ServiceRecord Filler(int i)
{
    ServiceRecord record = OperationRecord::Begin("cli", i % 3 ? "identify" : "settings write");
    record.esn = QString::asprintf("%08X", 0x10000000 + i % kHandsets);
    record.started = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 60);
    record.result = i % 7 ? ServiceRecord::kCompleted : ServiceRecord::kFailed;
    record.endText = "Completed Writing To Phone";
    record.devicePath = "/dev/serial/by-id/usb-Corvane_VQX-B410_qxcdmdm-if02-port0";
    static const RecordInput settings = OperationRecord::FileInput("settings", "/etc/hostname");
    record.inputs = {settings};
    return record;
}

// The identification's own time against the time its record takes.
bool Recording(const fs::path& folder)
{
    ChildProcess handset;
    std::string path = handset.Start({VQXB410_SIM_PATH}, {"CORVANETOV_TIME_SCALE=" + std::to_string(kTimeScale)});
    PortResolver::Instance().Set([path](uint8_t) { return path; });
    Pacing::Instance().SetTimeScale(kTimeScale);
    OperationContext::Instance().SetSelectedPort(1);
    NvDoc doc;
    const ScopedNvDocument documentInstalled(&doc);
    HistoryKeeper keeper(HistoryLocation::Sqlite(QString::fromStdString((folder / "history.sqlite").string())));
    std::vector<double> identify, record;
    for (int run = 0; run < kRuns; ++run) {
        OperationRecorder recorder(OperationRecorder::OnEnd::Continue);
        const ScopedTarget target(&recorder);
        ServiceRecord made = OperationRecord::Begin("cli", "identify");
        identify.push_back(Milliseconds(&PhoneInfoRead::Run));
        record.push_back(Milliseconds([&] {
            OperationRecord::Finish(made, {false, recorder.Succeeded(), recorder.EndText(), 0, recorder.Messages(), {}});
            keeper.Keep(made);
        }));
    }
    PortResolver::Instance().Set(nullptr);
    const double share = 100.0 * Median(record) / Median(identify);
    std::printf("identification at time scale %.2f: median %.1f ms\n", kTimeScale, Median(identify));
    bool ok = Verdict("recording an identification, median", Median(record), kRecordBudgetMs, "ms");
    return Verdict("recording against the identification", share, kRecordBudgetPercent, "%") && ok;
}

bool ListingAndExport(const fs::path& folder)
{
    HistoryStore store(HistoryLocation::Sqlite(QString::fromStdString((folder / "many.sqlite").string())));
    if (!store.Open() || !store.Begin())
        return false;
    for (int i = 0; i < kRecords; ++i)
        store.Append(Filler(i));
    if (!store.Commit())
        return false;
    std::vector<double> listing;
    int found = 0;
    for (int run = 0; run < kRuns; ++run) {
        HistoryFilter filter;
        filter.esn = QString::asprintf("%08X", 0x10000000 + run * 37);
        found = 0;
        listing.push_back(Milliseconds([&] {
            store.Query(filter, [&found](const ServiceRecord&) {
                ++found;
                return true;
            });
        }));
    }
    std::printf("one handset's records out of %d: %d\n", kRecords, found);
    bool ok = Verdict("history --esn X over 100 000 records, median", Median(listing), kListingBudgetMs, "ms");

    const QString csv = QString::fromStdString((folder / "all.csv").string());
    QString why;
    ResetPeak();
    const double before = PeakMiB();
    qint64 rows = 0;
    const double ms = Milliseconds([&] { rows = CsvExport::Write(store, {}, csv, false, &why); });
    const double grown = PeakMiB() - before;
    std::printf("export: %lld records, %.1f MiB of CSV in %.0f ms\n", static_cast<long long>(rows),
                double(fs::file_size(csv.toStdString())) / (1024 * 1024), ms);
    return Verdict("export of 100 000 records: peak memory grown by", grown, kExportMemoryBudgetMiB, "MiB") && ok &&
           rows == kRecords;
}
// From the command's start until its result is out: the port is let go of
// before that, and the record kept after it.
double UntilResultMs(const std::vector<std::string>& argv, const std::vector<std::string>& environment, const fs::path& log)
{
    ChildProcess job;
    const auto start = std::chrono::steady_clock::now();
    job.StartLogged(argv, environment, log.string());
    auto shown = [&log] {
        std::ifstream in(log);
        return std::string{std::istreambuf_iterator<char>(in), {}}.find("\"hardware\"") != std::string::npos;
    };
    while (!shown() && job.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    job.WaitForExit(std::chrono::seconds(30));
    return shown() ? ms : 1e9;
}

// corvanetov-cli --json info with its store held by another writer (an
// immediate transaction that outlasts the keeper's wait) against the same
// with the store free, alternating.
bool HeldStore(const fs::path& folder)
{
    ChildProcess handset;
    const std::string scale = "CORVANETOV_TIME_SCALE=" + std::to_string(kTimeScale);
    const std::string port = handset.Start({VQXB410_SIM_PATH}, {scale});
    const std::vector<std::string> environment = {scale, "XDG_DATA_HOME=" + (folder / "data").string(),
                                                  "XDG_CONFIG_HOME=" + (folder / "config").string()};
    const std::string free = (folder / "free.sqlite").string();
    const std::string held = (folder / "held.sqlite").string();
    for (const std::string& path : {free, held})
        HistoryStore(HistoryLocation::Sqlite(QString::fromStdString(path))).Open();
    std::vector<double> whenFree, whenHeld;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(QString::fromStdString(held));
        holder.open();
        QSqlQuery hold(holder);
        hold.exec("BEGIN IMMEDIATE");
        for (int run = 0; run < kJobRuns; ++run)
            for (auto [store, times] : {std::pair{&free, &whenFree}, std::pair{&held, &whenHeld}})
                times->push_back(UntilResultMs({CORVANETOV_CLI_PATH, "--json", "--port", port, "info", "--history", *store},
                                               environment, folder / ("job" + std::to_string(run) + (store == &free ? "f" : "h") + ".log")));
        hold.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("holder");
    std::printf("identification until its result, store free: median %.1f ms; held: median %.1f ms\n", Median(whenFree),
                Median(whenHeld));
    return Verdict("job's wall time, store held against store free", Median(whenHeld) / Median(whenFree),
                   kHeldStoreBudgetRatio, "x");
}

// Sixteen tools keep their records into one file at once; every record is
// in the file or, where the file stayed busy, waits in the outbox.
bool Writers(const fs::path& folder)
{
    qputenv("XDG_DATA_HOME", (folder / "writers").string().c_str());
    const HistoryLocation location = HistoryLocation::Sqlite(QString::fromStdString((folder / "writers.sqlite").string()));
    HistoryStore(location).Open();
    int go[2];
    if (::pipe(go) != 0)
        return false;
    for (int i = 0; i < kWriters; ++i) {
        if (::fork() == 0) {
            ::close(go[1]);
            char byte;
            [[maybe_unused]] ssize_t woke = ::read(go[0], &byte, 1);
            HistoryKeeper keeper(location);
            for (int write = 0; write < kWrites; ++write)
                keeper.Keep(Filler(write));
            ::_exit(0);
        }
    }
    ::close(go[0]);
    const double ms = Milliseconds([&go] {
        ::close(go[1]);
        while (::wait(nullptr) > 0) {
        }
    });
    std::set<QString> kept;
    for (const HistoryLocation& where : {location, HistoryLocation::Outbox()}) {
        HistoryStore store(where);
        if (store.Open())
            store.Query({}, [&kept](const ServiceRecord& record) { return kept.insert(record.uuid), true; });
    }
    const int expected = kWriters * kWrites;
    std::printf("%d writers at once: %zu of %d records kept in %.0f ms, %.0f records per second\n", kWriters, kept.size(),
                expected, ms, 1000.0 * double(kept.size()) / ms);
    return Verdict("records lost among sixteen writers", double(expected) - double(kept.size()), 0, "records");
}
} // namespace

int main()
{
    fs::path folder = fs::temp_directory_path() / ("history-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    bool ok = Recording(folder);
    ok = ListingAndExport(folder) && ok;
    ok = HeldStore(folder) && ok;
    ok = Writers(folder) && ok;
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
