#include <QApplication>
#include <cstdio>

#include "host/HostConstants.h"
#include "host/HostMainWindow.h"
#include "host/HostOptions.h"
#include "host/UiEcho.h"

using namespace corvanetov;

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    HostOptions options;
    QString error;
    if (!options.Parse(arguments, error)) {
        std::fprintf(options.HelpRequested() ? stdout : stderr, "%s\n", qPrintable(error));
        return options.HelpRequested() ? 0 : 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(HostConstants::kApplicationName));
    UiEcho echo;
    if (UiEcho::Enabled())
        app.installEventFilter(&echo);
    HostMainWindow window(options.ToolType(), options.AllViews());
    window.LoadPluginFolder(options.PluginFolder(QApplication::applicationDirPath()));
    for (const QString& file : options.PluginFiles())
        window.LoadPlugin(file);
    window.resize(HostConstants::kWindowWidth, HostConstants::kWindowHeight);
    window.show();
    return app.exec();
}
