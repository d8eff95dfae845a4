#include "ports/SerialDeviceListing.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>
#include <map>

#include "comm/CommConstants.h"
#include "comm/SerialSlot.h"
#include "ports/PortConstants.h"
#include "ports/PortStore.h"
#include "ports/PortTable.h"

namespace corvanetov {

namespace {

// The kernel driver behind a tty, e.g. "qcserial"; empty when unknown
// (pseudo-terminals, or a link whose device is gone).
QString DriverName(const QString& devicePath)
{
    QString tty = QFileInfo(QFileInfo(devicePath).canonicalFilePath()).fileName();
    if (tty.isEmpty())
        return {};
    QFileInfo driver(QLatin1String(ports::kSysClassTty) + tty + QLatin1String("/device/driver"));
    return QFileInfo(driver.canonicalFilePath()).fileName();
}

QString ValueName(const QFileInfo& link)
{
    QString driver = DriverName(link.filePath());
    return driver.isEmpty() ? link.fileName() : link.fileName() + QLatin1String(" (") + driver + QLatin1Char(')');
}

QString PortName(uint8_t number)
{
    return number ? PortTable::ValueName(number) : QString();
}

} // namespace

QString SerialDeviceListing::Folder()
{
    QString folder = qEnvironmentVariable(ports::kSerialByIdVariable);
    return folder.isEmpty() ? QString::fromLatin1(ports::kSerialByIdFolder) : folder;
}

std::vector<SerialDeviceEntry> SerialDeviceListing::List()
{
    const QFileInfoList links = QDir(Folder()).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const std::map<std::string, std::string> byPath = SerialSlot::Links();
    std::vector<SerialDeviceEntry> entries;
    QStringList slotPaths;
    for (const QFileInfo& link : links) {
        if (link.isDir())
            continue;
        QString path = link.filePath();
        const auto found = byPath.find(link.canonicalFilePath().toStdString());
        slotPaths << (found == byPath.end() ? path : QString::fromStdString(found->second));
        entries.push_back({ValueName(link), {}, path, slotPaths.back()});
    }
    // Numbered together: the new devices of a tray in one write.
    const std::vector<uint8_t> numbers = PortTable::Instance().NumbersFor(slotPaths);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].portName = PortName(numbers[i]);
    return entries;
}

uint8_t SerialDeviceListing::FindHandsetPort()
{
    return FindHandsetPort(List());
}

uint8_t SerialDeviceListing::FindHandsetPort(const std::vector<SerialDeviceEntry>& entries)
{
    for (const SerialDeviceEntry& entry : entries) {
        if (entry.valueName.contains(QLatin1String(ports::kHandsetMarker)))
            return PortNumberOf(entry);
    }
    return 0;
}

std::vector<uint8_t> SerialDeviceListing::HandsetPorts(const std::vector<SerialDeviceEntry>& entries)
{
    std::vector<uint8_t> found;
    for (const SerialDeviceEntry& entry : entries) {
        const uint8_t port = PortNumberOf(entry);
        if (port != 0 && entry.valueName.contains(QLatin1String(ports::kHandsetMarker)))
            found.push_back(port);
    }
    return found;
}

uint8_t SerialDeviceListing::PortNumberOf(const SerialDeviceEntry& entry)
{
    return PortStore::PortNumberFromText(entry.portName.mid(comm::kComPrefixLength));
}

} // namespace corvanetov
