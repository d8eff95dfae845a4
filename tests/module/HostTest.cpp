#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <thread>

#include "ModalAnswerer.h"
#include "PrivateSurroundings.h"
#include "host/HostMainWindow.h"
#include "host/HostOptions.h"
#include "host/TitleRoom.h"
#include "host/WindowMemory.h"

using namespace corvanetov;

namespace {

// An entry's text as the user reads it, without its mnemonic mark.
QString Shown(const QAction* action)
{
    return action->text().remove(QLatin1Char('&'));
}

QStringList MenuTitles(QMainWindow& window)
{
    QStringList titles;
    for (QAction* action : window.menuBar()->actions())
        titles << Shown(action);
    return titles;
}

QMenu* Menu(QMainWindow& window, const QString& title)
{
    for (QAction* action : window.menuBar()->actions()) {
        if (Shown(action) == title)
            return action->menu();
    }
    return nullptr;
}

QStringList Items(QMenu* menu)
{
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : Shown(action));
    return items;
}

QAction* Item(QMainWindow& window, const QString& menu, const QString& item)
{
    for (QAction* action : Menu(window, menu)->actions()) {
        if (Shown(action) == item)
            return action;
    }
    return nullptr;
}

// The letters that pick the actions from the keyboard; empty for an action
// without one.
QString Mnemonics(const QList<QAction*>& actions)
{
    QString letters;
    for (const QAction* action : actions) {
        if (action->isSeparator())
            continue;
        const qsizetype mark = action->text().indexOf(QLatin1Char('&'));
        letters += mark >= 0 ? action->text().at(mark + 1).toLower() : QChar(QLatin1Char(' '));
    }
    return letters;
}

bool AllDifferent(const QString& letters)
{
    return !letters.contains(QLatin1Char(' ')) && QSet<QChar>(letters.begin(), letters.end()).size() == letters.size();
}

// A view that records the commands the host gives it.
class RecordingView : public QWidget {
    Q_OBJECT
public:
    Q_INVOKABLE bool OnCommand(int command)
    {
        m_commands << command;
        return true;
    }
    QList<int> m_commands;
};

} // namespace

class HostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ShowsThePluginsViewsMenusAndToolBar();
    void FailedPluginsAreReportedAndTheHostGoesOn();
    void LoadsEveryPluginOfItsFolderOnce();
    void ToolTypeReachesThePluginBeforeItsViewsShow();
    void HostMessagesFillTheStatusBar();
    void ViewCommandsGoToTheActiveView();
    void MenusHaveMnemonicsAndPrintHasCtrlP();
    void PluginCommandsGoToSelectedMenu();
    void CloseCommandClosesThePlugin();
    void CommandLineNamesPluginsFolderAndToolType();
    void AllViewsOffersTheRegisteredViewsUnderMoreViews();
    void RemembersGeometryAndLastTab();
    void DialogsAreAsWideAsTheirTitlesNeed_data();
    void DialogsAreAsWideAsTheirTitlesNeed();

private:
    QTemporaryDir m_folder;
};

void HostTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QVERIFY(UsePrivateSurroundings(m_folder));
}

