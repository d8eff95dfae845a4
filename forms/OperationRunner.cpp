#include "forms/OperationRunner.h"

#include <QEvent>
#include <QWidget>

#include "engine/OperationContext.h"
#include "engine/OperationFamily.h"
#include "forms/FormView.h"

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

bool OperationRunner::Start(std::function<void()> body, const QString& operation)
{
    m_record.Begin(operation.isEmpty() ? OperationOf(m_state) : operation);
    Context().SetOperationState(m_state);
    m_target.emplace(&m_bridge);
    m_running = m_worker.Start(std::move(body));
    if (!m_running)
        Context().SetOperationState(OperationContext::kIdle);
    FollowState();
    return m_running;
}

bool OperationRunner::Stop()
{
    if (!m_view.AskStop() || !m_running)
        return false;
    End();
    m_record.KeepStopped();
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
    if (IsEndReport(message) && m_running) {
        End();
        m_record.KeepEnded(message);
    }
    m_handler(message);
}

void OperationRunner::FollowState()
{
    const Turn turn = CurrentTurn();
    for (QWidget* control : m_startControls)
        control->setEnabled(turn != Turn::Other);
    for (QWidget* control : m_idleControls)
        control->setEnabled(turn == Turn::Idle);
    emit TurnChanged(turn);
}

bool OperationRunner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_view && event->type() == QEvent::Show)
        FollowState();
    return QObject::eventFilter(watched, event);
}

} // namespace corvanetov
