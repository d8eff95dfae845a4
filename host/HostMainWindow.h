#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>
class QActionGroup;
class QLabel;
class QTabWidget;

namespace corvanetov {

class PluginSession;

// The host service tool's main window: the loaded plug-ins' views as tabs,
// their menus and toolbars merged into the window's, and the three lines of
// the host notification message (status, phone, port) in the status bar.
class HostMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // allViews: each plug-in's views that it builds but does not offer are
    // offered too, under "More views".
    explicit HostMainWindow(uint8_t toolType, bool allViews = false, QWidget* parent = nullptr);
    ~HostMainWindow() override;

    // Loads a plug-in and shows its views; a plug-in that fails is reported
    // (standard error and status line) and left out.
    bool LoadPlugin(const QString& path);
    // Loads every plug-in file of the folder.
    void LoadPluginFolder(const QString& folder);

    void SetToolType(uint8_t toolType);
    uint8_t ToolType() const { return m_toolType; }
    QString HostLine(int line) const;
    QTabWidget& Tabs() const { return *m_tabs; }
    // The plug-ins that failed, with their reasons.
    QStringList LoadErrors() const { return m_loadErrors; }

    // The host message callback every plug-in gets, with the window as its
    // context. From another thread the line is shown by the window's thread.
    static void OnHostMessage(void* context, unsigned message, int param, const char* text);

    // Closes the window without a question: it is already gone from the
    // screen, or the host was told to end. A running operation is stopped.
    void CloseWithoutQuestion();
    // File > Exit and Ctrl+Q: the stop question while an operation runs,
    // then the close.
    void Exit();

protected:
    // While an operation runs, closes only once the plug-in's stop question
    // is answered Yes; remembers the window's size, place and tab for the
    // next run.
    void closeEvent(QCloseEvent* event) override;

private:
    // Whether every plug-in lets the window close (see QueryCloseFunc).
    bool MayClose(bool ask) const;
    void ShowHostLine(int line, const QString& text);
    void CreateHostMenus();
    void CreateStatusBar();
    void ShowTimeScale();
    void RouteCommand(PluginSession& session, unsigned command);
    bool SendToActiveView(unsigned command);
    void ClosePlugin(PluginSession& session);
    void ReportLoadError(const QString& path, const QString& reason);

    uint8_t m_toolType;
    bool m_allViews;
    QTabWidget* m_tabs;
    QActionGroup* m_toolTypeGroup = nullptr;
    std::array<QLabel*, 3> m_hostLines{};
    std::vector<std::unique_ptr<PluginSession>> m_sessions;
    QStringList m_loadErrors;
    bool m_closingWithoutQuestion = false;
};

} // namespace corvanetov
