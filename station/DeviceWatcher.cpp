#include "station/DeviceWatcher.h"

#include <QDir>

#include "ports/PortConstants.h"
#include "station/StationConstants.h"

namespace corvanetov {

DeviceWatcher::DeviceWatcher(QObject* parent) : QObject(parent)
{
    m_rescan.setInterval(station::kRescanMs);
    connect(&m_rescan, &QTimer::timeout, this, &DeviceWatcher::Look);
    connect(&m_watch, &QFileSystemWatcher::directoryChanged, this, &DeviceWatcher::Look);
}

void DeviceWatcher::Start()
{
    m_rescan.start();
    Look();
}

std::vector<SerialDeviceEntry> DeviceWatcher::Handsets()
{
    std::vector<SerialDeviceEntry> handsets;
    for (SerialDeviceEntry& entry : SerialDeviceListing::List()) {
        if (entry.valueName.contains(QLatin1String(ports::kHandsetMarker)))
            handsets.push_back(std::move(entry));
    }
    return handsets;
}

// Only the names are compared: numbering the devices reads the port table,
// which is not worth doing twice a second for nothing.
void DeviceWatcher::Look()
{
    const QString folder = SerialDeviceListing::Folder();
    if (m_watch.directories().isEmpty() && QDir(folder).exists())
        m_watch.addPath(folder);
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (m_looked && names == m_names)
        return;
    m_looked = true;
    m_names = names;
    emit Listed(Handsets());
}

} // namespace corvanetov
