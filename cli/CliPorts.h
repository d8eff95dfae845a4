#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace corvanetov {

class CliApp;

// The ports command: bare, it lists the serial devices with their COM
// numbers and what the port table holds besides; assign, forget and telnet
// edit the table, so that no one has to edit the settings file by hand.
class CliPorts {
public:
    explicit CliPorts(CliApp& app) : m_app(app) {}

    void Register(CLI::App& app);
    // The exit status of the ports command, or none when the command line
    // named another.
    std::optional<int> Run();

private:
    int List() const;
    int Assign() const;
    int Forget() const;
    int Telnet() const;
    // The port number of m_name (COM1 to COM128, or TELNET for forget);
    // 0 after telling why not.
    uint8_t PortNamed(bool telnetToo) const;
    static int Stored(bool written);

    CliApp& m_app;
    std::string m_name;
    std::string m_path;
    CLI::App* m_ports = nullptr;
    CLI::App* m_assign = nullptr;
    CLI::App* m_forget = nullptr;
    CLI::App* m_telnet = nullptr;
};

} // namespace corvanetov
