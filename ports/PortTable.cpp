#include "ports/PortTable.h"

#include <QFileInfo>

#include "comm/PortResolver.h"
#include "ports/PortConstants.h"
#include "ports/UserSettings.h"

namespace corvanetov {

namespace {

QString Canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

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