void HostTest::ShowsThePluginsViewsMenusAndToolBar()
{
    HostMainWindow window(0);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    QVERIFY(window.LoadErrors().isEmpty());
    QVERIFY(window.windowTitle().endsWith(QStringLiteral("VQX-B410")));

    QCOMPARE(window.Tabs().count(), 3);
    QCOMPARE(window.Tabs().tabText(0), QStringLiteral("PHONE  INFO"));
    QCOMPARE(window.Tabs().tabText(1), QStringLiteral("SOFTWARE DOWNLOAD"));
    QCOMPARE(window.Tabs().tabText(2), QStringLiteral("SETTING"));

    QCOMPARE(MenuTitles(window), QStringList({"File", "Edit", "View", "Options", "Setup", "Help"}));
    QCOMPARE(Items(Menu(window, "File")), QStringList({"Print", "Close", "-", "Exit"}));
    QCOMPARE(Items(Menu(window, "View")), QStringList({"Tool bar", "Service history", "-", "Status bar"}));
    QCOMPARE(Items(Menu(window, "Setup")), QStringList({"Port Setting", "Station"}));
    QCOMPARE(Items(Menu(window, "Help")), QStringList({"About CorvaneTOV"}));
    QCOMPARE(Item(window, "File", "Print")->statusTip(), QStringLiteral("Print the active document"));

    const QList<QToolBar*> toolBars = window.findChildren<QToolBar*>();
    QCOMPARE(toolBars.size(), 1);
    QStringList buttons;
    for (QAction* action : toolBars.front()->actions()) {
        buttons << (action->isSeparator() ? QStringLiteral("-") : action->toolTip());
        QVERIFY(action->isSeparator() || !action->icon().isNull());
    }
    QCOMPARE(buttons, QStringList({"Print", "Com Port", "-", "Help", "-", "Close", "-", "Station"}));
    QCOMPARE(toolBars.front()->iconSize(), QSize(16, 15));

    QCOMPARE(window.HostLine(0), QStringLiteral("Ready"));
    // The tests run their pauses at a hundredth: the status bar says so.
    const auto* scale = window.findChild<QLabel*>(QStringLiteral("timeScale"));
    QVERIFY(scale);
    QCOMPARE(scale->text(), QStringLiteral("Time scale 0.01"));
    QVERIFY(scale->toolTip().contains(QStringLiteral("0.01 times its real length")));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Tool bar (59392) is the host's: it hides and shows the plug-in's
    // toolbar, ticked while the toolbar shows.
    QAction* toolBarItem = Item(window, "View", "Tool bar");
    QVERIFY(toolBarItem->isChecked());
    toolBarItem->trigger();
    QVERIFY(toolBars.front()->isHidden());
    QVERIFY(!toolBarItem->isChecked());
    toolBarItem->trigger();
    QVERIFY(!toolBars.front()->isHidden());
    QVERIFY(toolBarItem->isChecked());
}

