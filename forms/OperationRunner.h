#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

#include "engine/OperationWorker.h"
#include "engine/ContextGuards.h"
#include "forms/OperationBridge.h"
#include "forms/OperationStateWatch.h"
#include "forms/ViewRecord.h"
class QWidget;

namespace corvanetov {

class CFormView;

// How a view runs its operation, one at a time in the whole process: it owns
// the bridge that brings the worker's reports to the view's thread, the
// worker, and the view's operation state, and keeps the view's controls
// enabled or disabled by that state, on every show and on every change while
// the view lives.
class OperationRunner : public QObject {
    Q_OBJECT
public:
    // Whose operation runs, as the view sees it.
    enum class Turn { Idle, Own, Other };
    using Handler = OperationBridge::Handler;

    // Whether a step's success ends the operation, or the view goes on with
    // a next step (Continue) under the same service record.
    enum class Then { Ends, GoesOn };

    // state: the view's operation state value (OperationContext::State);
    // handler: the view's handling of its operation messages, on its thread.
    OperationRunner(CFormView& view, int state, Handler handler);
    ~OperationRunner() override;

    // A control that starts the operation (and stops it, where its caption
    // turns into "Stop"): enabled unless another view's operation runs.
    void AddStartControl(QWidget* control);
    // A control only an idle view offers: enabled while no operation runs.
    void AddIdleControl(QWidget* control);

    // Sets the operation state to the view's, makes the bridge the report
    // target and runs body on the worker. False when the system gives no
    // thread: nothing runs and the state is idle again. The operation's
    // service record names it `operation` (by default the view's); it is
    // kept when the operation ends, is stopped, or its view goes.
    [[nodiscard]] bool Start(std::function<void()> body, const QString& operation = {}, Then then = Then::Ends);
    // The next step of an operation whose last step ended well with
    // Then::GoesOn, from the view's handling of that end. Should it not go
    // on (no thread), the record is kept with the last step's end.
    [[nodiscard]] bool Continue(std::function<void()> body, Then then = Then::Ends);
    // The record of the running operation, for what only the view knows
    // (its input files, the settings it kept); null when it keeps none.
    ServiceRecord* Record() { return m_record.Draft(); }
    // Asks the view's stop question; Yes ends the operation. False on No, or
    // when the operation ended on its own while the question was open.
    bool Stop();
    // Ends the operation at once: the worker is told to end (on an end report
    // it is still waiting for the view) and the state is idle again. An end
    // report ends it before the view's handler sees the report.
    void End();
    // Between a successful Start and the End.
    bool Running() const { return m_running; }
    // For the closing of the host's window, whichever view's operation runs:
    // true when none runs (any more). ask: the view's stop question first,
    // and only Yes stops; else (the window is gone, or the host was told to
    // end) the operation is stopped at once. Either stop is the Stop
    // button's: the port freed, the record kept as stopped.
    static bool StopForClosing(bool ask);
    Turn CurrentTurn() const;

signals:
    // The controls have followed the state; views with controls of their own
    // rules (by a chosen option, say) follow it here.
    void TurnChanged(OperationRunner::Turn turn);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnOperationMessage(const OperationMessage& message);
    bool Run(std::function<void()> body, Then then);
    void KeepEnd(const OperationMessage& end);
    void EndWorker();
    void KeepStopped();
    void FollowState();
    void FollowFocus(QWidget* control, bool enabled, QWidget* focused);

    CFormView& m_view;
    const int m_state;
    Handler m_handler;
    std::vector<QWidget*> m_startControls;
    std::vector<QWidget*> m_idleControls;
    OperationStateWatch m_stateWatch;
    bool m_running = false;
    Then m_then = Then::Ends;
    // The control that had the focus when the operation disabled it: it
    // has it again when the operation ends.
    QPointer<QWidget> m_focusBefore;
    OperationBridge m_bridge;
    ViewRecord m_record;
    // The bridge as the report target, from the first start on.
    std::optional<ScopedTarget> m_target;
    // Declared last: destroyed first, it waits for the worker, which may
    // still be delivering to the bridge.
    OperationWorker m_worker;
};

} // namespace corvanetov
