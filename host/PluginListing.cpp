#include "host/PluginListing.h"

#include <QCoreApplication>
#include <cstdio>

#include "host/HostConstants.h"
#include "host/HostPlugin.h"
#include "hostlink/PluginAbi.h"
#include "version/Version.h"

namespace corvanetov {

namespace {

void PrintLine(FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", qPrintable(line));
}

} // namespace

void PluginListing::PrintVersion(const QString& pluginFolder)
{
    PrintLine(stdout, QString::fromLatin1(HostConstants::kVersionText)
                          .arg(QLatin1String(HostConstants::kApplicationName), QLatin1String(kVersion), pluginFolder));
}

int PluginListing::PrintPlugins(const QStringList& paths, const QString& pluginFolder)
{
    int loaded = 0;
    for (const QString& path : paths) {
        HostPlugin plugin(path);
        QString error;
        if (!plugin.Load(error)) {
            PrintLine(stdout, path + QStringLiteral(": ") + error);
            continue;
        }
        ++loaded;
        PrintLine(stdout, QCoreApplication::translate("PluginListing", HostConstants::kPluginListed, nullptr,
                                                      plugin.GetFormCnt())
                              .arg(path, plugin.LoadString(PluginAbi::kStringModelName)));
    }
    if (loaded == 0)
        PrintLine(stderr, QString::fromLatin1(HostConstants::kNoPlugins).arg(pluginFolder));
    return loaded > 0 ? 0 : 1;
}

} // namespace corvanetov
