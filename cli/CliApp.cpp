#include "cli/CliApp.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>
#include <utility>

#include "cli/CliFlash.h"
#include "cli/CliHistory.h"
#include "cli/CliPorts.h"
#include "cli/CliProgressLine.h"
#include "cli/CliRecover.h"
#include "cli/CliSignals.h"
#include "cli/CliStation.h"
#include "cli/CliPrompts.h"
#include "cli/CliRoaming.h"
#include "cli/CliSettings.h"
#include "comm/CommConstants.h"
#include "comm/DownloadModeNotes.h"
#include "comm/OpenFailureReason.h"
#include "comm/PortResolver.h"
#include "comm/SerialLineCheck.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationRecorder.h"
#include "engine/OperationWorker.h"
#include "engine/PhoneInfoRead.h"
#include "engine/ContextGuards.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"
#include "ports/PortStore.h"
#include "ports/PortTable.h"
#include "ports/SerialDeviceListing.h"
#include "ports/UserSettings.h"
#include "version/Version.h"

namespace corvanetov {

namespace {
std::atomic<bool> g_interrupted{false};
// The tool whose records are being kept, while they are.
std::mutex g_keepingMutex;
CliApp* g_keeping = nullptr;

// Thrown where a --check-only run would first reach for the handset.
struct HandsetReached {};

// Ctrl-C and SIGTERM stop the running operation the way "Stop" does in the
// views: the worker wakes, closes the port and ends. Once the operation has
// ended and its records are being kept, they end the tool at once: what is
// not kept yet waits in the outbox (a record kept twice is kept once).
bool WatchSignals()
{
    return CliSignals::Watch([] {
        g_interrupted = true;
        Pacing::Instance().RequestStop();
        const std::lock_guard<std::mutex> lock(g_keepingMutex);
        if (g_keeping) {
            g_keeping->ParkUnkept();
            std::_Exit(CliApp::kExitInterrupted);
        }
    });
}

std::string Text(const NvDoc& doc, int which)
{
    return doc.GetText(which);
}

constexpr char kMslFromInput[] = "-";

bool IsDevicePath(const std::string& port)
{
    return port.find('/') != std::string::npos;
}

// The COM number a port option names: "7" or "COM7"; 0 when it names none.
uint8_t ComNumber(const std::string& port)
{
    const bool named = port.rfind(comm::kComPrefix, 0) == 0;
    return PortStore::PortNumberFromText(QString::fromStdString(named ? port.substr(comm::kComPrefixLength) : port));
}

// The options' checks, run while the command line is parsed: what is wrong
// with a value, empty when it is taken.
CLI::Validator Check(std::function<bool(const std::string&)> takes, std::string refusal)
{
    return CLI::Validator([takes = std::move(takes), refusal = std::move(refusal)](std::string& value) {
        return takes(value) ? std::string() : refusal;
    }, "");
}

// Names an unknown command as such; CLI11 alone would ask for a command.
// The exit status CLI11 gives the error (0 for --help and --version).
int ReportParseError(CLI::App& app, const CLI::ParseError& error)
{
    CLI::App* command = &app;
    std::string path;
    while (!command->get_subcommands().empty()) {
        command = command->get_subcommands().front();
        path += command->get_name() + " ";
    }
    const std::vector<std::string> rest = app.remaining(true);
    const bool expectsCommand = !command->get_subcommands({}).empty();
    if (!expectsCommand || rest.empty() || rest.front().rfind('-', 0) == 0)
        return app.exit(error);
    std::string known;
    for (const CLI::App* each : command->get_subcommands({}))
        known += (known.empty() ? "" : ", ") + path + each->get_name();
    std::cerr << "Unknown command: " << path << rest.front() << " (the commands: " << known << ")" << std::endl
              << "Run with --help for more information." << std::endl;
    return CliApp::kExitUsage;
}
} // namespace

int CliApp::Run(int argc, char** argv)
{
    // A reader that went away (a station that died, `| head`) is no reason
    // to leave a handset half flashed: what cannot be written is dropped,
    // and the work goes on to its end and its record.
    std::signal(SIGPIPE, SIG_IGN);
    CliStation station(*this);
    std::vector<std::string> words = station.TakeJob(argc, argv);
    std::vector<char*> kept;
    for (std::string& word : words)
        kept.push_back(word.data());
    CLI::App app{"corvanetov-cli: VQX-B410 service tool for terminals and scripts"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("corvanetov-cli ") + corvanetov::kVersion, "print the version and exit");
    app.fallthrough(); // common options may also follow the command
    app.add_option("--port", m_options.port, "COM number or device path of the handset (default: search, then the stored port)")
        ->check(Check([](const std::string& port) { return IsDevicePath(port) || ComNumber(port) != 0; },
                      "not a COM number (1 to 255, as 7 or COM7) nor a device path"));
    app.add_option("--tool-type", m_options.toolType, "tool type; nonzero uses the MSL code instead of the password")->check(CLI::Range(0, 255));
    app.add_option("--msl", m_options.msl,
                   "MSL code (6 digits), or - to read it from the first line of standard input (then other users do "
                   "not see it in the process list); without it the tool asks on the terminal")
        ->check(Check([](const std::string& code) { return code == kMslFromInput || CliPrompts::IsMslCode(code); },
                      "the MSL code is 6 digits (or - to read it from standard input)"));
    app.add_option("--time-scale", m_options.timeScale, "multiply every pause and time-out (tests, demos): above 0, at most 1000")
        ->check(Check([](const std::string& scale) { return Pacing::ParseTimeScale(scale.c_str()).has_value(); },
                      "a number above 0 and at most 1000, as CORVANETOV_TIME_SCALE takes"));
    app.add_option("--trace", m_options.trace, "write the debug trace to FILE or stderr");
    app.add_flag("--json", m_options.json, "print results as JSON");
    // The station's check of its job, once before any handset is served.
    app.add_flag("--check-only", m_options.checkOnly, "check the command's options and files; touch no handset")->group("");
    app.add_option("--history", m_options.history,
                   "where service records are kept: postgresql://user@host/database or an SQLite file (default: "
                   "CORVANETOV_HISTORY, else [History] url in the settings file, else the bench's own file)");
    corvanetov::CliPorts ports(*this);
    ports.Register(app);
    auto* info = app.add_subcommand("info", "connect, identify and print ESN, phone number and versions");
    CliSettings settings(*this);
    settings.Register(app);
    CliRoaming roaming(*this);
    roaming.Register(app);
    CliFlash flash(*this);
    flash.Register(app);
    CliRecover recover(*this, flash);
    recover.Register(app);
    station.Register(app);
    CliHistory history(*this);
    history.Register(app);
    try {
        app.parse(static_cast<int>(kept.size()), kept.data());
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with status 0.
        return ReportParseError(app, e) == kExitOk ? kExitOk : kExitUsage;
    }
    if (!ApplyOptions())
        return kExitUsage;
    const int status = [&] {
        if (std::optional<int> status = ports.Run())
            return *status;
        if (std::optional<int> status = history.Run())
            return *status;
        try {
            if (info->parsed())
                return Info();
            if (std::optional<int> status = settings.Run())
                return *status;
            if (std::optional<int> status = roaming.Run())
                return *status;
            if (std::optional<int> status = station.Run())
                return *status;
            if (std::optional<int> status = recover.Run())
                return *status;
            return flash.Run().value_or(kExitUsage);
        } catch (const HandsetReached&) {
            return kExitOk;
        }
    }();
    KeepRecords();
    return status;
}

bool CliApp::ApplyOptions()
{
    if (!m_options.timeScale.empty())
        Pacing::Instance().SetTimeScale(*Pacing::ParseTimeScale(m_options.timeScale.c_str()));
    if (m_options.trace) {
        if (m_options.trace->empty()) {
            std::cerr << "--trace: give a file or stderr" << std::endl;
            return false;
        }
        if (std::string refusal = Trace::Instance().SetTarget(*m_options.trace); !refusal.empty()) {
            std::cerr << "--trace: the trace cannot be written there: " << refusal << std::endl;
            return false;
        }
    }
    if (m_options.msl == kMslFromInput && !ReadMslFromInput())
        return false;
    QString why;
    std::optional<HistoryLocation> location = HistoryLocation::Resolve(QString::fromStdString(m_options.history), &why);
    if (!location) {
        std::cerr << why.toStdString() << std::endl;
        return false;
    }
    m_history.emplace(*location);
    auto& context = OperationContext::Instance();
    context.SetToolType(static_cast<uint8_t>(m_options.toolType));
    PortTable::Instance().InstallResolver();
    return true;
}

bool CliApp::ReadMslFromInput()
{
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!CliPrompts::IsMslCode(line)) {
        std::cerr << "--msl -: the first line of standard input is not a 6-digit MSL code" << std::endl;
        return false;
    }
    m_options.msl = line;
    return true;
}

