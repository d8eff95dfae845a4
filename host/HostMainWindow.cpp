#include "host/HostMainWindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QToolBar>
#include <algorithm>
#include <cstdio>

#include "host/HostConstants.h"
#include "host/HostOptions.h"
#include "host/PluginSession.h"
#include "host/UiEcho.h"
#include "host/WindowMemory.h"
#include "hostlink/PluginAbi.h"
#include "platform/Pacing.h"

namespace corvanetov {

HostMainWindow::HostMainWindow(uint8_t toolType, bool allViews, QWidget* parent)
    : QMainWindow(parent)
    , m_toolType(toolType)
    , m_allViews(allViews)
    , m_tabs(new QTabWidget(this))
{
    setWindowTitle(QString::fromLatin1(HostConstants::kWindowTitle));
    setCentralWidget(m_tabs);
    CreateHostMenus();
    CreateStatusBar();
}

HostMainWindow::~HostMainWindow()
{
    // The views and the plug-ins go while the status bar they report to is
    // still there.
    m_sessions.clear();
}

void HostMainWindow::closeEvent(QCloseEvent* event)
{
    if (!MayClose(!m_closingWithoutQuestion)) {
        event->ignore();
        return;
    }
    corvanetov::WindowMemory::Save(*this);
    QMainWindow::closeEvent(event);
}

bool HostMainWindow::MayClose(bool ask) const
{
    return std::ranges::all_of(m_sessions, [ask](const auto& session) { return session->Plugin().QueryClose(ask); });
}

// The question comes before the close: a close refused from inside Qt's own
// closing of the window left the window deaf to the next close request.
void HostMainWindow::Exit()
{
    if (MayClose(true))
        CloseWithoutQuestion();
}

void HostMainWindow::CloseWithoutQuestion()
{
    m_closingWithoutQuestion = true;
    close();
}

void HostMainWindow::CreateHostMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &HostMainWindow::Exit);

    // The edit commands belong to the active view.
    struct EditCommand {
        unsigned command;
        QKeySequence::StandardKey key;
        QString text;
    };
    const EditCommand editCommands[] = {
        {PluginAbi::kCommandCut, QKeySequence::Cut, tr("Cu&t")},
        {PluginAbi::kCommandCopy, QKeySequence::Copy, tr("&Copy")},
        {PluginAbi::kCommandPaste, QKeySequence::Paste, tr("&Paste")},
    };
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    for (const EditCommand& item : editCommands) {
        const unsigned command = item.command;
        edit->addAction(item.text, item.key, this, [this, command] { SendToActiveView(command); });
    }

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* statusBarAction = view->addAction(tr("&Status bar"));
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    connect(statusBarAction, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* toolTypes = menuBar()->addMenu(tr("&Options"))->addMenu(tr("&Tool Type"));
    m_toolTypeGroup = new QActionGroup(this);
    for (int type = 0; type < HostConstants::kToolTypeCount; ++type) {
        QAction* action = toolTypes->addAction(tr("Tool Type &%1").arg(type));
        action->setCheckable(true);
        action->setChecked(type == m_toolType);
        action->setData(type);
        m_toolTypeGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, type] { SetToolType(static_cast<uint8_t>(type)); });
    }
}

void HostMainWindow::CreateStatusBar()
{
    for (auto& line : m_hostLines)
        line = new QLabel(this);
    m_hostLines[PluginAbi::kStatusLine]->setText(QString::fromLatin1(HostConstants::kReady));
    statusBar()->addWidget(m_hostLines[PluginAbi::kStatusLine], 1);
    ShowTimeScale();
    statusBar()->addPermanentWidget(m_hostLines[PluginAbi::kPhoneLine]);
    statusBar()->addPermanentWidget(m_hostLines[PluginAbi::kPortLine]);
}

// The plug-ins' pauses follow CORVANETOV_TIME_SCALE, a test and demo
// setting: while it is not 1 the status bar says so, so that a technician
// never runs shortened pauses on a real handset unawares.
void HostMainWindow::ShowTimeScale()
{
    const std::string notice = Pacing::Instance().TimeScaleNotice();
    if (notice.empty())
        return;
    auto* scale = new QLabel(QString::fromLatin1(HostConstants::kTimeScale).arg(Pacing::Instance().TimeScale()), this);
    scale->setObjectName(QStringLiteral("timeScale"));
    scale->setToolTip(QString::fromStdString(notice));
    statusBar()->addPermanentWidget(scale);
}

