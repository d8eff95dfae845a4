#include "host/HostOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

#include "host/HostConstants.h"

namespace corvanetov {

namespace {
constexpr int kMaxToolType = 255;
}

bool HostOptions::Parse(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(HostConstants::kDescription)
                                         .arg(QLatin1String(HostConstants::kPluginFolder),
                                              QLatin1String(HostConstants::kPluginDirVariable)));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and the plug-in folder, and end."));
    const QCommandLineOption listPlugins(QStringLiteral("list-plugins"),
                                         QStringLiteral("Load every plug-in, tell the file and model of each, and end."));
    const QCommandLineOption plugin(QStringLiteral("plugin"), QStringLiteral("Also load the plug-in FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption pluginDir(QStringLiteral("plugin-dir"),
                                       QStringLiteral("Load the plug-ins of DIR instead of the plug-in folder."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption toolType(QStringLiteral("tool-type"),
                                      QStringLiteral("Tool type N (0 to 255) given to the plug-ins; default 0."),
                                      QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption allViews(QStringLiteral("all-views"),
                                      QStringLiteral("Also offer the views the plug-ins build but do not offer, under More views."));
    parser.addOptions({help, version, listPlugins, plugin, pluginDir, toolType, allViews});
    // Parsed before there is an application, which would name the program.
    const QString usage = parser.helpText().replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                                                    QStringLiteral("Usage: ") + HostConstants::kApplicationName);
    if (!parser.parse(arguments)) {
        error = parser.errorText() + QLatin1Char('\n') + usage;
        return false;
    }
    if (parser.isSet(help)) {
        m_help = true;
        error = usage;
        return false;
    }
    bool number = false;
    const int type = parser.value(toolType).toInt(&number);
    if (!number || type < 0 || type > kMaxToolType) {
        error = QStringLiteral("--tool-type takes a number from 0 to %1").arg(kMaxToolType);
        return false;
    }
    m_toolType = static_cast<uint8_t>(type);
    m_allViews = parser.isSet(allViews);
    m_pluginFiles = parser.values(plugin);
    m_pluginFolder = parser.isSet(pluginDir) ? parser.value(pluginDir)
                                             : qEnvironmentVariable(HostConstants::kPluginDirVariable);
    m_version = parser.isSet(version);
    m_listPlugins = parser.isSet(listPlugins);
    return true;
}

QString HostOptions::PluginFolder(const QString& executableDir) const
{
    if (!m_pluginFolder.isEmpty())
        return m_pluginFolder;
    return QDir::cleanPath(executableDir + QLatin1Char('/') + QString::fromLatin1(HostConstants::kPluginFolder));
}

QStringList HostOptions::Plugins(const QString& executableDir) const
{
    return PluginsIn(PluginFolder(executableDir)) + m_pluginFiles;
}

QStringList HostOptions::PluginsIn(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString& file : dir.entryList({QString::fromLatin1(HostConstants::kPluginPattern)}, QDir::Files, QDir::Name))
        paths << dir.filePath(file);
    return paths;
}

} // namespace corvanetov
