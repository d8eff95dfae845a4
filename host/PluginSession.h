#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QToolBar>
#include <QWidget>
#include <memory>
#include <vector>

#include "host/HostPlugin.h"

class QMainWindow;
class QTabWidget;

namespace corvanetov {

// One loaded plug-in in the host's window: its views in the tabs, its menu
// merged into the menu bar and its toolbar. Destroying the session takes all
// of that away again before the plug-in is unloaded.
class PluginSession : public QObject {
    Q_OBJECT
public:
    explicit PluginSession(std::unique_ptr<HostPlugin> plugin, QObject* parent = nullptr);
    ~PluginSession() override;

    HostPlugin& Plugin() { return *m_plugin; }
    // Creates every offered view, in the plug-in's order, as a tab.
    void CreateViews(QTabWidget& tabs);
    // A "More views" menu with the views the plug-in registered but does
    // not offer, by their titles; each gets a tab when first chosen and is
    // shown again when chosen again.
    void CreateMoreViewsMenu(QMainWindow& window, QTabWidget& tabs);
    // Puts the plug-in's menu into the window's menu bar: a menu whose title
    // the host already has gets the plug-in's commands on top; any other
    // menu is added at the end.
    void MergeMenu(QMainWindow& window);
    void CreateToolBar(QMainWindow& window);
    QToolBar* ToolBar() const { return m_toolBar; }

signals:
    // A command of the plug-in's menu or toolbar.
    void Command(unsigned command);

private:
    // The host's menu of that title, or a new one at the end; insertBefore
    // is where the plug-in's commands go in it.
    QMenu* OpenMenu(QMainWindow& window, const QString& title, QAction*& insertBefore);
    QAction* CommandAction(unsigned command, const QString& text);
    QWidget* AddView(QTabWidget& tabs, const RuntimeClass& record);
    void ApplyPrompt(QAction& action, unsigned command) const;

    std::unique_ptr<HostPlugin> m_plugin;
    std::vector<QPointer<QWidget>> m_views;
    std::vector<QPointer<QMenu>> m_menus;
    std::vector<QPointer<QAction>> m_actions;
    QPointer<QToolBar> m_toolBar;
    // View > Tool bar, where the plug-in's menu has it.
    QPointer<QAction> m_toolBarToggle;
};

} // namespace corvanetov
