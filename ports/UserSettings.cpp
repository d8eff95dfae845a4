#include "ports/UserSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <utility>

#include "platform/FileLock.h"
#include "platform/FileSave.h"
#include "ports/PortConstants.h"

namespace corvanetov {

namespace {

// The file's time and size: whether it changed since it was read.
using FileStamp = std::pair<qint64, qint64>;

FileStamp StampOf(const QString& fileName)
{
    QFileInfo file(fileName);
    return {file.lastModified().toMSecsSinceEpoch(), file.size()};
}

// Qt reads the file once per process and shares what it read: only the store
// object that read a damaged file is told so. The damage is remembered here
// until the file changes.
std::mutex g_damageMutex;
std::optional<FileStamp> g_damaged;

// Reads the whole file, as damage may show only then.
void NoteDamage(QSettings& store)
{
    store.allKeys();
    const FileStamp stamp = StampOf(store.fileName());
    std::lock_guard lock(g_damageMutex);
    if (store.status() == QSettings::FormatError)
        g_damaged = stamp;
    else if (g_damaged && *g_damaged != stamp)
        g_damaged.reset();
}

// A file that cannot be read as settings is never written over: that would
// lose it.
bool MayWrite(const QSettings& store)
{
    std::lock_guard lock(g_damageMutex);
    return store.status() == QSettings::NoError && !g_damaged;
}

// Where Qt keeps the store, found without opening it.
QString StorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        QLatin1String(ports::kStoreOrganization) + QLatin1Char('/') + QLatin1String(ports::kStoreApplication) +
        QLatin1String(".ini");
}

// A named pipe or a device in the store's place would hold Qt's read of it
// for ever, and its write would replace it: such a store is neither read nor
// written, as if it were empty and read-only.
bool StoreMayBeOpened()
{
    struct stat info {};
    return ::stat(QFile::encodeName(StorePath()).constData(), &info) != 0 || S_ISREG(info.st_mode);
}

std::unique_ptr<QSettings> OpenStore()
{
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, ports::kStoreOrganization,
                                             ports::kStoreApplication);
    NoteDamage(*store);
    return store;
}

// QSettings separates groups with '/' where a registry key uses '\'.
QString Group(const QString& key)
{
    return QString(key).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

std::unique_ptr<QSettings> OpenKey(const QString& key)
{
    auto store = OpenStore();
    store->beginGroup(Group(key));
    return store;
}

QString ValuePath(const QString& key, const QString& valueName)
{
    return Group(key) + QLatin1Char('/') + valueName;
}

// Qt locks the file for each write as well, but a writer that finds it
// locked sleeps 100 ms, then 200, 400, ... up to 6.4 s between its tries:
// of 64 tools writing at once (a station's jobs), the last waited 25 s for
// a write of a few milliseconds. Our own turn, tried every few
// milliseconds, lets them write one after the other; Qt's lock is then
// free whenever one of them reaches it. Without the turn (a folder that
// cannot be written) Qt's lock alone keeps the file whole.
constexpr char kWriteTurnSuffix[] = ".write-turn";
constexpr std::chrono::milliseconds kWriteTurnWait{10000};

bool Change(const std::function<void(QSettings&)>& change)
{
    if (!StoreMayBeOpened())
        return false;
    const QString storeFile = StorePath();
    QDir().mkpath(QFileInfo(storeFile).absolutePath());
    FileLock turn;
    turn.Take((storeFile + QLatin1String(kWriteTurnSuffix)).toStdString(), kWriteTurnWait);
    // It may name a shop's server with its password.
    FileSave::MakePrivate(QFile::encodeName(storeFile).toStdString());
    auto store = OpenStore();
    if (!MayWrite(*store))
        return false;
    change(*store);
    store->sync();
    return store->status() == QSettings::NoError;
}

} // namespace

QString UserSettings::ReadString(const QString& key, const QString& valueName)
{
    if (!StoreMayBeOpened())
        return {};
    return OpenKey(key)->value(valueName).toString();
}

bool UserSettings::WriteString(const QString& key, const QString& valueName, const QString& text)
{
    return Write({{key, valueName, text}});
}

bool UserSettings::Write(const std::vector<Value>& values)
{
    return Change([&](QSettings& store) {
        for (const Value& value : values)
            store.setValue(ValuePath(value.key, value.name), value.text);
    });
}

bool UserSettings::Remove(const QString& key, const QString& valueName)
{
    return Change([&](QSettings& store) { store.remove(ValuePath(key, valueName)); });
}

QHash<QString, QString> UserSettings::Values(const QString& key)
{
    QHash<QString, QString> values;
    if (!StoreMayBeOpened())
        return values;
    auto store = OpenKey(key);
    for (const QString& name : store->childKeys())
        values.insert(name, store->value(name).toString());
    return values;
}

bool UserSettings::Writable()
{
    if (!StoreMayBeOpened())
        return false;
    auto store = OpenStore();
    return MayWrite(*store) && store->isWritable();
}

QString UserSettings::FileName()
{
    return StorePath();
}

} // namespace corvanetov