void HostTest::FailedPluginsAreReportedAndTheHostGoesOn()
{
    HostMainWindow window(0);
    const QString broken = m_folder.filePath(QStringLiteral("libbroken.so"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a library");
    file.close();
    QVERIFY(!window.LoadPlugin(broken));

    // A real library without the exports.
    const QString foreign = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Test.so.6");
    QVERIFY(!window.LoadPlugin(foreign));

    QCOMPARE(window.LoadErrors().size(), 2);
    QVERIFY(window.LoadErrors()[0].contains(broken));
    QVERIFY(window.LoadErrors()[1].contains(QStringLiteral("GetFormCnt")));
    QCOMPARE(window.HostLine(0), window.LoadErrors()[1]);
    QCOMPARE(window.Tabs().count(), 0);

    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    QCOMPARE(window.Tabs().count(), 3);
}

void HostTest::LoadsEveryPluginOfItsFolderOnce()
{
    QTemporaryDir plugins;
    QVERIFY(QFile::link(QStringLiteral(CORVANETOV_MODULE_FILE), plugins.filePath(QStringLiteral("libcorvanetov_vqxb410.so"))));
    QFile broken(plugins.filePath(QStringLiteral("libempty.so")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.close();

    HostMainWindow window(0);
    window.LoadPluginFolder(plugins.path());
    QCOMPARE(window.Tabs().count(), 3);
    QCOMPARE(window.LoadErrors().size(), 1);
    QVERIFY(window.LoadErrors()[0].contains(QStringLiteral("libempty.so")));
    // The same plug-in named again (--plugin) is not loaded twice.
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    QCOMPARE(window.Tabs().count(), 3);
}

void HostTest::ToolTypeReachesThePluginBeforeItsViewsShow()
{
    for (uint8_t type : {uint8_t{1}, uint8_t{0}}) {
        HostMainWindow window(type);
        QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* picture = window.Tabs().widget(0)->findChild<QLabel*>(QStringLiteral("picture"));
        QVERIFY(picture);
        QCOMPARE(picture->isVisible(), type != 0);
    }
}

void HostTest::HostMessagesFillTheStatusBar()
{
    HostMainWindow window(0);
    HostMainWindow::OnHostMessage(&window, 26000, 0, "Reading Phone Info");
    HostMainWindow::OnHostMessage(&window, 26000, 1, "ESN : 8A2B3C4D");
    QCOMPARE(window.HostLine(0), QStringLiteral("Reading Phone Info"));
    QCOMPARE(window.HostLine(1), QStringLiteral("ESN : 8A2B3C4D"));

    // Other messages and unknown lines change nothing.
    HostMainWindow::OnHostMessage(&window, 1524, 2, "Com1 Connected");
    HostMainWindow::OnHostMessage(&window, 26000, 3, "Com1 Connected");
    QCOMPARE(window.HostLine(2), QString());

    // From a worker thread the line arrives through the window's thread.
    std::thread worker([&] { HostMainWindow::OnHostMessage(&window, 26000, 2, "Com5 Connected"); });
    worker.join();
    QTRY_COMPARE(window.HostLine(2), QStringLiteral("Com5 Connected"));
}

void HostTest::ViewCommandsGoToTheActiveView()
{
    HostMainWindow window(0);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    auto* view = new RecordingView;
    window.Tabs().setCurrentIndex(window.Tabs().addTab(view, QStringLiteral("recording")));
    Item(window, "File", "Print")->trigger();
    Item(window, "Edit", "Copy")->trigger();
    Item(window, "Edit", "Cut")->trigger();
    Item(window, "Edit", "Paste")->trigger();
    QCOMPARE(view->m_commands, QList<int>({57607, 57634, 57635, 57637}));

    // The phone information view prints its grid through the print preview.
    window.Tabs().setCurrentIndex(0);
    ModalAnswerer preview([](QWidget* open) { static_cast<QDialog*>(open)->reject(); });
    Item(window, "File", "Print")->trigger();
    QCOMPARE(preview.DialogTitle(), QStringLiteral("Print Preview"));
    QCOMPARE(view->m_commands.size(), 4);
}

void HostTest::MenusHaveMnemonicsAndPrintHasCtrlP()
{
    HostMainWindow window(0);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    // Every title and every entry of a menu has a letter of its own.
    QCOMPARE(Mnemonics(window.menuBar()->actions()), QStringLiteral("fevosh"));
    for (QAction* top : window.menuBar()->actions())
        QVERIFY2(AllDifferent(Mnemonics(top->menu()->actions())), qPrintable(Shown(top)));
    QCOMPARE(Mnemonics(Menu(window, "File")->actions()), QStringLiteral("pcx"));

    QCOMPARE(Item(window, "File", "Print")->shortcut(), QKeySequence(QKeySequence::Print));
    for (QToolBar* toolBar : window.findChildren<QToolBar*>()) {
        for (QAction* button : toolBar->actions())
            QVERIFY2(button->shortcut().isEmpty(), "a second Ctrl+P would make the key ambiguous");
    }

    auto* view = new RecordingView;
    window.Tabs().setCurrentIndex(window.Tabs().addTab(view, QStringLiteral("recording")));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(view->m_commands, QList<int>({57607}));
}

void HostTest::PluginCommandsGoToSelectedMenu()
{
    HostMainWindow window(0);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    ModalAnswerer about([](QWidget* open) { static_cast<QDialog*>(open)->accept(); });
    Item(window, "Help", "About CorvaneTOV")->trigger();
    QCOMPARE(about.DialogTitle(), QStringLiteral("About CorvaneTOV"));

    ModalAnswerer port([](QWidget* open) { static_cast<QDialog*>(open)->reject(); });
    Item(window, "Setup", "Port Setting")->trigger();
    QCOMPARE(port.DialogTitle(), QStringLiteral("Port Setting"));
    QVERIFY(!about.TimedOut() && !port.TimedOut());
    // Both return false: the plug-in stays.
    QCoreApplication::processEvents();
    QCOMPARE(window.Tabs().count(), 3);
}

void HostTest::CloseCommandClosesThePlugin()
{
    HostMainWindow window(0);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    Item(window, "File", "Close")->trigger();
    QTRY_COMPARE(window.Tabs().count(), 0);
    QCOMPARE(MenuTitles(window), QStringList({"File", "Edit", "View", "Options"}));
    QCOMPARE(Items(Menu(window, "File")), QStringList({"Exit"}));
    QCOMPARE(window.findChildren<QToolBar*>().size(), 0);

    // And it can be loaded again.
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    QCOMPARE(window.Tabs().count(), 3);
}

void HostTest::CommandLineNamesPluginsFolderAndToolType()
{
    HostOptions defaults;
    QString error;
    QVERIFY(defaults.Parse({"corvanetov"}, error));
    // The system's library folder beside bin/, whatever its multiarch name.
    const QString folder = defaults.PluginFolder("/opt/corvanetov/bin");
    QVERIFY2(folder.startsWith("/opt/corvanetov/lib/") && folder.endsWith("/corvanetov/plugins") && !folder.contains(".."),
             qPrintable(folder));
    QVERIFY(!defaults.VersionRequested() && !defaults.ListPluginsRequested());
    QCOMPARE(defaults.PluginFiles(), QStringList());
    QCOMPARE(defaults.ToolType(), uint8_t{0});

    HostOptions given;
    QVERIFY(given.Parse({"corvanetov", "--plugin", "a.so", "--tool-type", "1", "--plugin=b.so", "--plugin-dir", "/p"},
                        error));
    QCOMPARE(given.PluginFiles(), QStringList({"a.so", "b.so"}));
    QCOMPARE(given.PluginFolder("/opt/corvanetov/bin"), QStringLiteral("/p"));
    QCOMPARE(given.ToolType(), uint8_t{1});
    QVERIFY(!given.AllViews());
    // The environment names another folder; --plugin-dir wins over it.
    qputenv("CORVANETOV_PLUGIN_DIR", "/env");
    HostOptions fromEnvironment;
    QVERIFY(fromEnvironment.Parse({"corvanetov", "--version"}, error));
    QCOMPARE(fromEnvironment.PluginFolder("/opt/corvanetov/bin"), QStringLiteral("/env"));
    QVERIFY(fromEnvironment.VersionRequested());
    HostOptions overridden;
    QVERIFY(overridden.Parse({"corvanetov", "--plugin-dir", "/p", "--list-plugins"}, error));
    QCOMPARE(overridden.PluginFolder("/opt/corvanetov/bin"), QStringLiteral("/p"));
    QVERIFY(overridden.ListPluginsRequested());
    qunsetenv("CORVANETOV_PLUGIN_DIR");

    HostOptions all;
    QVERIFY(all.Parse({"corvanetov", "--all-views"}, error));
    QVERIFY(all.AllViews());

    for (const char* bad : {"256", "-1", "x"}) {
        HostOptions wrong;
        error.clear();
        QVERIFY(!wrong.Parse({"corvanetov", "--tool-type", bad}, error));
        QVERIFY(error.contains(QStringLiteral("--tool-type")));
    }
    HostOptions unknown;
    QVERIFY(!unknown.Parse({"corvanetov", "--frobnicate"}, error));
    QVERIFY(error.contains(QStringLiteral("frobnicate")));
    QVERIFY(!unknown.HelpRequested());

    HostOptions help;
    QVERIFY(!help.Parse({"corvanetov", "--help"}, error));
    QVERIFY(help.HelpRequested());
    QVERIFY(error.contains(QStringLiteral("Usage: corvanetov")));
    QVERIFY(error.contains(QStringLiteral("--plugin-dir")));
    QVERIFY(error.contains(QStringLiteral("CORVANETOV_PLUGIN_DIR")));
}

void HostTest::AllViewsOffersTheRegisteredViewsUnderMoreViews()
{
    {
        HostMainWindow plain(0);
        QVERIFY(plain.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
        QCOMPARE(plain.Tabs().count(), 3);
        QVERIFY(!Menu(plain, "More views"));
    }

    HostMainWindow window(0, true);
    QVERIFY(window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE)));
    QCOMPARE(window.Tabs().count(), 3);
    QCOMPARE(MenuTitles(window), QStringList({"File", "Edit", "View", "Options", "Setup", "Help", "More views"}));
    // By the titles the technician knows them by, not by class.
    const QStringList titles = {"PRL DOWNLOAD", "ERI DOWNLOAD", "TRANSFER"};
    const char* classes[] = {"corvanetov::CDialogPrlDownload", "corvanetov::CDialogEriDownload", "corvanetov::CDialogBackup"};
    QCOMPARE(Items(Menu(window, "More views")), titles);
    window.show();
    for (int chosen = 0; chosen < 2; ++chosen) { // chosen again, each view is shown again, not made twice
        for (int i = 0; i < titles.size(); ++i) {
            Menu(window, "More views")->actions()[i]->trigger();
            QCOMPARE(window.Tabs().count(), 3 + (chosen ? 3 : i + 1));
            QCOMPARE(window.Tabs().tabText(window.Tabs().currentIndex()), titles[i]);
            QCOMPARE(window.Tabs().currentWidget()->metaObject()->className(), classes[i]);
        }
    }
    // Closing the plug-in takes its extra views and menu with it.
    Item(window, "File", "Close")->trigger();
    QTRY_COMPARE(window.Tabs().count(), 0);
    QVERIFY(!Menu(window, "More views"));
}

void HostTest::DialogsAreAsWideAsTheirTitlesNeed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("box, short text, long title") << "box" << "SOFTWARE DOWNLOAD - the handset on COM12";
    QTest::newRow("box, the tool's own title") << "box" << "CorvaneTOV";
    QTest::newRow("small dialog, fixed size") << "fixed" << "Select Uart Port for Rebuild, then OK";
    QTest::newRow("small dialog, free size") << "free" << "Input MSL Code for the handset on COM3";
    QTest::newRow("dialog given a size") << "sized" << "Service history";
}

// The title in the title bar's font, bold as window managers draw it, with
// room for their icon, buttons and frame beside it (openbox took 129 px).
void HostTest::DialogsAreAsWideAsTheirTitlesNeed()
{
    QFETCH(QString, kind);
    QFETCH(QString, title);
    TitleRoom room;
    qApp->installEventFilter(&room);
    std::unique_ptr<QDialog> dialog;
    if (kind == "box") {
        dialog = std::make_unique<QMessageBox>(QMessageBox::Information, title, "Done.", QMessageBox::Ok);
    } else {
        dialog = std::make_unique<QDialog>();
        dialog->setWindowTitle(title);
        auto* layout = new QVBoxLayout(dialog.get());
        layout->addWidget(new QPushButton("OK"));
        if (kind == "fixed")
            layout->setSizeConstraint(QLayout::SetFixedSize);
        if (kind == "sized")
            dialog->resize(900, 600);
    }
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QCoreApplication::processEvents();
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int titleWidth = QFontMetrics(font).horizontalAdvance(title);
    QVERIFY2(dialog->width() >= titleWidth + 130, qPrintable(QString("%1 px for a %2 px title").arg(dialog->width()).arg(titleWidth)));
    if (kind == "sized")
        QCOMPARE(dialog->width(), 900); // wide enough already: left as it was
    qApp->removeEventFilter(&room);
}

QTEST_MAIN(HostTest)
#include "HostTest.moc"

void HostTest::RemembersGeometryAndLastTab()
{
    auto open = [](HostMainWindow& window, const QStringList& titles) {
        for (const QString& title : titles)
            window.Tabs().addTab(new QWidget, title);
        corvanetov::WindowMemory::Restore(window);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    };
    {
        HostMainWindow first(0);
        QVERIFY(open(first, {"first", "second", "third"}));
        QCOMPARE(first.size(), QSize(760, 580)); // nothing remembered yet
        first.resize(640, 470);
        first.Tabs().setCurrentIndex(2);
        QVERIFY(first.close());
    }
    // The tabs come back in another order: the tab is found by its title.
    HostMainWindow second(0);
    QVERIFY(open(second, {"first", "third", "second"}));
    QCOMPARE(second.size(), QSize(640, 470));
    QCOMPARE(second.Tabs().currentIndex(), 1);
}
