#include "forms/PortChoice.h"

#include <QComboBox>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "comm/CommConstants.h"
#include "engine/OperationContext.h"
#include "forms/PortSettingConstants.h"
#include "hostlink/HostNotifier.h"
#include "hostlink/PluginAbi.h"
#include "ports/PortConstants.h"
#include "ports/PortTable.h"
#include "ports/SerialDeviceListing.h"

namespace corvanetov {

void PortChoice::Fill(QComboBox* portList, QComboBox* baudList)
{
    portList->clear();
    const std::vector<uint8_t> handsets = SerialDeviceListing::HandsetPorts(SerialDeviceListing::List());
    const int selected = OperationContext::Instance().SelectedPort();
    for (int port = 1; port <= portsetting::kPortListCount; ++port) {
        portList->addItem(EntryText(static_cast<uint8_t>(port), std::ranges::count(handsets, port) != 0), port);
        QString device = PortTable::Instance().DevicePath(static_cast<uint8_t>(port));
        if (!device.isEmpty())
            portList->setItemData(port - 1, device, Qt::ToolTipRole);
    }
    // Every number above 128 opens the one network link: one entry, on the
    // selected number when that is one of them.
    const QString link = PortTable::Instance().Target(comm::kNetworkPortFirst);
    const int networkPort = selected >= comm::kNetworkPortFirst ? selected : comm::kNetworkPortFirst;
    if (!link.isEmpty())
        portList->addItem(QString::fromLatin1(portsetting::kNetworkEntryFormat).arg(networkPort).arg(link), networkPort);
    baudList->clear();
    for (uint32_t baud : portsetting::kBaudRates)
        baudList->addItem(QString::number(baud));

    portList->setCurrentIndex(selected == 0 ? 0 : portList->findData(selected));
}

QString PortChoice::EntryText(uint8_t port, bool handset)
{
    QString text = PortTable::ValueName(port);
    const QString device = PortTable::Instance().DevicePath(port);
    if (device.isEmpty())
        return text;
    // A by-id link shows by its name, which tells one handset from another,
    // and the device it leads to, the name people know; a link whose device
    // is gone, and a plain device, show as they are stored.
    const QString resolved = QFileInfo(device).canonicalFilePath();
    if (resolved.isEmpty() || resolved == device)
        text += portsetting::kEntrySeparator + device;
    else
        text += portsetting::kEntrySeparator + QFileInfo(device).fileName() + QString::fromLatin1(portsetting::kLinkTargetFormat).arg(resolved);
    if (handset)
        text += portsetting::kEntrySeparator + QString::fromLatin1(portsetting::kHandsetName);
    return text;
}

uint8_t PortChoice::Chosen(const QComboBox* portList)
{
    return static_cast<uint8_t>(portList->currentData().toInt());
}

bool PortChoice::ChosenHasTarget(const QComboBox* portList)
{
    const uint8_t port = Chosen(portList);
    return port != 0 && !PortTable::Instance().Target(port).isEmpty();
}

bool PortChoice::ForgetChosen(QComboBox* portList)
{
    const uint8_t port = Chosen(portList);
    if (port == 0 || !PortTable::Instance().Forget(port))
        return false;
    const int index = portList->currentIndex();
    if (port > ports::kLastSerialPort) {
        portList->removeItem(index);
        return true;
    }
    portList->setItemText(index, EntryText(port, false));
    portList->setItemData(index, QVariant(), Qt::ToolTipRole);
    return true;
}

bool PortChoice::Present(uint8_t port)
{
    if (port > ports::kLastSerialPort)
        return !PortTable::Instance().Target(port).isEmpty();
    const QString device = PortTable::Instance().DevicePath(port);
    return !device.isEmpty() && QFileInfo::exists(device);
}

void PortChoice::AnnouncePort(uint8_t port)
{
    char line[32];
    std::snprintf(line, sizeof line, portsetting::kPortLineFormat, port);
    HostNotifier::Instance().Send(PluginAbi::kPortLine, line);
}

} // namespace corvanetov
