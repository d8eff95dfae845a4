#include "ports/PortTable.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

#include "comm/CommConstants.h"
#include "comm/DownloadModeNotes.h"
#include "comm/PortResolver.h"
#include "comm/SerialSlot.h"
#include "platform/FileLock.h"
#include "ports/PortConstants.h"
#include "ports/UserSettings.h"

namespace corvanetov {

namespace {

QString Canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// Beside the store, apart from the lock QSettings takes for each write.
constexpr char kNumberingLockSuffix[] = ".numbering-lock";
// Long enough for another tool's numbering; a tool that died holding the
// lock is seen as gone at once.
constexpr std::chrono::milliseconds kNumberingLockWait{5000};

bool SameDevice(const QString& entry, const QString& path, const QString& canonicalPath)
{
    if (entry.isEmpty())
        return false;
    return entry == path || (!canonicalPath.isEmpty() && Canonical(entry) == canonicalPath);
}

// The lowest entry that names the device at path; 0 when none does.
uint8_t Naming(const QHash<QString, QString>& entries, const QString& devicePath)
{
    const QString canonicalPath = Canonical(devicePath);
    for (int port = 1; port <= ports::kLastSerialPort; ++port) {
        if (SameDevice(entries.value(PortTable::ValueName(static_cast<uint8_t>(port))), devicePath, canonicalPath))
            return static_cast<uint8_t>(port);
    }
    return 0;
}

// When the tool last listed the device it numbered port with; none for an
// entry written by hand.
std::optional<qint64> Seen(const QHash<QString, QString>& seen, uint8_t port)
{
    bool number = false;
    const qint64 seconds = seen.value(PortTable::ValueName(port)).toLongLong(&number);
    return number ? std::optional<qint64>(seconds) : std::nullopt;
}

uint8_t FreeNumber(const QHash<QString, QString>& entries)
{
    for (int port = 1; port <= ports::kLastSerialPort; ++port) {
        if (entries.value(PortTable::ValueName(static_cast<uint8_t>(port))).isEmpty())
            return static_cast<uint8_t>(port);
    }
    return 0;
}

// The number the tool gave a device that has been away longest, if that is
// long enough; a device still there keeps its number however old.
uint8_t LongestAway(const QHash<QString, QString>& entries, const QHash<QString, QString>& seen, qint64 now)
{
    uint8_t longest = 0;
    qint64 oldest = now - ports::kReuseAfterSeconds + 1;
    for (int number = 1; number <= ports::kLastSerialPort; ++number) {
        const auto port = static_cast<uint8_t>(number);
        const std::optional<qint64> when = Seen(seen, port);
        if (when && *when < oldest && !QFileInfo::exists(entries.value(PortTable::ValueName(port)))) {
            oldest = *when;
            longest = port;
        }
    }
    return longest;
}

} // namespace

PortTable& PortTable::Instance()
{
    static PortTable table;
    return table;
}

QString PortTable::ValueName(uint8_t port)
{
    return QString::fromStdString(PortResolver::ComName(port));
}

QString PortTable::DevicePath(uint8_t port) const
{
    if (port == 0)
        return {};
    return UserSettings::ReadString(ports::kPortTableKey, ValueName(port));
}

QString PortTable::Target(uint8_t port) const
{
    if (port > ports::kLastSerialPort)
        return UserSettings::ReadString(ports::kPortTableKey, ports::kTelnetValue);
    return DevicePath(port);
}

// What one numbering knows of the store, and what it will write there.
struct PortTable::Numbering {
    QHash<QString, QString> entries;
    QHash<QString, QString> seen;
    qint64 now = 0;
    std::vector<UserSettings::Value> writes;

