#include "cli/CliPorts.h"

#include <CLI/CLI.hpp>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliApp.h"
#include "comm/SerialLineCheck.h"
#include "ports/PortConstants.h"
#include "ports/PortTable.h"
#include "ports/SerialDeviceListing.h"
#include "ports/UserSettings.h"

namespace corvanetov {

namespace {

constexpr char kComHint[] = "give COM1 to COM128; the numbers above 128 open the network link, set by: ports telnet HOST:PORT";
constexpr char kAddressHint[] =
    "give HOST:PORT: a host name, an IPv4 address or an IPv6 address in brackets, and a TCP port from 1 to 65535";
constexpr char kNetworkLinkName[] = "network serial link, COM129 to COM255";
constexpr char kTableEntryName[] = "(port table)";

struct ListedPort {
    std::string com;
    std::string path;
    std::string name;
    bool handset;
};

// The listed devices, then what the table holds that is not listed: an
// entry written by hand, a device not plugged in, the network link.
std::vector<ListedPort> ListedPorts()
{
    const std::vector<SerialDeviceEntry> devices = SerialDeviceListing::List();
    const uint8_t handset = SerialDeviceListing::FindHandsetPort(devices);
    std::vector<ListedPort> ports;
    // A device's entry may name it under another path (its kernel name for
    // a by-id link): the number tells what is shown already.
    QSet<uint8_t> listedNumbers;
    for (const SerialDeviceEntry& device : devices) {
        const uint8_t number = SerialDeviceListing::PortNumberOf(device);
        ports.push_back({device.portName.toStdString(), device.devicePath.toStdString(), device.valueName.toStdString(),
                         number != 0 && number == handset});
        listedNumbers.insert(number);
    }
    for (const PortTableEntry& entry : PortTable::Instance().Entries()) {
        if (entry.port > ports::kLastSerialPort)
            ports.push_back({ports::kTelnetValue, entry.target.toStdString(), kNetworkLinkName, false});
        else if (!listedNumbers.contains(entry.port))
            ports.push_back({PortTable::ValueName(entry.port).toStdString(), entry.target.toStdString(), kTableEntryName, false});
    }
    return ports;
}

} // namespace

void CliPorts::Register(CLI::App& app)
{
    m_ports = app.add_subcommand("ports", "list the serial devices with their COM numbers, marking the handset, "
                                          "and what the port table holds besides; or edit the table");
    m_ports->require_subcommand(0, 1);
    m_assign = m_ports->add_subcommand("assign", "COMn (1-128) opens the serial device PATH from now on");
    m_assign->add_option("COMn", m_name, "COM1 to COM128")->required();
    m_assign->add_option("PATH", m_path, "the device, e.g. /dev/ttyUSB0 or a link in /dev/serial/by-id")->required();
    m_forget = m_ports->add_subcommand("forget", "COMn names no device any more; TELNET drops the network link");
    m_forget->add_option("COMn", m_name, "COM1 to COM128, or TELNET")->required();
    m_telnet = m_ports->add_subcommand("telnet", "the numbers above 128 open the network serial link HOST:PORT "
                                                 "(raw TCP, as ser2net serves it)");
    m_telnet->add_option("HOST:PORT", m_path, "e.g. bench-pc:4001 or [fd00::7]:4001")->required();
}

std::optional<int> CliPorts::Run()
{
    if (!m_ports->parsed())
        return std::nullopt;
    if (m_assign->parsed())
        return Assign();
    if (m_forget->parsed())
        return Forget();
    if (m_telnet->parsed())
        return Telnet();
    return List();
}

int CliPorts::List() const
{
    const std::vector<ListedPort> ports = ListedPorts();
    if (m_app.Json()) {
        auto list = nlohmann::json::array();
        for (const ListedPort& port : ports)
            list.push_back({{"com", port.com}, {"path", port.path}, {"name", port.name}, {"handset", port.handset}});
        std::cout << list.dump(2) << std::endl;
        return CliApp::kExitOk;
    }
    if (ports.empty())
        std::cerr << "No serial devices in " << SerialDeviceListing::Folder().toStdString() << std::endl;
    for (const ListedPort& port : ports)
        std::printf("%-7s %-60s %s%s\n", port.com.c_str(), port.path.c_str(), port.name.c_str(),
                    port.handset ? "  <- handset" : "");
    return CliApp::kExitOk;
}

uint8_t CliPorts::PortNamed(bool telnetToo) const
{
    if (telnetToo && QString::fromStdString(m_name).compare(QLatin1String(ports::kTelnetValue), Qt::CaseInsensitive) == 0)
        return comm::kNetworkPortFirst;
    const uint8_t port = PortTable::SerialPortNumber(QString::fromStdString(m_name));
    if (port == 0)
        std::cerr << "Not a serial port: " << m_name << " (" << kComHint << ")" << std::endl;
    return port;
}

int CliPorts::Stored(bool written)
{
    if (!written)
        std::cerr << "Cannot write the port table to " << UserSettings::FileName().toStdString() << std::endl;
    return written ? CliApp::kExitOk : CliApp::kExitFailed;
}

int CliPorts::Assign() const
{
    const uint8_t port = PortNamed(false);
    if (port == 0)
        return CliApp::kExitUsage;
    // Kept as the user wrote it, by-id links included, but from any folder.
    const QString path = QFileInfo(QString::fromStdString(m_path)).absoluteFilePath();
    const std::vector<std::string> whyNot = SerialLineCheck::WhyNot(path.toStdString());
    if (!whyNot.empty()) {
        std::cerr << "Cannot assign " << path.toStdString() << " to COM" << int(port) << ":" << std::endl;
        for (const std::string& line : whyNot)
            std::cerr << "  " << line << std::endl;
        return CliApp::kExitFailed;
    }
    const int status = Stored(PortTable::Instance().Assign(port, path));
    if (status == CliApp::kExitOk)
        std::printf("COM%d    %s\n", port, path.toStdString().c_str());
    return status;
}

int CliPorts::Forget() const
{
    const uint8_t port = PortNamed(true);
    if (port == 0)
        return CliApp::kExitUsage;
    if (PortTable::Instance().Target(port).isEmpty()) {
        std::cerr << m_name << " was not set" << std::endl;
        return CliApp::kExitOk;
    }
    return Stored(PortTable::Instance().Forget(port));
}

int CliPorts::Telnet() const
{
    const QString address = QString::fromStdString(m_path);
    if (!PortTable::IsNetworkAddress(address)) {
        std::cerr << "Not a network address: " << m_path << " (" << kAddressHint << ")" << std::endl;
        return CliApp::kExitUsage;
    }
    const int status = Stored(PortTable::Instance().SetTelnet(address));
    if (status == CliApp::kExitOk)
        std::printf("%s  %s\n", ports::kTelnetValue, m_path.c_str());
    return status;
}

} // namespace corvanetov
