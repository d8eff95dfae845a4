#include <QApplication>

#include "host/HostConstants.h"
#include "host/HostMainWindow.h"
#include "host/HostOptions.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(HostConstants::kApplicationName));
    const HostOptions options = HostOptions::Parse(app);

    HostMainWindow window(options.ToolType());
    window.LoadPluginFolder(options.PluginFolder());
    for (const QString& file : options.PluginFiles())
        window.LoadPlugin(file);
    window.resize(760, 580);
    window.show();
    return app.exec();
}