bool CliApp::SelectPort()
{
    auto& context = OperationContext::Instance();
    const std::string& port = m_options.port;
    if (!port.empty()) {
        // The option's check has refused a text that names no COM number.
        uint8_t number = IsDevicePath(port) ? NumberForDevicePath(port) : ComNumber(port);
        context.SetSelectedPort(number);
        return number != 0;
    }
    if (uint8_t found = SerialDeviceListing::FindHandsetPort()) {
        context.SetSelectedPort(found);
        return true;
    }
    context.SetSelectedPort(PortStore::LoadPortNumber());
    if (context.SelectedPort() != 0)
        return true;
    PrintNoPort();
    return false;
}

// "Stored" alone left a user guessing which store was meant: the window's
// chosen port is one thing, the port table's device names another, and a
// table entry is what --port can name at once.
void CliApp::PrintNoPort()
{
    std::cerr << "No handset port found in " << SerialDeviceListing::Folder().toStdString()
              << ", and no port chosen in the window (Setup > Port Setting) is stored." << std::endl;
    const std::vector<PortTableEntry> entries = PortTable::Instance().Entries();
    if (entries.empty()) {
        std::cerr << "The port table is empty. Give the handset's port with --port, for example --port /dev/ttyUSB0."
                  << std::endl;
        return;
    }
    std::cerr << "The port table holds:" << std::endl;
    for (const PortTableEntry& entry : entries)
        std::cerr << "  " << PortTable::ValueName(entry.port).toStdString() << "  " << entry.target.toStdString() << std::endl;
    std::cerr << "Give one with --port, for example --port " << PortTable::ValueName(entries.front().port).toStdString()
              << "." << std::endl;
}

