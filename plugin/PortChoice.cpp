#include "plugin/PortChoice.h"

#include <QComboBox>
#include <cstdio>

#include "engine/OperationContext.h"
#include "plugin/HostNotifier.h"
#include "plugin/PluginAbi.h"
#include "plugin/PortConstants.h"
#include "plugin/PortTable.h"

void PortChoice::Fill(QComboBox* portList, QComboBox* baudList)
{
    portList->clear();
    for (int port = 1; port <= ports::kPortListCount; ++port) {
        portList->addItem(QString::asprintf("COM%d", port));
        QString device = PortTable::Instance().DevicePath(static_cast<uint8_t>(port));
        if (!device.isEmpty())
            portList->setItemData(port - 1, device, Qt::ToolTipRole);
    }
    baudList->clear();
    for (const char* baud : ports::kBaudRates)
        baudList->addItem(QString::fromLatin1(baud));

    int selected = OperationContext::Instance().SelectedPort();
    if (selected == 0)
        portList->setCurrentIndex(0);
    else
        portList->setCurrentIndex(selected <= ports::kPortListCount ? selected - 1 : -1);
}

uint8_t PortChoice::Chosen(const QComboBox* portList)
{
    return static_cast<uint8_t>(portList->currentIndex() + 1);
}

void PortChoice::AnnouncePort(uint8_t port)
{
    char line[32];
    std::snprintf(line, sizeof line, ports::kPortLineFormat, port);
    HostNotifier::Instance().Send(PluginAbi::kPortLine, line);
}
