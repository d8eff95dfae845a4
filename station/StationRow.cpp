#include "station/StationRow.h"

#include <QJsonObject>
#include <QJsonValue>

#include "engine/EngineConstants.h"
#include "station/StationConstants.h"

namespace corvanetov {

namespace {
// From here on a stopped handset no longer runs its phone software.
bool InDownloadMode(const QString& step)
{
    return step == QLatin1String(engine::kStepDownloadMode) || step == QLatin1String(engine::kStepDownloadStart);
}

uint64_t Amount(const QJsonValue& value)
{
    return value.isDouble() && value.toDouble() > 0 ? static_cast<uint64_t>(value.toDouble()) : 0;
}
} // namespace

void StationRow::Apply(const QJsonObject& line)
{
    if (QString esnText = line.value(QLatin1String("esn")).toString(); !esnText.isEmpty())
        esn = esnText;
    if (QString stepText = line.value(QLatin1String("step")).toString(); !stepText.isEmpty()) {
        step = stepText;
        downloadModeReached = downloadModeReached || InDownloadMode(step);
    }
    if (line.value(QLatin1String("percent")).isDouble())
        percent = line.value(QLatin1String("percent")).toInt();
    if (line.contains(QLatin1String("total"))) {
        bytesDone = Amount(line.value(QLatin1String("bytes")));
        bytesTotal = Amount(line.value(QLatin1String("total")));
        rate.Add(bytesDone);
    }
    if (line.contains(QLatin1String("result")))
        text = line.value(QLatin1String("text")).toString();
}

void StationRow::End(std::optional<int> exitCode, int signal, const QString& lastError)
{
    ended = TransferRate::Clock::now();
    if (state == State::Stopped)
        return;
    if (exitCode == station::kExitOk) {
        state = State::Completed;
        percent = percent < 0 ? percent : 100;
        // The end report's last line says where it ended ("Now running
        // ..."); the last step was only on the way there.
        if (!text.isEmpty())
            step = text.section(QLatin1Char('\n'), -1);
        return;
    }
    state = exitCode == station::kExitInterrupted ? State::Stopped : State::Failed;
    // What a killed job said last is not why it ended.
    if (!exitCode)
        text = QString::fromLatin1(station::kEndedBySignal).arg(signal);
    else if (!lastError.isEmpty())
        text = lastError;
    else if (text.isEmpty())
        text = QString::fromLatin1(station::kEndedWithStatus).arg(*exitCode);
}

void StationRow::Stopped()
{
    const bool started = state == State::Running;
    state = State::Stopped;
    ended = TransferRate::Clock::now();
    text = !started                ? QString::fromLatin1(station::kStoppedBeforeStart)
           : downloadModeReached ? QString::fromLatin1(station::kStoppedInDownloadMode)
                                 : QStringLiteral("stopped at \"%1\"; the port is free").arg(step);
}

double StationRow::Seconds() const
{
    // A row stopped or gone before its turn never started.
    if (started == TransferRate::Clock::time_point{})
        return 0;
    auto end = Finished() ? ended : TransferRate::Clock::now();
    return std::chrono::duration<double>(end - started).count();
}

QString StationRow::StateName(State state)
{
    switch (state) {
    case State::Waiting: return QString::fromLatin1(station::kStateWaiting);
    case State::Running: return QString::fromLatin1(station::kStateRunning);
    case State::Completed: return QString::fromLatin1(station::kStateCompleted);
    case State::Failed: return QString::fromLatin1(station::kStateFailed);
    case State::Stopped: return QString::fromLatin1(station::kStateStopped);
    }
    return {};
}

QString StationRow::StateText() const
{
    if (state == State::Failed)
        return StateName(state) + QLatin1String(": ") + text;
    return state == State::Stopped ? text : StateName(state);
}

QString StationRow::Amounts() const
{
    if (!bytesTotal)
        return {};
    return QString::fromStdString(TransferRate::Amount(static_cast<double>(bytesDone)) + " / " +
                                  TransferRate::Amount(static_cast<double>(bytesTotal)));
}

QString StationRow::Throughput() const
{
    std::optional<double> perSecond = state == State::Running ? rate.BytesPerSecond() : std::nullopt;
    return perSecond ? QString::fromStdString(TransferRate::Amount(*perSecond) + "/s") : QString();
}

QString StationRow::TimeLeft() const
{
    std::optional<uint64_t> seconds = state == State::Running ? rate.SecondsLeft(bytesTotal) : std::nullopt;
    return seconds ? QString::fromStdString(TransferRate::MinutesAndSeconds(*seconds)) : QString();
}

} // namespace corvanetov
