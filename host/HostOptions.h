#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QCoreApplication;

// The host's command line:
//   corvanetov [--plugin FILE]... [--plugin-dir DIR] [--tool-type N]
// Plug-ins are loaded from the plug-in folder, <directory of the
// executable>/../lib/corvanetov/plugins unless --plugin-dir names another,
// and then from every --plugin FILE.
class HostOptions {
public:
    // Exits the program with a usage message on a bad command line.
    static HostOptions Parse(const QCoreApplication& app);

    QString PluginFolder() const { return m_pluginFolder; }
    QStringList PluginFiles() const { return m_pluginFiles; }
    uint8_t ToolType() const { return m_toolType; }

private:
    QString m_pluginFolder;
    QStringList m_pluginFiles;
    uint8_t m_toolType = 0;
};
