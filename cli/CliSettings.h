#pragma once

#include <optional>
#include <string>

#include "cli/CliSettingsFile.h"

namespace CLI {
class App;
}

namespace corvanetov {
class CliApp;

// The settings commands: show and set work on a settings file alone; read
// fills one from the handset and write sends one to it.
class CliSettings {
public:
    explicit CliSettings(CliApp& app) : m_app(app) {}

    // Adds the settings command and its subcommands to the command line.
    void Register(CLI::App& app);
    // The exit status of the settings command given, or none when the
    // command line named another.
    std::optional<int> Run();

private:
    int Read();
    int Write();

    CliApp& m_app;
    std::string m_path;
    CliSettingsFile::Edits m_edits;
    CLI::App* m_show = nullptr;
    CLI::App* m_set = nullptr;
    CLI::App* m_read = nullptr;
    CLI::App* m_write = nullptr;
};

} // namespace corvanetov
