#include "cli/CliStation.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

#include "cli/CliApp.h"
#include "cli/CliPrompts.h"
#include "cli/CliSignals.h"
#include "cli/CliStationTable.h"
#include "history/HistoryLocation.h"
#include "ports/SerialDeviceListing.h"
#include "station/Station.h"

namespace corvanetov {

namespace {
constexpr char kCommand[] = "station";
constexpr char kJobs[] = "info, settings, flash, rebuild, prl, eri, recover";
constexpr char kRecoverJob[] = "recover";
constexpr int kTableTickMs = 200;
// The options that stay with the station when they follow its job; the
// ones of them that take a value.
const std::set<std::string> kStationOptions = {"--once",  "--ports",      "--max",   "--json",    "--port", "--tool-type",
                                               "--msl",   "--time-scale", "--trace", "--history", "--help", "-h",
                                               "--recover"};
const std::set<std::string> kValued = {"--ports", "--max", "--port", "--tool-type", "--msl", "--time-scale", "--trace", "--history"};

std::string OptionName(const std::string& word)
{
    return word.substr(0, word.find('='));
}

bool TakesValue(const std::string& word)
{
    return kValued.count(word) != 0;
}

bool Has(const std::vector<std::string>& words, const char* word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

QStringList ToQt(const std::vector<std::string>& words)
{
    QStringList list;
    for (const std::string& word : words)
        list << QString::fromStdString(word);
    return list;
}

void PrintLine(const QByteArray& line)
{
    // One write for the whole line and its end: lines never mix.
    QByteArray whole = line + '\n';
    std::fwrite(whole.constData(), 1, static_cast<size_t>(whole.size()), stdout);
    std::fflush(stdout);
}

QByteArray Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// How a handset's job ended, as the station saw it: also for a job that
// ended without a word (killed, or never started).
QByteArray EndLine(const StationRow& row)
{
    return Compact({{"station", "ended"}, {"port", row.port}, {"esn", row.esn}, {"result", StationRow::StateName(row.state)},
                    {"text", row.text}, {"seconds", row.Seconds()}});
}

QByteArray SummaryLine(const Station& station)
{
    const Station::Totals totals = station.Summary();
    return Compact({{"station", "summary"}, {"handsets", station.Rows()}, {"completed", totals.completed},
                    {"failed", totals.failed}, {"stopped", totals.stopped}, {"seconds", totals.seconds}});
}

// Each job holds three pipes here: a tray of a hundred handsets needs more
// descriptors than a shell's usual 1024, and the hard limit is ours to take.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Ctrl-C reaches the station on its own thread, which waits for signals.
std::atomic<Station*> g_station{nullptr};
std::atomic<bool> g_interrupted{false};

void Interrupt()
{
    Station* station = g_station.load();
    if (!station)
        return;
    QMetaObject::invokeMethod(station, [station] {
        g_interrupted = true;
        station->StopAll();
    }, Qt::QueuedConnection);
}
} // namespace

bool CliStation::IsJob(const std::string& command)
{
    static const std::set<std::string> kJobCommands = {"info", "settings", "flash", "rebuild", "prl", "eri", kRecoverJob};
    return kJobCommands.count(command) != 0;
}

std::vector<std::string> CliStation::TakeJob(int argc, char** argv)
{
    std::vector<std::string> words(argv, argv + argc);
    size_t at = 1;
    while (at < words.size() && words[at].rfind('-', 0) == 0)
        at += TakesValue(words[at]) ? 2 : 1;
    if (at >= words.size() || words[at] != kCommand)
        return words;
    std::vector<std::string> kept(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(at + 1));
    for (size_t i = at + 1; i < words.size(); ++i) {
        if (!kStationOptions.count(OptionName(words[i]))) {
            m_job.push_back(words[i]);
            continue;
        }
        kept.push_back(words[i]);
        if (TakesValue(words[i]) && i + 1 < words.size())
            kept.push_back(words[++i]);
    }
    return kept;
}

void CliStation::Register(CLI::App& parser)
{
    m_station = parser.add_subcommand(kCommand, std::string("run JOB on every handset plugged in, each in a command line of its "
                                                            "own: JOB is one of ") + kJobs + " with its options");
    m_station->add_flag("--once", m_once, "only the handsets listed now; wait for all, print a summary and end");
    m_station->add_option("--ports", m_ports, "only these ports: COM names, numbers or device paths, comma separated");
    m_station->add_option("--max", m_max, "at most N jobs at once (default: all)")->check(CLI::Range(1, 1000));
    m_station->add_flag("--recover", m_recover,
                        "the job is recover: every handset left in download mode by an unfinished flash is flashed "
                        "again with its images; the others are not touched");
    m_station->footer("Example: corvanetov-cli station flash --option 0 --code B410V0105.bin --once");
}

std::string CliStation::JobRefusal() const
{
    if (m_recover && m_job.size() > 1)
        return "station --recover is a job of its own: give no other";
    if (m_job.empty())
        return std::string("station needs a job: one of ") + kJobs;
    if (!IsJob(m_job.front()))
        return "station cannot run " + m_job.front() + ": the job is one of " + kJobs;
    if (m_app.PortGiven())
        return "station chooses each handset's port: give --ports LIST to serve only some";
    if (Has(m_job, "--plan"))
        return "station runs jobs on handsets: flash --plan needs none";
    return {};
}

bool CliStation::AskOnce(std::optional<std::string>& msl)
{
    if (Has(m_job, "--font") && !Has(m_job, "--font-address")) {
        if (std::optional<uint32_t> address = CliPrompts::FontAddressFromTerminal()) {
            char text[16];
            std::snprintf(text, sizeof text, "%X", *address);
            m_job.insert(m_job.end(), {"--font-address", text});
        }
    }
    // The phone information read asks for no code.
    if (m_app.ToolType() == 0 || m_job.front() == "info")
        return true;
    std::string code;
    if (!CliPrompts(m_app.Msl(), std::nullopt).AskMslCode(code)) {
        std::cerr << "The MSL code is needed for tool type " << m_app.ToolType()
                  << ": give --msl - with the code on standard input, or run on a terminal" << std::endl;
        return false;
    }
    msl = code;
    return true;
}

std::vector<std::string> CliStation::ChildOptions() const
{
    std::vector<std::string> options;
    if (m_app.ToolType() != 0)
        options.insert(options.end(), {"--tool-type", std::to_string(m_app.ToolType())});
    if (!m_app.TimeScale().empty())
        options.insert(options.end(), {"--time-scale", m_app.TimeScale()});
    return options;
}

std::optional<int> CliStation::Run()
{
    if (!m_station || !m_station->parsed())
        return std::nullopt;
    if (m_recover)
        m_job.insert(m_job.begin(), kRecoverJob);
    if (std::string refusal = JobRefusal(); !refusal.empty()) {
        std::cerr << refusal << std::endl;
        return CliApp::kExitUsage;
    }
    std::optional<std::string> msl;
    if (!AskOnce(msl))
        return CliApp::kExitUsage;
    return Serve(msl);
}

int CliStation::Serve(const std::optional<std::string>& msl)
{
    static int argc = 1;
    static char name[] = "corvanetov-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    RaiseDescriptorLimit();
    StationRequest request;
    request.program = QCoreApplication::applicationFilePath();
    request.options = ToQt(ChildOptions());
    request.job = ToQt(m_job);
    if (msl)
        request.msl = QByteArray::fromStdString(*msl);
    // Through the environment: a database address may hold a password,
    // and every user sees a command line.
    if (!m_app.HistoryOption().empty())
        request.environment.insert(QLatin1String(HistoryLocation::kEnvironment), QString::fromStdString(m_app.HistoryOption()));
    if (QString refusal = StationJob::Check(request); !refusal.isEmpty()) {
        std::cerr << refusal.toStdString() << std::endl;
        return CliApp::kExitUsage;
    }
    StationOptions options{m_once, QString::fromStdString(m_ports).split(QLatin1Char(','), Qt::SkipEmptyParts), m_max};
    Station station(std::move(request), options);

    const bool table = !m_app.Json() && isatty(STDOUT_FILENO);
    CliStationTable drawing(stdout);
    QTimer tick;
    if (table) {
        QObject::connect(&tick, &QTimer::timeout, [&] { drawing.Draw(station); });
        tick.start(kTableTickMs);
    } else {
        QObject::connect(&station, &Station::Line, &PrintLine);
        QObject::connect(&station, &Station::RowEnded, [&](int row) { PrintLine(EndLine(station.Row(row))); });
    }
    g_station = &station;
    CliSignals::Watch(&Interrupt);
    QObject::connect(&station, &Station::Ended, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    station.Start();
    if (m_once && station.Rows() == 0) {
        std::cerr << "No handset listed in " << SerialDeviceListing::Folder().toStdString() << std::endl;
        return CliApp::kExitFailed;
    }
    application.exec();
    g_station = nullptr;
    if (table)
        drawing.Draw(station);
    else
        PrintLine(SummaryLine(station));
    std::fputs(CliStationTable::Summary(station).c_str(), table ? stdout : stderr);
    return ExitStatus(station, g_interrupted);
}

int CliStation::ExitStatus(const Station& station, bool interrupted) const
{
    if (interrupted)
        return CliApp::kExitInterrupted;
    const Station::Totals totals = station.Summary();
    return totals.completed == station.Rows() ? CliApp::kExitOk : CliApp::kExitFailed;
}

} // namespace corvanetov