uint8_t CliApp::NumberForDevicePath(const std::string& path)
{
    // A numbered device was a serial line when it was numbered, and its
    // channel's open says why not if it no longer is. Checked again here,
    // a line that another tool is flashing would be refused as held by
    // "another program" before that tool's claim could name its holder.
    if (uint8_t known = PortTable::Instance().Find(QString::fromStdString(path)))
        return known;
    if (const std::vector<std::string> whyNot = SerialLineCheck::WhyNot(path); !whyNot.empty()) {
        std::cerr << "--port " << path << " gets no COM number:" << std::endl;
        for (const std::string& line : whyNot)
            std::cerr << "  " << line << std::endl;
        return 0;
    }
    if (uint8_t number = PortTable::Instance().NumberFor(QString::fromStdString(path)))
        return number;
    if (!UserSettings::Writable())
        std::cerr << "The settings file cannot be written, so " << path << " gets no COM number: "
                  << UserSettings::FileName().toStdString() << std::endl;
    else
        std::cerr << "No free COM number for " << path << ": " << PortTable::Instance().FullText().toStdString() << std::endl;
    return 0;
}

void CliApp::PrintOpenFailure() const
{
    DiagChannel* channel = OperationContext::Instance().Channel();
    if (!channel)
        return;
    for (const std::string& line : OpenFailureReason::Lines(*channel))
        std::cerr << "  " << line << std::endl;
}