QString HostMainWindow::HostLine(int line) const
{
    if (line < 0 || line >= static_cast<int>(m_hostLines.size()))
        return QString();
    return m_hostLines[line]->text();
}

void HostMainWindow::OnHostMessage(void* context, unsigned message, int param, const char* text)
{
    if (message != PluginAbi::kHostNotifyMessage || !context || !text)
        return;
    auto* window = static_cast<HostMainWindow*>(context);
    const QString line = QString::fromLatin1(text);
    if (QThread::currentThread() == window->thread()) {
        window->ShowHostLine(param, line);
        return;
    }
    QMetaObject::invokeMethod(window, [window, param, line] { window->ShowHostLine(param, line); }, Qt::QueuedConnection);
}

void HostMainWindow::ShowHostLine(int line, const QString& text)
{
    if (line < 0 || line >= static_cast<int>(m_hostLines.size()))
        return;
    m_hostLines[line]->setText(text);
    UiEcho::StatusLine(line, text);
}

bool HostMainWindow::LoadPlugin(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const auto& session : m_sessions) {
        if (QFileInfo(session->Plugin().Path()).canonicalFilePath() == canonical && !canonical.isEmpty())
            return true;
    }
    auto plugin = std::make_unique<HostPlugin>(path);
    QString error;
    if (!plugin->Load(error)) {
        ReportLoadError(path, error);
        return false;
    }
    // The calling order the plug-ins expect: tool type, view count, views,
    // then commands.
    auto session = std::make_unique<PluginSession>(std::move(plugin));
    HostPlugin& loaded = session->Plugin();
    loaded.SetHostMessageCallback(&HostMainWindow::OnHostMessage, this);
    loaded.SetTovType(m_toolType);
    session->CreateViews(*m_tabs);
    session->MergeMenu(*this);
    if (m_allViews)
        session->CreateMoreViewsMenu(*this, *m_tabs);
    session->CreateToolBar(*this);
    PluginSession* raw = session.get();
    connect(raw, &PluginSession::Command, this, [this, raw](unsigned command) { RouteCommand(*raw, command); });
    const QString model = loaded.LoadString(PluginAbi::kStringModelName);
    if (!model.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" - ") + model);
    loaded.MainDevice();
    m_sessions.push_back(std::move(session));
    return true;
}

void HostMainWindow::LoadPluginFolder(const QString& folder)
{
    for (const QString& path : HostOptions::PluginsIn(folder))
        LoadPlugin(path);
}

void HostMainWindow::ReportLoadError(const QString& path, const QString& reason)
{
    const QString text = QString::fromLatin1(HostConstants::kLoadFailed).arg(path, reason);
    m_loadErrors << text;
    std::fprintf(stderr, "%s\n", qPrintable(text));
    ShowHostLine(PluginAbi::kStatusLine, text);
}

void HostMainWindow::SetToolType(uint8_t toolType)
{
    m_toolType = toolType;
    for (QAction* action : m_toolTypeGroup->actions())
        action->setChecked(action->data().toInt() == toolType);
    for (const auto& session : m_sessions)
        session->Plugin().SetTovType(toolType);
}

void HostMainWindow::RouteCommand(PluginSession& session, unsigned command)
{
    switch (command) {
    case PluginAbi::kCommandPrint:
    case PluginAbi::kCommandCopy:
    case PluginAbi::kCommandCut:
    case PluginAbi::kCommandPaste:
        SendToActiveView(command);
        return;
    case PluginAbi::kCommandToolBar:
        if (QToolBar* toolBar = session.ToolBar())
            toolBar->setVisible(!toolBar->isVisible());
        return;
    default:
        if (session.Plugin().SelectedMenu(static_cast<int>(command)))
            ClosePlugin(session);
    }
}

bool HostMainWindow::SendToActiveView(unsigned command)
{
    QWidget* view = m_tabs->currentWidget();
    bool handled = false;
    if (view && view->metaObject()->indexOfMethod("OnCommand(int)") >= 0)
        QMetaObject::invokeMethod(view, PluginAbi::kViewCommandMethod, Qt::DirectConnection, Q_RETURN_ARG(bool, handled),
                                  Q_ARG(int, static_cast<int>(command)));
    return handled;
}

void HostMainWindow::ClosePlugin(PluginSession& session)
{
    // The command came from one of the session's own actions: the session
    // goes once that action has returned.
    PluginSession* closing = &session;
    QMetaObject::invokeMethod(
        this,
        [this, closing] {
            std::erase_if(m_sessions, [closing](const auto& owned) { return owned.get() == closing; });
        },
        Qt::QueuedConnection);
}

} // namespace corvanetov
