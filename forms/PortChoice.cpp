#include "forms/PortChoice.h"

#include <QComboBox>
#include <QFileInfo>
#include <cstdio>

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
    const uint8_t handset = SerialDeviceListing::FindHandsetPort(SerialDeviceListing::List());
    for (int port = 1; port <= portsetting::kPortListCount; ++port) {
        portList->addItem(EntryText(static_cast<uint8_t>(port), handset));
        QString device = PortTable::Instance().DevicePath(static_cast<uint8_t>(port));
        if (!device.isEmpty())
            portList->setItemData(port - 1, device, Qt::ToolTipRole);
    }
    baudList->clear();
    for (uint32_t baud : portsetting::kBaudRates)
        baudList->addItem(QString::number(baud));

    int selected = OperationContext::Instance().SelectedPort();
    if (selected == 0)
        portList->setCurrentIndex(0);
    else
        portList->setCurrentIndex(selected <= portsetting::kPortListCount ? selected - 1 : -1);
}

QString PortChoice::EntryText(uint8_t port, uint8_t handset)
{
    QString text = PortTable::ValueName(port);
    const QString device = PortTable::Instance().DevicePath(port);
    if (device.isEmpty())
        return text;
    // A by-id link shows as the device it leads to, the name people know;
    // a link whose device is gone shows as it is stored.
    const QString resolved = QFileInfo(device).canonicalFilePath();
    text += portsetting::kEntrySeparator + (resolved.isEmpty() ? device : resolved);
    if (port == handset)
        text += portsetting::kEntrySeparator + QString::fromLatin1(portsetting::kHandsetName);
    return text;
}

uint8_t PortChoice::Chosen(const QComboBox* portList)
{
    return static_cast<uint8_t>(portList->currentIndex() + 1);
}

void PortChoice::AnnouncePort(uint8_t port)
{
    char line[32];
    std::snprintf(line, sizeof line, portsetting::kPortLineFormat, port);
    HostNotifier::Instance().Send(PluginAbi::kPortLine, line);
}

} // namespace corvanetov
