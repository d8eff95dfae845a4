#include "station/StationJob.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <unistd.h>

#include "station/StationConstants.h"

namespace corvanetov {

StationJob::StationJob(const StationRequest& request, StationRow row, QObject* parent)
    : QObject(parent), m_request(request), m_row(std::move(row))
{
    m_process.setProgram(request.program);
    m_process.setArguments(Arguments());
    m_process.setProcessEnvironment(request.environment);
    // A session of its own: a signal to the station's process group (a
    // closed terminal, a killed service) does not reach the job, which
    // finishes its handset's work; the station stops its jobs itself.
    m_process.setChildProcessModifier([] { setsid(); });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &StationJob::ReadOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &StationJob::ReadErrors);
    connect(&m_process, &QProcess::finished, this, &StationJob::OnFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &StationJob::OnError);
}

StationJob::~StationJob()
{
    if (!Running())
        return;
    m_process.kill();
    m_process.waitForFinished(station::kStopGraceMs);
}

QStringList StationJob::Arguments() const
{
    return CommandLine(m_request, {QStringLiteral("--port"), m_row.device});
}

QStringList StationJob::CommandLine(const StationRequest& request, const QStringList& where)
{
    QStringList arguments = QStringList{QStringLiteral("--json")} + where + request.options;
    // The code goes on standard input: a command line is seen by every user.
    if (request.msl)
        arguments += {QStringLiteral("--msl"), QStringLiteral("-")};
    return arguments + request.job;
}

void StationJob::Feed(QProcess& process, const StationRequest& request)
{
    if (request.msl)
        process.write(*request.msl + '\n');
    process.closeWriteChannel();
}

QString StationJob::Check(const StationRequest& request)
{
    QProcess check;
    check.setProgram(request.program);
    check.setArguments(CommandLine(request, {QStringLiteral("--check-only")}));
    check.setProcessEnvironment(request.environment);
    check.start();
    if (!check.waitForStarted())
        return QString::fromLatin1(station::kJobNotStarted).arg(check.errorString());
    Feed(check, request);
    if (!check.waitForFinished(station::kCheckMs)) {
        check.kill();
        check.waitForFinished();
        return QString::fromLatin1(station::kCheckNotEnded).arg(station::kCheckMs / 1000);
    }
    if (check.exitStatus() == QProcess::NormalExit && check.exitCode() == station::kExitOk)
        return {};
    const QString said = QString::fromUtf8(check.readAllStandardError()).trimmed();
    return !said.isEmpty() ? said : QString::fromLatin1(station::kEndedWithStatus).arg(check.exitCode());
}

void StationJob::Start()
{
    m_row.state = StationRow::State::Running;
    m_row.started = TransferRate::Clock::now();
    m_process.start();
    Feed(m_process, m_request);
    emit Changed();
}

void StationJob::Stop(const QString& reason)
{
    if (m_stopAsked)
        return;
    m_stopAsked = true;
    m_stopReason = reason;
    if (!Running()) {
        if (!m_row.Finished()) {
            MarkStopped();
            emit Changed();
            emit Ended();
        }
        return;
    }
    m_process.terminate();
    QTimer::singleShot(station::kStopGraceMs, this, [this] {
        if (Running())
            m_process.kill();
    });
}

void StationJob::ReadOutput()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            TakeLine(line);
    }
}

// Only whole lines count: a line can reach the station in two reads.
void StationJob::ReadErrors()
{
    m_pendingError += m_process.readAllStandardError();
    const qsizetype end = m_pendingError.lastIndexOf('\n');
    if (end < 0)
        return;
    const QList<QByteArray> lines = m_pendingError.left(end).split('\n');
    m_pendingError.remove(0, end + 1);
    for (const QByteArray& line : lines) {
        if (QString text = QString::fromUtf8(line).trimmed(); !text.isEmpty())
            m_lastError = text;
    }
}

// A line that is not a JSON object is passed on as the text it is.
void StationJob::TakeLine(const QByteArray& line)
{
    QJsonDocument document = QJsonDocument::fromJson(line);
    QJsonObject object = document.isObject() ? document.object() : QJsonObject{{QStringLiteral("text"), QString::fromUtf8(line)}};
    m_row.Apply(object);
    object.insert(QStringLiteral("port"), m_row.port);
    emit Line(QJsonDocument(object).toJson(QJsonDocument::Compact));
    emit Changed();
}

void StationJob::OnFinished(int exitCode, QProcess::ExitStatus status)
{
    ReadOutput();
    ReadErrors();
    if (QString rest = QString::fromUtf8(m_pendingError).trimmed(); !rest.isEmpty())
        m_lastError = rest;
    const bool crashed = status == QProcess::CrashExit;
    if (m_stopAsked && (crashed || exitCode != station::kExitOk))
        MarkStopped();
    m_row.End(crashed ? std::nullopt : std::optional<int>(exitCode), crashed ? exitCode : 0, m_lastError);
    emit Changed();
    emit Ended();
}

void StationJob::MarkStopped()
{
    m_row.Stopped();
    if (!m_stopReason.isEmpty())
        m_row.text = m_stopReason;
}

void StationJob::OnError(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        Refuse(QString::fromLatin1(station::kJobNotStarted).arg(m_process.errorString()));
}

void StationJob::Refuse(const QString& text)
{
    m_row.state = StationRow::State::Failed;
    m_row.text = text;
    m_row.ended = TransferRate::Clock::now();
    emit Changed();
    emit Ended();
}

} // namespace corvanetov
