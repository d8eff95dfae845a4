#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace corvanetov {

// A file an operation took: its full name, its size and its SHA-256, so that a
// record says exactly which image or list went into the handset.
struct RecordInput {
    QString role; // "code", "font", "prl", "eri", "settings"
    QString name;
    qint64 size = -1;
    QString sha256;
};

// One operation on one handset, whatever its end: who, where, what went in,
// and what came out. Written once when the operation ends, never changed.
struct ServiceRecord {
    QString uuid;
    QDateTime started; // UTC
    QDateTime ended;
    qint64 durationMs = 0;
    QString bench;
    QString operatorName;
    QString frontEnd; // "host", "cli"
    QString toolVersion;
    int comNumber = 0;
    QString devicePath;
    QString esn;
    QString modelCode;
    QString softwareVersion;
    QString phoneNumber;
    QString operation;
    QString nams;
    QString fontAddress;
    QList<RecordInput> inputs;
    QString result; // kCompleted, kFailed, kStopped, kRefused, kUnfinished
    QString endText;
    int exitStatus = 0;
    qint64 bytesWritten = 0;
    QString versionAfter;
    // The handset's settings image as read before a write: what an undo
    // writes back. Holds the lock codes, so it is shown masked.
    QByteArray snapshot;
    QString stationRun;

    static constexpr char kCompleted[] = "completed";
    static constexpr char kFailed[] = "failed";
    static constexpr char kStopped[] = "stopped";
    // Another tool held the handset: nothing was sent to it; the end text
    // names the port and the holder.
    static constexpr char kRefused[] = "refused";
    // Kept as a flash begins, so that a flash killed or cut off by a power
    // failure leaves a trace: the inputs, the port and the handset. Its end
    // is a record of its own with the same start time (the store is
    // insert-only), and listings show the pair as that one record.
    static constexpr char kUnfinished[] = "unfinished";

    // A new record: a fresh UUID and the start time, now.
    static ServiceRecord Begin();
    // Sets the end time and the duration.
    void Finish();

    // An ESN as records keep it: its eight hexadecimal digits, upper case
    // ("0A0B0C0D"), whatever form it was given in; other text as it is.
    static QString FullEsn(const QString& esn);
    // As records of older tools kept it, without leading zeros ("A0B0C0D").
    static QString ShortEsn(const QString& esn);

    // ISO 8601, UTC, milliseconds: sorts as text in any store.
    static QString TimeText(const QDateTime& time);
    static QDateTime ParseTime(const QString& text);

    QString InputsJson() const;
    void SetInputsJson(const QString& json);
    // The inputs in one line: "code app.bin 1234 B sha256 ab12...".
    QString InputsText() const;
    // The snapshot's settings in one line, the codes masked unless shown.
    QString SnapshotText(bool showSecrets) const;

    // Every field, for --json and show; the snapshot as its settings.
    QJsonObject ToJson(bool showSecrets) const;
    // Column names and the record's values in that order, for CSV and show.
    static QStringList FieldNames();
    QStringList FieldValues(bool showSecrets) const;
};

} // namespace corvanetov
