#pragma once

#include <QStringList>

namespace corvanetov {

// What --version and --list-plugins tell on standard output. Listing loads
// each plug-in as the window would, so a plug-in the host cannot use (a
// missing library, a missing export) is told with the loader's reason.
class PluginListing {
public:
    // "corvanetov 0.1" and the plug-in folder.
    static void PrintVersion(const QString& pluginFolder);
    // "PATH: MODEL, N view(s)" or "PATH: REASON" per plug-in. The exit
    // status: 0 when at least one plug-in loads, else 1.
    static int PrintPlugins(const QStringList& paths, const QString& pluginFolder);
};

} // namespace corvanetov
