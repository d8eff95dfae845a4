#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/HistoryKeeper.h"
#include "history/OperationRecord.h"

namespace corvanetov {

class CliProgressLine;
class NvDoc;
class OperationRecorder;
class OperationWorker;

// corvanetov-cli: the engine's operations from a terminal or a script.
// Exit status 0 on success, 1 when the operation failed (its error text on
// standard error), 2 for a usage error, 3 when info found no handset on a
// port that an unfinished flash left waiting in download mode, 130 when
// interrupted.
class CliApp {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitWaitingInDownloadMode = 3;
    static constexpr int kExitInterrupted = 130;
    static constexpr int kProgressTickMs = 200;

    int Run(int argc, char** argv);

    // What --json prints of an operation: the command's result alone, or a
    // line for every status and progress report and then the result.
    enum class JsonReports { ResultOnly, EveryReport };

    // Runs an engine operation on the handset's port, with doc as the NV
    // document and the command line's answers to the engine's questions
    // (the font start address, where one was given); `what` names it on
    // standard error. The exit status. With --check-only the command ends
    // here, successfully, before it chooses a port: its options and files
    // have passed every check that comes before the handset.
    int RunOnHandset(const std::string& what, NvDoc& doc, const std::function<void()>& body,
                     std::optional<uint32_t> fontStartAddress = std::nullopt, JsonReports json = JsonReports::ResultOnly);
    bool Json() const { return m_options.json; }
    int ToolType() const { return m_options.toolType; }
    const std::optional<std::string>& Msl() const { return m_options.msl; }
    const std::string& TimeScale() const { return m_options.timeScale; }
    bool PortGiven() const { return !m_options.port.empty(); }
    const std::string& HistoryOption() const { return m_options.history; }
    // The operation flashes the handset: its result names the software
    // version the handset restarted with, and a stop says whether it left
    // the handset in download mode.
    void Flashing(bool flashing) { m_flashing = flashing; }

    // A record of an operation on the handset starting now; the command
    // adds its inputs before RunOnHandset.
    static ServiceRecord BeginRecord(const QString& operation);
    // The record of the flash about to run: a copy is kept as unfinished
    // once it reaches download mode, so that a flash killed or cut off
    // leaves a trace (OperationRecord::Unfinished).
    void KeepWhenDownloadModeBegins(const ServiceRecord& record) { m_begun = record; }
    // Ends the record of the operation run last with this exit status; it
    // is kept once the command has shown its result and let go of the
    // port (KeepRecords). A command refused before it reached a port keeps
    // none. Returns the status.
    int Keep(ServiceRecord& record, int status);
    // The ended records not kept yet, straight into the outbox (a signal
    // while they are kept).
    void ParkUnkept() const;
    // The operation run last ended as it did, told in the command's words.
    void Retell(const std::string& text)
    {
        if (m_lastEnd)
            m_lastEnd->text = text;
    }
    // Ends the operation run last as refused with this text, said on
    // standard error: the record says so.
    void Refuse(const std::string& text);
    const std::optional<OperationRecord::End>& LastEnd() const { return m_lastEnd; }
    // The store in use, as --history, the environment or the settings name it.
    HistoryKeeper& History() { return *m_history; }

private:
    struct Options {
        std::string port;
        int toolType = 0;
        std::optional<std::string> msl;
        std::string timeScale;
        std::optional<std::string> trace;
        bool json = false;
        std::string history;
        bool checkOnly = false;
    };

    int Info();
    // Keeps the ended records and tells what went wrong with keeping them.
    void KeepRecords();
    void SayRecordNotice(const std::string& notice) const;
    // Keeps the begun flash's record as unfinished when the report is its
    // step into download mode; on a thread of its own, so that the flash
    // never waits for a held store.
    void KeepBegun(std::optional<ServiceRecord>& begun, const OperationMessage& message);
    void AwaitBegun();
    // The port to talk to: --port (COM number or device path), else the
    // listed handset, else the stored port. False with a message when none.
    bool SelectPort();
    // Why no port was found, and the port table's entries to choose from.
    static void PrintNoPort();
    // A device path's COM number, given only to a serial device; 0 with a
    // message when there is none.
    static uint8_t NumberForDevicePath(const std::string& path);
    // Runs body on the worker, waits for it, and turns its end report into
    // the exit status. Any operation: its family tells status from progress.
    int RunOperation(const std::function<void()>& body, JsonReports json);
    void WaitShowingProgress(OperationWorker& worker, const OperationRecorder& recorder, CliProgressLine& progress) const;
    void PrintOpenFailure() const;
    void PrintLineLost() const;
    // The common options put to work; false (with the reason on standard
    // error) for a usage error found only now.
    bool ApplyOptions();
    bool ReadMslFromInput();

    // Where a stopped flash may have left the handset, said after the stop.
    void PrintWhereLeft() const;

    Options m_options;
    bool m_flashing = false;
    std::optional<HistoryKeeper> m_history;
    std::vector<ServiceRecord> m_ended;
    std::optional<ServiceRecord> m_begun;
    std::thread m_begunKeeping;
    QStringList m_begunNotices;
    // How the operation run last ended; empty while none reached a port.
    std::optional<OperationRecord::End> m_lastEnd;
    // The handset this command last identified, over all its engine runs
    // (noted on the worker's thread, read once the worker has ended).
    std::string m_identifiedEsn;
};

} // namespace corvanetov
