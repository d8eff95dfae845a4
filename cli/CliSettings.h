#pragma once

#include <optional>
#include <string>

#include "cli/CliSettingsFile.h"

namespace CLI {
class App;
}

#include <QString>

namespace corvanetov {
class CliApp;
class NvDoc;
struct ServiceRecord;

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

    // Reads the handset's settings into doc; the exit status.
    static int ReadHandset(CliApp& app, const std::string& what, NvDoc& doc);
    // Writes doc's settings to the handset after reading the ones it
    // replaces into the record's snapshot. With an ESN, a handset of another
    // is refused (exit status 2) and nothing is written.
    static int WriteKeepingSnapshot(CliApp& app, NvDoc& doc, ServiceRecord& record, const QString& esn = QString());

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