int CliApp::RunOperation(const std::function<void()>& body, JsonReports json)
{
    using Style = CliProgressLine::Style;
    Style style = !m_options.json ? Style::StatusLines : json == JsonReports::EveryReport ? Style::JsonLines : Style::Silent;
    CliProgressLine progress(style, !m_options.json && isatty(STDERR_FILENO));
    std::optional<ServiceRecord> begun = std::exchange(m_begun, std::nullopt);
    OperationRecorder recorder(OperationRecorder::OnEnd::StopWorker,
                               [this, &progress, &begun](const OperationMessage& message, OperationFamily::Role role) {
                                   OperationRecord::NoteIdentity(m_identifiedEsn);
                                   KeepBegun(begun, message);
                                   if (role == OperationFamily::Role::Status)
                                       progress.StatusLine(message.text);
                                   else if (role == OperationFamily::Role::Progress)
                                       progress.Progress(message);
                               });
    {
        const ScopedTarget target(&recorder);
        OperationWorker worker;
        if (!WatchSignals() || !worker.Start(body)) {
            const char* refusal = "Cannot start the operation: the system has no thread to spare (process limit reached)";
            std::cerr << refusal << std::endl;
            m_lastEnd = OperationRecord::End{false, false, refusal, 0, {}, {}};
            return kExitFailed;
        }
        WaitShowingProgress(worker, recorder, progress);
    }
    m_lastEnd = OperationRecord::End{g_interrupted, !recorder.Finished() || recorder.Succeeded(), recorder.EndText(), 0,
                                     recorder.Messages(), {}};
    if (g_interrupted) {
        progress.Result("stopped", "");
        std::cerr << "Stopped." << std::endl;
        m_lastEnd->text = "Stopped.";
        PrintWhereLeft();
        return kExitInterrupted;
    }
    if (m_lastEnd->succeeded) {
        if (!m_options.json && !recorder.EndText().empty())
            std::cerr << recorder.EndText() << std::endl;
        progress.Result("succeeded", recorder.EndText(), m_flashing ? Context().ReleaseText() : std::string());
        return kExitOk;
    }
    std::string error = recorder.EndText();
    progress.Result("failed", error);
    std::cerr << error << std::endl;
    // Why the last open failed, also where a later step's error is what
    // ended the operation: a flash's reopen after the handset's restart is
    // judged by its first request.
    PrintOpenFailure();
    PrintLineLost();
    return kExitFailed;
}

void CliApp::PrintWhereLeft() const
{
    if (m_flashing && DownloadModeNotes::Instance().Remembered(Context().HandsetSlot()))
        std::cerr << engine::kWaitingInDownloadMode << std::endl;
}

// A pulled cable ends in one of the protocol's own errors; the line tells
// the technician what really happened.
void CliApp::PrintLineLost() const
{
    const DiagChannel* channel = OperationContext::Instance().Channel();
    if (channel && channel->LineLost())
        std::cerr << engine::kErrLineLost << std::endl;
}

// On a terminal a line shows that the tool is alive, how long it has worked
// and how far it got; a script's standard error gets only the status lines.
void CliApp::WaitShowingProgress(OperationWorker& worker, const OperationRecorder& recorder, CliProgressLine& progress) const
{
    auto start = std::chrono::steady_clock::now();
    // Woken by the worker's end: a job's result and its exit do not wait
    // for the next tick.
    while (!worker.WaitForEnd(std::chrono::milliseconds(kProgressTickMs))) {
        auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        progress.Update(static_cast<int>(seconds.count()), recorder.Percent());
        progress.Identified(OperationContext::Instance().EsnText());
    }
    worker.Join();
    progress.Identified(OperationContext::Instance().EsnText());
    progress.Clear();
}

int CliApp::RunOnHandset(const std::string& what, NvDoc& doc, const std::function<void()>& body,
                         std::optional<uint32_t> fontStartAddress, JsonReports json)
{
    if (m_options.checkOnly)
        throw HandsetReached{};
    if (!SelectPort())
        return kExitFailed;
    if (std::string notice = Pacing::Instance().TimeScaleNotice(); !notice.empty())
        std::cerr << notice << std::endl;
    if (!m_options.json) {
        uint8_t port = OperationContext::Instance().SelectedPort();
        std::fprintf(stderr, "%s on %s (%s)\n", what.c_str(), PortResolver::ComName(port).c_str(),
                     PortTable::Instance().Target(port).toStdString().c_str());
    }
    CliPrompts prompts(m_options.msl, fontStartAddress);
    const ScopedNvDocument documentInstalled(&doc);
    const ScopedPrompts promptsInstalled(&prompts);
    return RunOperation(body, json);
}

