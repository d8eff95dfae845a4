#include <QApplication>
#include <cstdio>

#include "host/ForeignDestroyWatch.h"
#include "host/HostConstants.h"
#include "host/HostMainWindow.h"
#include "host/HostOptions.h"
#include "host/PluginListing.h"
#include "host/TerminationSignals.h"
#include "host/TitleRoom.h"
#include "host/UiEcho.h"
#include "host/WindowMemory.h"

using namespace corvanetov;

namespace {

// --version and --list-plugins: an application without a display, for the
// folder of the executable.
int Report(const HostOptions& options, int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QString folder = options.PluginFolder(executableDir);
    if (options.VersionRequested()) {
        corvanetov::PluginListing::PrintVersion(folder);
        return 0;
    }
    return corvanetov::PluginListing::PrintPlugins(options.Plugins(executableDir), folder);
}

} // namespace

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
    if (options.VersionRequested() || options.ListPluginsRequested())
        return Report(options, argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(HostConstants::kApplicationName));
    // The menu entry (corvanetov.desktop) that the desktop shows the window under.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(HostConstants::kApplicationName));
    TitleRoom titleRoom;
    app.installEventFilter(&titleRoom);
    UiEcho echo;
    if (UiEcho::Enabled())
        app.installEventFilter(&echo);
    ForeignDestroyWatch destroyWatch;
    app.installNativeEventFilter(&destroyWatch);
    HostMainWindow window(options.ToolType(), options.AllViews());
    for (const QString& path : options.Plugins(QApplication::applicationDirPath()))
        window.LoadPlugin(path);
    corvanetov::WindowMemory::Restore(window);
    // A box open at that moment (a question, an error) is left too.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &window, [&window] {
        window.CloseWithoutQuestion();
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}
