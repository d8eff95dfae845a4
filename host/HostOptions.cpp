#include "host/HostOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "host/HostConstants.h"

namespace {
constexpr int kMaxToolType = 255;
}

HostOptions HostOptions::Parse(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("CorvaneTOV host service tool"));
    parser.addHelpOption();
    const QCommandLineOption plugin(QStringLiteral("plugin"), QStringLiteral("Also load the plug-in FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption pluginDir(QStringLiteral("plugin-dir"),
                                       QStringLiteral("Load the plug-ins of DIR instead of the plug-in folder."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption toolType(QStringLiteral("tool-type"),
                                      QStringLiteral("Tool type N (0 to 255) given to the plug-ins; default 0."),
                                      QStringLiteral("N"), QStringLiteral("0"));
    parser.addOptions({plugin, pluginDir, toolType});
    parser.process(app);

    HostOptions options;
    options.m_pluginFiles = parser.values(plugin);
    options.m_pluginFolder = parser.isSet(pluginDir)
        ? parser.value(pluginDir)
        : QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                          + QString::fromLatin1(HostConstants::kPluginFolder));
    bool number = false;
    const int type = parser.value(toolType).toInt(&number);
    if (!number || type < 0 || type > kMaxToolType) {
        std::fprintf(stderr, "corvanetov: --tool-type takes a number from 0 to %d\n", kMaxToolType);
        parser.showHelp(1);
    }
    options.m_toolType = static_cast<uint8_t>(type);
    return options;
}
