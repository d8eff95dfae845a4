#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace corvanetov {

// The host's command line:
//   corvanetov [--plugin FILE]... [--plugin-dir DIR] [--tool-type N] [--all-views]
//   corvanetov --version | --list-plugins | --help
// Plug-ins are loaded from the plug-in folder beside the executable
// (HostConstants::kPluginFolder) unless --plugin-dir or the environment's
// CORVANETOV_PLUGIN_DIR names another, and then from every --plugin FILE.
class HostOptions {
public:
    // False with the reason (or the help text, for --help) in error. Needs
    // no application, so that a wrong command line is told without a display.
    bool Parse(const QStringList& arguments, QString& error);

    QString PluginFolder(const QString& executableDir) const;
    QStringList PluginFiles() const { return m_pluginFiles; }
    // Every plug-in the host loads, in its order: the folder's, by name,
    // then the --plugin files.
    QStringList Plugins(const QString& executableDir) const;
    static QStringList PluginsIn(const QString& folder);
    bool HelpRequested() const { return m_help; }
    // Tell the version and the plug-in folder, or load the plug-ins and tell
    // what each is, and end: no window, no display needed.
    bool VersionRequested() const { return m_version; }
    bool ListPluginsRequested() const { return m_listPlugins; }
    uint8_t ToolType() const { return m_toolType; }
    // Also the views the plug-ins build but do not offer (a "More views" menu).
    bool AllViews() const { return m_allViews; }

private:
    QString m_pluginFolder;
    QStringList m_pluginFiles;
    uint8_t m_toolType = 0;
    bool m_help = false;
    bool m_version = false;
    bool m_listPlugins = false;
    bool m_allViews = false;
};

} // namespace corvanetov
