#include "ports/PortTable.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include "comm/PortResolver.h"
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
constexpr int kNumberingLockWaitMs = 5000;

bool SameDevice(const QString& entry, const QString& path, const QString& canonicalPath)
{
    if (entry.isEmpty())
        return false;
    return entry == path || (!canonicalPath.isEmpty() && Canonical(entry) == canonicalPath);
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

uint8_t PortTable::NumberFor(const QString& devicePath)
{
    std::lock_guard lock(m_mutex);
    // Tools of the same user on other handsets may be numbering their
    // devices at this moment: each free number must go to one device only,
    // or a tool would later open another tool's handset under its number.
    const QString storeFile = UserSettings::FileName();
    QDir().mkpath(QFileInfo(storeFile).absolutePath());
    QLockFile numbering(storeFile + kNumberingLockSuffix);
    numbering.tryLock(kNumberingLockWaitMs); // without it (an unwritable folder) as before: the store's own write fails then
    const QString canonicalPath = Canonical(devicePath);
    const QHash<QString, QString> entries = UserSettings::Values(ports::kPortTableKey);
    auto entry = [&](int port) { return entries.value(ValueName(static_cast<uint8_t>(port))); };
    for (int port = 1; port <= ports::kLastSerialPort; ++port) {
        if (SameDevice(entry(port), devicePath, canonicalPath))
            return static_cast<uint8_t>(port);
    }
    for (int port = 1; port <= ports::kLastSerialPort; ++port) {
        if (entry(port).isEmpty())
            return Assign(static_cast<uint8_t>(port), devicePath) ? static_cast<uint8_t>(port) : 0;
    }
    return 0;
}

bool PortTable::Assign(uint8_t port, const QString& devicePath)
{
    if (port == 0)
        return false;
    return UserSettings::WriteString(ports::kPortTableKey, ValueName(port), devicePath);
}

bool PortTable::SetTelnet(const QString& hostAndPort)
{
    return UserSettings::WriteString(ports::kPortTableKey, ports::kTelnetValue, hostAndPort);
}

void PortTable::InstallResolver()
{
    PortResolver::Instance().Set([this](uint8_t port) { return Target(port).toStdString(); });
}

} // namespace corvanetov
