#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace corvanetov {

// Where service records are kept: an SQLite file (the bench's own, by
// default in the user's data folder) or a shop's PostgreSQL server.
struct HistoryLocation {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    QString path; // the SQLite file
    QUrl url;     // the server

    // The store in use: --history's value, else CORVANETOV_HISTORY, else
    // [History] url in the settings file, else the bench's own file. An
    // empty text names nothing; one that names no store is refused with why.
    static std::optional<HistoryLocation> Resolve(const QString& option, QString* why);
    static std::optional<HistoryLocation> Parse(const QString& text, QString* why);
    static HistoryLocation Sqlite(const QString& path);

    // $XDG_DATA_HOME/corvanetov, else ~/.local/share/corvanetov.
    static QString DataFolder();
    static HistoryLocation BenchFile();
    // Where records wait while the server cannot be reached.
    static HistoryLocation Outbox();

    // The text that names this store again (--history, the settings file).
    QString Text() const { return kind == Kind::Sqlite ? path : url.toString(); }
    // What the outbox names as its records' store: the file, or the server
    // and database (the URL without its user: any role may send them).
    QString Destination() const;
    // For messages and `history where`: the file, or the URL without its
    // password.
    QString Describe() const;
    // Any text that may be a URL with its password shown as ****, for
    // messages that quote what the user gave.
    static QString Masked(const QString& text);

    static constexpr char kEnvironment[] = "CORVANETOV_HISTORY";
    static constexpr char kSettingsGroup[] = "History";
    static constexpr char kSettingsValue[] = "url";
};

} // namespace corvanetov