    void Read()
    {
        entries = UserSettings::Values(ports::kPortTableKey);
        seen = UserSettings::Values(ports::kPortSeenKey);
    }
    void NoteEntry(uint8_t port, const QString& devicePath)
    {
        entries.insert(ValueName(port), devicePath);
        writes.push_back({QLatin1String(ports::kPortTableKey), ValueName(port), devicePath});
    }
    void NoteSeen(uint8_t port)
    {
        seen.insert(ValueName(port), QString::number(now));
        writes.push_back({QLatin1String(ports::kPortSeenKey), ValueName(port), QString::number(now)});
    }
};

uint8_t PortTable::NumberFor(const QString& devicePath)
{
    return NumbersFor({devicePath}).front();
}

std::vector<uint8_t> PortTable::NumbersFor(const QStringList& devicePaths)
{
    if (devicePaths.isEmpty())
        return {};
    std::lock_guard lock(m_mutex);
    // Tools of the same user on other handsets may be numbering their
    // devices at this moment: each free number must go to one device only,
    // or a tool would later open another tool's handset under its number.
    const QString storeFile = UserSettings::FileName();
    QDir().mkpath(QFileInfo(storeFile).absolutePath());
    FileLock numbering;
    numbering.Take((storeFile + kNumberingLockSuffix).toStdString(), kNumberingLockWait); // without it (an unwritable folder) as before: the store's own write fails then
    Numbering table;
    table.Read();
    table.now = QDateTime::currentSecsSinceEpoch();
    std::vector<uint8_t> numbers;
    std::vector<size_t> fresh; // the devices numbered now
    for (const QString& devicePath : devicePaths) {
        const bool known = Naming(table.entries, devicePath) != 0;
        numbers.push_back(Number(devicePath, table));
        if (!known)
            fresh.push_back(numbers.size() - 1);
    }
    // One write for the whole listing: a tray of 64 new handsets written
    // one by one kept a station's jobs from starting for 0.7 s.
    if (!table.writes.empty() && !UserSettings::Write(table.writes)) {
        for (size_t index : fresh)
            numbers[index] = 0;
    }
    return numbers;
}

uint8_t PortTable::Number(const QString& devicePath, Numbering& table)
{
    if (uint8_t known = Naming(table.entries, devicePath)) {
        // The number goes with the handset's slot, the one of its names that
        // a restart into download mode does not change.
        if (table.entries.value(ValueName(known)) != devicePath && SerialSlot::IsSlot(devicePath.toStdString())) {
            const bool assigned = UserSettings::Write(table.writes) && Assign(known, devicePath);
            table.writes.clear();
            table.Read();
            return assigned ? known : 0;
        }
        if (std::optional<qint64> when = Seen(table.seen, known); when && table.now - *when >= ports::kSeenRefreshSeconds)
            table.NoteSeen(known);
        return known;
    }
    uint8_t port = FreeNumber(table.entries);
    if (!port)
        port = LongestAway(table.entries, table.seen, table.now);
    // No other entry names the device: nothing to move, as Assign would.
    if (port) {
        table.NoteEntry(port, devicePath);
        table.NoteSeen(port);
    }
    return port;
}

QString PortTable::FullText() const
{
    const QHash<QString, QString> seen = UserSettings::Values(ports::kPortSeenKey);
    int byHand = 0;
    for (int port = 1; port <= ports::kLastSerialPort; ++port)
        byHand += !Seen(seen, static_cast<uint8_t>(port));
    return QStringLiteral("every COM number is taken: %1 by devices listed within the last %2 minutes or plugged in now, "
                          "%3 written by hand; \"corvanetov-cli ports forget COMn\" frees one")
        .arg(ports::kLastSerialPort - byHand)
        .arg(ports::kReuseAfterSeconds / 60)
        .arg(byHand);
}

uint8_t PortTable::Find(const QString& devicePath) const
{
    return Naming(UserSettings::Values(ports::kPortTableKey), devicePath);
}

bool PortTable::Assign(uint8_t port, const QString& devicePath)
{
    if (port == 0)
        return false;
    const QString canonicalPath = Canonical(devicePath);
    const QHash<QString, QString> entries = UserSettings::Values(ports::kPortTableKey);
    for (int other = 1; other <= ports::kLastSerialPort; ++other) {
        const QString name = ValueName(static_cast<uint8_t>(other));
        if (other != port && SameDevice(entries.value(name), devicePath, canonicalPath)
            && !UserSettings::Remove(ports::kPortTableKey, name))
            return false;
    }
    // Written by hand, it is kept: no time of its own, never given out again.
    return UserSettings::Remove(ports::kPortSeenKey, ValueName(port)) &&
           UserSettings::WriteString(ports::kPortTableKey, ValueName(port), devicePath);
}

bool PortTable::Forget(uint8_t port)
{
    const QString name = port > ports::kLastSerialPort ? QString::fromLatin1(ports::kTelnetValue) : ValueName(port);
    return UserSettings::Remove(ports::kPortTableKey, name);
}

std::vector<PortTableEntry> PortTable::Entries() const
{
    const QHash<QString, QString> values = UserSettings::Values(ports::kPortTableKey);
    std::vector<PortTableEntry> entries;
    for (int port = 1; port <= ports::kLastSerialPort; ++port) {
        const QString path = values.value(ValueName(static_cast<uint8_t>(port)));
        if (!path.isEmpty())
            entries.push_back({static_cast<uint8_t>(port), path});
    }
    const QString link = values.value(QString::fromLatin1(ports::kTelnetValue));
    if (!link.isEmpty())
        entries.push_back({comm::kNetworkPortFirst, link});
    return entries;
}

uint8_t PortTable::SerialPortNumber(QStringView name)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(name);
    const int port = match.hasMatch() ? match.captured(1).toInt() : 0;
    return port <= ports::kLastSerialPort ? static_cast<uint8_t>(port) : 0;
}

bool PortTable::IsNetworkAddress(const QString& text)
{
    // Host name labels of letters, digits and hyphens, at most 63 each and
    // 253 in all, as a name server takes them (an IPv4 address is one too),
    // or an IPv6 address in brackets, which the link unwraps.
    static const QRegularExpression address(
        QStringLiteral("^((?:[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*)"
                       "|\\[[0-9A-Fa-f:.]{2,45}\\]):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = address.match(text);
    const int tcpPort = match.hasMatch() ? match.captured(2).toInt() : 0;
    return tcpPort >= 1 && tcpPort <= ports::kMaxTcpPort && match.captured(1).size() <= ports::kMaxHostName;
}

bool PortTable::SetTelnet(const QString& hostAndPort)
{
    return UserSettings::WriteString(ports::kPortTableKey, ports::kTelnetValue, hostAndPort);
}

void PortTable::InstallResolver()
{
    PortResolver::Instance().Set([this](uint8_t port) { return Target(port).toStdString(); },
                                 UserSettings::FileName().toStdString());
    DownloadModeNotes::Instance().SetFolder(
        (QFileInfo(UserSettings::FileName()).absolutePath() + QLatin1Char('/') + QLatin1String(ports::kDownloadModeFolder))
            .toStdString());
    DropNotesByNumber();
}

// Read first: the store is rewritten only where such notes are left.
void PortTable::DropNotesByNumber()
{
    const QHash<QString, QString> notes = UserSettings::Values(ports::kDownloadModeKey);
    for (auto note = notes.keyBegin(); note != notes.keyEnd(); ++note)
        UserSettings::Remove(ports::kDownloadModeKey, *note);
}

} // namespace corvanetov
