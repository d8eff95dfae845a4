#include "forms/OperationRunner.h"

#include <QEvent>
#include <QWidget>

#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/OperationFamily.h"
#include "forms/FormConstants.h"
#include "forms/FormView.h"
#include "hostlink/HostNotifier.h"
#include "hostlink/PluginAbi.h"

namespace corvanetov {

namespace {
bool IsEndReport(const OperationMessage& message)
{
    const OperationFamily* family = OperationFamily::Find(message.number);
    return family && family->RoleOf(message.kind) == OperationFamily::Role::End;
}

// What a view's operation is called in its record when the view does not
// say; the transfer view holds its state without touching a handset.
QString OperationOf(int state)
{
    switch (state) {
    case OperationContext::kPhoneInfo:
        return "identify";
    case OperationContext::kSettings:
        return "settings";
    case OperationContext::kSwDownload:
        return "flash";
    case OperationContext::kPrl:
        return "prl";
    case OperationContext::kEri:
        return "eri";
    default:
        return {};
    }
}

void SendStatusLine(const std::string& text)
{
    HostNotifier::Instance().Send(PluginAbi::kStatusLine, text);
}

// One operation runs at a time in the whole process: this is its runner.
OperationRunner* g_runningRunner = nullptr;

void SendPortLine(const char* format)
{
    if (const int port = Context().SelectedPort())
        HostNotifier::Instance().Send(PluginAbi::kPortLine, QString::asprintf(format, port).toStdString());
}

// An end's text takes the place of the last step's in the status line, so
// that "Resetting the phone" never outlives the operation. Its first line
// is enough there; the box tells the rest.
void ShowEnd(const OperationMessage& end)
{
    if (!end.text.empty())
        SendStatusLine(end.text.substr(0, end.text.find('\n')));
    // The port line agrees with what the operation found of the port.
    if (end.text.rfind(engine::kErrCannotOpen, 0) == 0)
        SendPortLine(FormConstants::kPortCannotOpen);
    else if (end.outcome == OperationMessage::Outcome::Succeeded)
        SendPortLine(FormConstants::kPortConnected);
}
} // namespace

OperationRunner::OperationRunner(CFormView& view, int state, Handler handler)
    : m_view(view)
    , m_state(state)
    , m_handler(std::move(handler))
    , m_bridge([this](const OperationMessage& message) { OnOperationMessage(message); })
{
    m_view.installEventFilter(this);
    connect(&m_stateWatch, &OperationStateWatch::Changed, this, &OperationRunner::FollowState);
}

OperationRunner::~OperationRunner()
{
    // The view is going: its controls are no longer followed.
    if (m_running) {
        EndWorker();
        m_record.KeepStopped();
    }
}

void OperationRunner::AddStartControl(QWidget* control)
{
    m_startControls.push_back(control);
    FollowState();
}

void OperationRunner::AddIdleControl(QWidget* control)
{
    m_idleControls.push_back(control);
    FollowState();
}

bool OperationRunner::Start(std::function<void()> body, const QString& operation, Then then)
{
    m_record.Begin(operation.isEmpty() ? OperationOf(m_state) : operation);
    return Run(std::move(body), then);
}

bool OperationRunner::Continue(std::function<void()> body, Then then)
{
    return Run(std::move(body), then);
}

bool OperationRunner::Run(std::function<void()> body, Then then)
{
    m_then = then;
    Context().SetOperationState(m_state);
    m_target.emplace(&m_bridge);
    m_running = m_worker.Start(std::move(body));
    if (m_running)
        g_runningRunner = this;
    else
        Context().SetOperationState(OperationContext::kIdle);
    FollowState();
    return m_running;
}

bool OperationRunner::Stop()
{
    if (!m_view.AskStop() || !m_running)
        return false;
    KeepStopped();
    return true;
}

void OperationRunner::KeepStopped()
{
    End();
    m_record.KeepStopped();
    SendStatusLine(FormConstants::kStoppedStatus);
}

bool OperationRunner::StopForClosing(bool ask)
{
    OperationRunner* running = g_runningRunner;
    if (!running)
        return true;
    if (ask)
        return running->Stop() || !running->Running();
    running->KeepStopped();
    return true;
}

void OperationRunner::End()
{
    if (!m_running)
        return;
    EndWorker();
    FollowState();
}

void OperationRunner::EndWorker()
{
    m_running = false;
    if (g_runningRunner == this)
        g_runningRunner = nullptr;
    if (m_worker.Running())
        m_worker.Stop(); // its destructor or the next start waits the moment it needs to end
    if (Context().OperationState() == m_state)
        Context().SetOperationState(OperationContext::kIdle);
}

OperationRunner::Turn OperationRunner::CurrentTurn() const
{
    const int state = Context().OperationState();
    if (state == OperationContext::kIdle)
        return Turn::Idle;
    return state == m_state ? Turn::Own : Turn::Other;
}

void OperationRunner::OnOperationMessage(const OperationMessage& message)
{
    m_record.Note(message);
    if (!IsEndReport(message)) {
        m_handler(message);
        return;
    }
    End();
    // A step the view goes on from is no end of the operation: the record is
    // kept, and the status line shows, the end of the last step only.
    const bool goesOn = m_then == Then::GoesOn && message.outcome == OperationMessage::Outcome::Succeeded;
    if (!goesOn)
        KeepEnd(message);
    m_handler(message);
    if (goesOn && !m_running)
        KeepEnd(message);
}

// Once only: after a stop the record is kept and a late end adds nothing.
void OperationRunner::KeepEnd(const OperationMessage& end)
{
    m_record.KeepEnded(end);
    ShowEnd(end);
}

void OperationRunner::FollowState()
{
    const Turn turn = CurrentTurn();
    QWidget* focused = m_view.focusWidget();
    for (QWidget* control : m_startControls)
        FollowFocus(control, turn != Turn::Other, focused);
    for (QWidget* control : m_idleControls)
        FollowFocus(control, turn == Turn::Idle, focused);
    if (turn == Turn::Idle && m_focusBefore && m_focusBefore->isEnabled() && m_view.isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    if (turn == Turn::Idle)
        m_focusBefore = nullptr;
    emit TurnChanged(turn);
}

// Disabling the focused control sends the focus on to the next control;
// it is remembered, so that the end of the operation gives it back.
void OperationRunner::FollowFocus(QWidget* control, bool enabled, QWidget* focused)
{
    if (!enabled && control->isEnabled() && focused && (focused == control || control->isAncestorOf(focused)))
        m_focusBefore = focused;
    control->setEnabled(enabled);
}

bool OperationRunner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_view && event->type() == QEvent::Show)
        FollowState();
    return QObject::eventFilter(watched, event);
}

} // namespace corvanetov
