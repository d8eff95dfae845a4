#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/TransferRate.h"

class QJsonObject;

namespace corvanetov {

// One handset at the station: what its job has reported so far and how it
// ended. The job's reports are the command line's JSON lines; a key the row
// does not know is passed on and otherwise left alone, so a newer tool's
// lines still fill the row.
struct StationRow {
    enum class State { Waiting, Running, Completed, Failed, Stopped };

    QString port;   // "COM3"
    QString device; // the slot: the by-path link, else the by-id link; what the job opens
    QString esn;
    QString step;
    int percent = -1; // none reported yet
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    State state = State::Waiting;
    QString text; // how it ended, in words
    bool downloadModeReached = false;
    TransferRate rate;
    TransferRate::Clock::time_point started{};
    TransferRate::Clock::time_point ended{};

    // Takes one of the job's report lines.
    void Apply(const QJsonObject& line);
    // How the job ended: its exit status (or the signal that ended it), and
    // the last line it said on standard error.
    void End(std::optional<int> exitCode, int signal, const QString& lastError);
    // The job was stopped from the station.
    void Stopped();
    bool Finished() const { return state == State::Completed || state == State::Failed || state == State::Stopped; }
    double Seconds() const;
    // "completed", "failed", ... as the JSON lines say it.
    static QString StateName(State state);
    // The table's cells as words.
    QString StateText() const;
    QString Amounts() const;
    QString Throughput() const;
    QString TimeLeft() const;
};

} // namespace corvanetov
