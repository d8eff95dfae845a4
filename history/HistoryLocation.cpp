#include "history/HistoryLocation.h"

#include <QDir>
#include <QRegularExpression>

#include "ports/UserSettings.h"

namespace corvanetov {

namespace {
constexpr char kFolder[] = "corvanetov";
constexpr char kBenchFile[] = "history.sqlite";
constexpr char kOutboxFile[] = "outbox.sqlite";
} // namespace

std::optional<HistoryLocation> HistoryLocation::Resolve(const QString& option, QString* why)
{
    if (!option.isEmpty())
        return Parse(option, why);
    if (QString named = qEnvironmentVariable(kEnvironment); !named.isEmpty())
        return Parse(named, why);
    // Through the store's own reader: a damaged file is then known as such
    // to every later reader and writer, and a pipe in its place is not read.
    if (QString stored = UserSettings::ReadString(kSettingsGroup, kSettingsValue); !stored.isEmpty())
        return Parse(stored, why);
    return BenchFile();
}

std::optional<HistoryLocation> HistoryLocation::Parse(const QString& text, QString* why)
{
    QUrl url(text);
    const QString scheme = url.scheme();
    if (scheme == "postgresql" || scheme == "postgres") {
        HistoryLocation location;
        location.kind = Kind::Postgres;
        location.url = url;
        if (url.path().size() > 1)
            return location;
        *why = Masked(text) + ": the URL names no database (postgresql://user@host/database)";
        return std::nullopt;
    }
    if (scheme == "sqlite" && url.path().startsWith('/'))
        return Sqlite(url.path());
    if (text.startsWith('/'))
        return Sqlite(text);
    *why = Masked(text) + ": not a history store (postgresql://user@host/database, or an SQLite file's absolute path)";
    return std::nullopt;
}

HistoryLocation HistoryLocation::Sqlite(const QString& path)
{
    HistoryLocation location;
    location.path = path;
    return location;
}

QString HistoryLocation::DataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !base.startsWith('/'))
        base = QDir::homePath() + "/.local/share";
    return base + "/" + kFolder;
}

HistoryLocation HistoryLocation::BenchFile()
{
    return Sqlite(DataFolder() + "/" + kBenchFile);
}

HistoryLocation HistoryLocation::Outbox()
{
    return Sqlite(DataFolder() + "/" + kOutboxFile);
}

QString HistoryLocation::Destination() const
{
    if (kind == Kind::Sqlite)
        return path;
    QUrl bare = url;
    bare.setUserInfo({});
    bare.setScheme("postgresql");
    return bare.toString();
}

QString HistoryLocation::Describe() const
{
    if (kind == Kind::Sqlite)
        return path;
    return Masked(url.toString());
}

// By the text, not by QUrl: a URL QUrl cannot take, or whose scheme is
// misspelled, is masked all the same.
QString HistoryLocation::Masked(const QString& text)
{
    static const QRegularExpression password(QStringLiteral("^([^:/?#@]+:/*[^:/?#@]*:)[^/?#]*@"));
    return QString(text).replace(password, QStringLiteral("\\1****@"));
}

} // namespace corvanetov
