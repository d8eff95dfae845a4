#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace corvanetov {

// Which records a listing or an export takes. Empty fields take every
// record; dates compare with the start time.
struct HistoryFilter {
    QString esn{};
    QString since{}; // ISO 8601 UTC, inclusive
    QString until{}; // ISO 8601 UTC, exclusive
    QString operation{};
    QString bench{};
    bool failedOnly = false;
    int limit = 0; // 0: no limit
    QString waitingFor{}; // in the outbox: the destination its records wait for
    QString devicePath{};
    // An unfinished record whose flash has its end record (the same start,
    // device and ESN) is the same flash twice: left out unless asked for.
    bool everyUnfinished = false;

    // "2026-12-07" or a full ISO 8601 time as the bound of a range: a date
    // alone starts at midnight UTC, and as an upper bound takes its whole
    // day. Empty when the text is no date.
    static std::optional<QString> Bound(const QString& text, bool upper);
    // The bounds from the texts the user gave (an empty one takes none);
    // false, with the text that is no date, when one is not.
    bool TakeDates(const QString& sinceText, const QString& untilText, QString* notADate);
    // The ESN as records keep it and as older ones kept it: a search finds
    // both. Empty when the filter takes any ESN.
    QStringList EsnForms() const;
};

} // namespace corvanetov
