#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <optional>

#include "station/StationRow.h"

namespace corvanetov {

// What every handset of a station run gets: the command line's program,
// the options put in front of the job (tool type, time scale), the job
// itself, the MSL code for its standard input, and the environment.
struct StationRequest {
    QString program;
    QStringList options;
    QStringList job;
    std::optional<QByteArray> msl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// One handset's job: a command line of its own in a child process
// (`corvanetov-cli --json --port DEVICE JOB`), so that one handset's fault,
// hang or crash never touches another's. Its JSON lines fill the row and
// are passed on, each whole and with the port added.
class StationJob : public QObject {
    Q_OBJECT
public:
    StationJob(const StationRequest& request, StationRow row, QObject* parent = nullptr);
    ~StationJob() override;

    void Start();
    // Asks the job to stop as Ctrl-C does: it frees its port and ends; one
    // that has not ended after the grace time is killed. reason replaces
    // the row's words for a stop.
    void Stop(const QString& reason = {});
    // The job cannot run at all: its row fails with text, and it ends.
    void Refuse(const QString& text);
    const StationRow& Row() const { return m_row; }
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    // The command line the child runs, without the program.
    QStringList Arguments() const;
    // The job checked once, before any handset is served: its options and
    // files as the command line checks them before it reaches a handset.
    // Why it cannot run, in the command line's words; empty when it can.
    static QString Check(const StationRequest& request);

signals:
    // One of the job's lines, with the port added, without its line end.
    void Line(const QByteArray& line);
    void Changed();
    void Ended();

private:
    // The job's command line with `where` (the port) in front of the
    // request's options.
    static QStringList CommandLine(const StationRequest& request, const QStringList& where);
    static void Feed(QProcess& process, const StationRequest& request);
    void ReadOutput();
    void ReadErrors();
    void TakeLine(const QByteArray& line);
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void OnError(QProcess::ProcessError error);
    void MarkStopped();

    const StationRequest& m_request;
    StationRow m_row;
    QProcess m_process;
    QByteArray m_pending; // the start of a line not yet ended
    QByteArray m_pendingError;
    QString m_lastError; // the last line said on standard error
    bool m_stopAsked = false;
    QString m_stopReason;
};

} // namespace corvanetov
