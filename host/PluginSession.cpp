#include "host/PluginSession.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QTabWidget>
#include <QToolBar>

namespace corvanetov {

namespace {
// The host's keys for the framework's standard commands. Only the menu's
// entry gets one: the same key on the toolbar's button would make it
// ambiguous, and then neither would fire.
QKeySequence StandardShortcut(unsigned command)
{
    return command == PluginAbi::kCommandPrint ? QKeySequence(QKeySequence::Print) : QKeySequence();
}

QString TitleOf(const QWidget& view, const RuntimeClass& record)
{
    return view.windowTitle().isEmpty() ? QString::fromLatin1(record.m_className) : view.windowTitle();
}

// A title as the user reads it: two menus match whichever letter each marks.
QString WithoutMnemonic(QString title)
{
    return title.remove(QLatin1Char('&'));
}
} // namespace

PluginSession::PluginSession(std::unique_ptr<HostPlugin> plugin, QObject* parent)
    : QObject(parent)
    , m_plugin(std::move(plugin))
{
}

PluginSession::~PluginSession()
{
    // Views, actions and the toolbar run the plug-in's code or show its
    // resources: they go before the library does.
    for (auto& view : m_views)
        delete view.data();
    for (auto& action : m_actions)
        delete action.data();
    for (auto& menu : m_menus)
        delete menu.data();
    delete m_toolBar.data();
    // Objects of the plug-in still waiting for their deferred deletion would
    // otherwise be deleted by code that is no longer there.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_plugin.reset();
}

void PluginSession::CreateViews(QTabWidget& tabs)
{
    const int count = m_plugin->GetFormCnt();
    for (int index = 0; index < count; ++index) {
        if (const RuntimeClass* record = m_plugin->GetRunTimeClass(index))
            AddView(tabs, *record);
    }
}

QWidget* PluginSession::AddView(QTabWidget& tabs, const RuntimeClass& record)
{
    QWidget* view = record.m_createObject();
    if (!view)
        return nullptr;
    m_views.emplace_back(view);
    tabs.addTab(view, TitleOf(*view, record));
    return view;
}

// The views are made with the menu, so that each entry reads as the view's
// title ("PRL DOWNLOAD"), not as its class; each gets its tab when first
// chosen.
void PluginSession::CreateMoreViewsMenu(QMainWindow& window, QTabWidget& tabs)
{
    QStringList offered;
    for (int index = 0; index < m_plugin->GetFormCnt(); ++index) {
        if (const RuntimeClass* record = m_plugin->GetRunTimeClass(index))
            offered << QString::fromLatin1(record->m_className);
    }
    QMenu* menu = nullptr;
    for (int index = 0; const RuntimeClass* record = m_plugin->GetRegisteredClass(index); ++index) {
        if (offered.contains(QString::fromLatin1(record->m_className)))
            continue;
        QWidget* view = record->m_createObject();
        if (!view)
            continue;
        m_views.emplace_back(view);
        if (!menu) {
            menu = window.menuBar()->addMenu(tr("&More views"));
            m_menus.emplace_back(menu);
        }
        QAction* action = menu->addAction(TitleOf(*view, *record));
        m_actions.emplace_back(action);
        connect(action, &QAction::triggered, this, [&tabs, view = QPointer<QWidget>(view), record] {
            if (!view)
                return;
            if (tabs.indexOf(view) < 0)
                tabs.addTab(view, TitleOf(*view, *record));
            tabs.setCurrentWidget(view);
        });
    }
}

QAction* PluginSession::CommandAction(unsigned command, const QString& text)
{
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, [this, command] { emit Command(command); });
    ApplyPrompt(*action, command);
    m_actions.emplace_back(action);
    return action;
}

void PluginSession::ApplyPrompt(QAction& action, unsigned command) const
{
    // A command's string is its status bar prompt, a line feed and its tooltip.
    const QString prompt = m_plugin->LoadString(static_cast<int>(command));
    if (prompt.isEmpty())
        return;
    action.setStatusTip(prompt.section(QLatin1Char('\n'), 0, 0));
    action.setToolTip(prompt.section(QLatin1Char('\n'), -1));
}

void PluginSession::MergeMenu(QMainWindow& window)
{
    QMenu* menu = nullptr;
    QAction* insertBefore = nullptr;
    for (const MenuEntry* entry = m_plugin->LoadMenu(PluginAbi::kMenuResource); entry && entry->m_depth >= 0; ++entry) {
        if (entry->m_depth == 0) {
            menu = OpenMenu(window, QString::fromLatin1(entry->m_text), insertBefore);
            continue;
        }
        if (!menu)
            continue;
        if (entry->m_text) {
            QAction* action = CommandAction(entry->m_command, QString::fromLatin1(entry->m_text));
            action->setShortcut(StandardShortcut(entry->m_command));
            menu->insertAction(insertBefore, action);
            if (entry->m_command == PluginAbi::kCommandToolBar)
                m_toolBarToggle = action;
        } else {
            m_actions.emplace_back(menu->insertSeparator(insertBefore));
        }
    }
}

QMenu* PluginSession::OpenMenu(QMainWindow& window, const QString& title, QAction*& insertBefore)
{
    insertBefore = nullptr;
    for (QAction* top : window.menuBar()->actions()) {
        if (!top->menu() || WithoutMnemonic(top->text()) != WithoutMnemonic(title))
            continue;
        // The plug-in's commands go on top, a separator below them.
        if (QAction* first = top->menu()->actions().value(0)) {
            insertBefore = top->menu()->insertSeparator(first);
            m_actions.emplace_back(insertBefore);
        }
        return top->menu();
    }
    auto* menu = new QMenu(title, window.menuBar());
    window.menuBar()->addMenu(menu);
    m_menus.emplace_back(menu);
    return menu;
}

void PluginSession::CreateToolBar(QMainWindow& window)
{
    const ToolBarResource* resource = m_plugin->LoadToolBar(PluginAbi::kToolBarResource);
    if (!resource)
        return;
    m_toolBar = new QToolBar(m_plugin->LoadString(PluginAbi::kStringModelName), &window);
    m_toolBar->setIconSize(QSize(resource->m_buttonWidth, resource->m_buttonHeight));
    const QPixmap strip(QString::fromLatin1(resource->m_bitmapPath));
    int image = 0;
    for (int i = 0; i < resource->m_count; ++i) {
        const unsigned command = resource->m_commands[i];
        if (command == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = CommandAction(command, QString());
        action->setIcon(QIcon(strip.copy(image * resource->m_buttonWidth, 0, resource->m_buttonWidth,
                                         resource->m_buttonHeight)));
        ++image;
        m_toolBar->addAction(action);
    }
    window.addToolBar(m_toolBar);
    // The menu entry is ticked while the toolbar shows, however it came to show.
    if (m_toolBarToggle) {
        m_toolBarToggle->setCheckable(true);
        m_toolBarToggle->setChecked(true);
        connect(m_toolBar, &QToolBar::visibilityChanged, m_toolBarToggle, &QAction::setChecked);
    }
}

} // namespace corvanetov
