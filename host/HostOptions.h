#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace corvanetov {

// The host's command line:
//   corvanetov [--plugin FILE]... [--plugin-dir DIR] [--tool-type N] [--all-views]
// Plug-ins are loaded from the plug-in folder beside the executable
// (HostConstants::kPluginFolder) unless --plugin-dir names another, and then
// from every --plugin FILE.
class HostOptions {
public:
    // False with the reason (or the help text, for --help) in error. Needs
    // no application, so that a wrong command line is told without a display.
    bool Parse(const QStringList& arguments, QString& error);

    QString PluginFolder(const QString& executableDir) const;
    QStringList PluginFiles() const { return m_pluginFiles; }
    bool HelpRequested() const { return m_help; }
    uint8_t ToolType() const { return m_toolType; }
    // Also the views the plug-ins build but do not offer (a "More views" menu).
    bool AllViews() const { return m_allViews; }

private:
    QString m_pluginFolder;
    QStringList m_pluginFiles;
    uint8_t m_toolType = 0;
    bool m_help = false;
    bool m_allViews = false;
};

} // namespace corvanetov