ServiceRecord CliApp::BeginRecord(const QString& operation)
{
    return OperationRecord::Begin("cli", operation);
}

int CliApp::Keep(ServiceRecord& record, int status)
{
    if (!m_lastEnd)
        return status;
    OperationRecord::End end = *m_lastEnd;
    end.exitStatus = status;
    end.identifiedEsn = m_identifiedEsn;
    OperationRecord::Finish(record, end);
    m_ended.push_back(record);
    return status;
}

void CliApp::KeepBegun(std::optional<ServiceRecord>& begun, const OperationMessage& message)
{
    if (!begun || !OperationRecord::ReachesDownloadMode(message))
        return;
    ServiceRecord unfinished = OperationRecord::Unfinished(*begun, m_identifiedEsn);
    begun.reset();
    m_begunKeeping = std::thread([this, unfinished = std::move(unfinished)] {
        m_begunNotices = HistoryKeeper(m_history->Location()).Keep(unfinished);
    });
}

void CliApp::AwaitBegun()
{
    if (!m_begunKeeping.joinable())
        return;
    m_begunKeeping.join();
    for (const QString& notice : m_begunNotices)
        SayRecordNotice(notice.toStdString());
}

void CliApp::KeepRecords()
{
    // The unfinished record goes in before its end.
    AwaitBegun();
    for (;;) {
        std::unique_lock<std::mutex> lock(g_keepingMutex);
        g_keeping = m_ended.empty() ? nullptr : this;
        if (!g_keeping)
            return;
        const ServiceRecord record = m_ended.front();
        lock.unlock();
        const QStringList notices = m_history->Keep(record);
        lock.lock();
        m_ended.erase(m_ended.begin());
        lock.unlock();
        for (const QString& notice : notices)
            SayRecordNotice(notice.toStdString());
    }
}

// With --json the notices are lines of the output, not of standard error:
// a station takes a job's last error line as why it ended, and the record
// of a refusal, kept after it, must not take its place.
void CliApp::SayRecordNotice(const std::string& notice) const
{
    if (m_options.json)
        std::cout << nlohmann::json{{"history", notice}}.dump() << std::endl;
    else
        std::cerr << notice << std::endl;
}

void CliApp::ParkUnkept() const
{
    for (const ServiceRecord& record : m_ended)
        m_history->Park(record);
}

void CliApp::Refuse(const std::string& text)
{
    std::cerr << text << std::endl;
    m_lastEnd = OperationRecord::End{false, false, text, 0, {}, {}};
}

int CliApp::Info()
{
    NvDoc doc;
    ServiceRecord record = BeginRecord("identify");
    int status = RunOnHandset("Reading phone information", doc, &PhoneInfoRead::Run);
    // The identification failed on a handset noted as left in download mode.
    if (status == kExitFailed && Context().ErrorText().ends_with(engine::kMayWaitInDownloadMode))
        status = kExitWaitingInDownloadMode;
    if (Keep(record, status) != kExitOk)
        return status;
    if (m_options.json) {
        nlohmann::json result = {{"esn", Text(doc, NvDoc::kEsn)},
                                 {"phone", Text(doc, NvDoc::kPhoneNumber)},
                                 {"software", Text(doc, NvDoc::kSoftwareVersion)},
                                 {"hardware", Text(doc, NvDoc::kHardwareVersion)}};
        std::cout << result.dump() << std::endl;
    } else {
        std::printf("ESN:              %s\n", Text(doc, NvDoc::kEsn).c_str());
        std::printf("Phone number:     %s\n", Text(doc, NvDoc::kPhoneNumber).c_str());
        std::printf("Software version: %s\n", Text(doc, NvDoc::kSoftwareVersion).c_str());
        std::printf("Hardware version: %s\n", Text(doc, NvDoc::kHardwareVersion).c_str());
        // Out now, to a pipe too: the record is kept after it.
        std::fflush(stdout);
    }
    return kExitOk;
}

} // namespace corvanetov
