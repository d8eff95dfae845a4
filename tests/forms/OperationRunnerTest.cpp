#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>

#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "forms/FormView.h"
#include "forms/OperationRunner.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
// Longer than any test runs: a pause of this length ends only by a stop.
constexpr uint32_t kEndlessMs = 0xFFFFFFFF;

OperationMessage Report(int32_t kind)
{
    return OperationMessage{engine::kMsgNam, 0, kind, 0, {}, OperationMessage::Outcome::None};
}

// A view of the settings family with a start button and a control only an
// idle view offers; it answers the stop question itself and notes what the
// runner looked like as each report reached it.
class RunnerView : public CFormView {
public:
    QPushButton start{this};
    QPushButton choice{this};
    OperationRunner runner{*this, OperationContext::kSettings, [this](const OperationMessage& m) { OnReport(m); }};
    bool stopAnswer = true;
    int stopQuestions = 0;
    // Something that ends the operation while the question is open.
    std::function<void()> duringQuestion;
    QList<int32_t> kinds;
    QList<bool> runningAtReport;
    QList<int> stateAtReport;

    RunnerView()
    {
        runner.AddStartControl(&start);
        runner.AddIdleControl(&choice);
    }
    bool AskStop() override
    {
        ++stopQuestions;
        if (duringQuestion)
            duringQuestion();
        return stopAnswer;
    }

protected:
    void OnInitialUpdate() override {}

private:
    void OnReport(const OperationMessage& message)
    {
        kinds << message.kind;
        runningAtReport << runner.Running();
        stateAtReport << Context().OperationState();
    }
};

// The worker's body: a status report, then a pause only a stop ends; it
// tells whether the pause ran to its end.
struct PausingBody {
    std::atomic<bool> paused{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> completed{true};

    std::function<void()> Body()
    {
        return [this] {
            Context().SendOperationMessage(Report(engine::kNamStatus));
            paused = true;
            completed = Pacing::Instance().Sleep(kEndlessMs);
            ended = true;
        };
    }
};
} // namespace

Q_DECLARE_METATYPE(OperationRunner::Turn)

class OperationRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void EndReportEndsTheOperationBeforeTheViewSeesIt();
    void StopAsksAndEndsOnlyOnYes_data();
    void StopAsksAndEndsOnlyOnYes();
    void ControlsFollowTheStateWhileShown_data();
    void ControlsFollowTheStateWhileShown();
    void ClosingTheViewEndsItsOperation();
};

void OperationRunnerTest::init()
{
    Context().SetOperationState(OperationContext::kIdle);
}

void OperationRunnerTest::cleanup()
{
    Context().SetOperationState(OperationContext::kIdle);
    Pacing::Instance().ClearStop();
}

void OperationRunnerTest::EndReportEndsTheOperationBeforeTheViewSeesIt()
{
    RunnerView view;
    view.show();
    std::atomic<bool> ended{false};
    QVERIFY(view.runner.Start([&] {
        Context().SendOperationMessage(Report(engine::kNamStatus));
        Context().SendOperationMessage(Report(engine::kNamReadDone));
        // A stopped worker reports nothing more.
        Context().SendOperationMessage(Report(engine::kNamStatus));
        ended = true;
    }));
    QVERIFY(view.runner.Running());
    QCOMPARE(Context().OperationState(), int(OperationContext::kSettings));
    QVERIFY(view.start.isEnabled());
    QVERIFY(!view.choice.isEnabled());
    QTRY_VERIFY(ended);
    QCOMPARE(view.kinds, (QList<int32_t>{engine::kNamStatus, engine::kNamReadDone}));
    QCOMPARE(view.runningAtReport, (QList<bool>{true, false}));
    QCOMPARE(view.stateAtReport, (QList<int>{OperationContext::kSettings, OperationContext::kIdle}));
    QVERIFY(!view.runner.Running());
    QVERIFY(view.choice.isEnabled());
}

void OperationRunnerTest::StopAsksAndEndsOnlyOnYes_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("endsDuringQuestion");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("No keeps it running") << false << false << false;
    QTest::newRow("Yes ends it") << true << false << true;
    // The end report came while the question was open: nothing left to stop.
    QTest::newRow("Yes after it ended") << true << true << false;
}

void OperationRunnerTest::StopAsksAndEndsOnlyOnYes()
{
    QFETCH(bool, answer);
    QFETCH(bool, endsDuringQuestion);
    QFETCH(bool, stopped);
    RunnerView view;
    view.show();
    PausingBody work;
    QVERIFY(view.runner.Start(work.Body()));
    QTRY_VERIFY(work.paused);
    view.stopAnswer = answer;
    if (endsDuringQuestion)
        view.duringQuestion = [&view] { view.runner.End(); };

    QCOMPARE(view.runner.Stop(), stopped);
    QCOMPARE(view.stopQuestions, 1);
    const bool running = !answer && !endsDuringQuestion;
    QCOMPARE(view.runner.Running(), running);
    QCOMPARE(Context().OperationState(), int(running ? OperationContext::kSettings : OperationContext::kIdle));
    if (running) {
        QTest::qWait(50);
        QVERIFY(!work.ended);
        view.runner.End();
    }
    QTRY_VERIFY(work.ended);
    QVERIFY(!work.completed);
}

void OperationRunnerTest::ControlsFollowTheStateWhileShown_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<OperationRunner::Turn>("turn");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<bool>("choiceEnabled");
    QTest::newRow("another view's") << int(OperationContext::kPrl) << OperationRunner::Turn::Other << false << false;
    QTest::newRow("its own") << int(OperationContext::kSettings) << OperationRunner::Turn::Own << true << false;
}

void OperationRunnerTest::ControlsFollowTheStateWhileShown()
{
    QFETCH(int, state);
    QFETCH(OperationRunner::Turn, turn);
    QFETCH(bool, startEnabled);
    QFETCH(bool, choiceEnabled);
    RunnerView view;
    QSignalSpy turns(&view.runner, &OperationRunner::TurnChanged);
    view.show();
    QVERIFY(view.start.isEnabled());
    QVERIFY(view.choice.isEnabled());

    Context().SetOperationState(state);
    QTRY_VERIFY(view.start.isEnabled() == startEnabled && view.choice.isEnabled() == choiceEnabled);
    QCOMPARE(view.runner.CurrentTurn(), turn);
    QCOMPARE(turns.last().first().value<OperationRunner::Turn>(), turn);

    Context().SetOperationState(OperationContext::kIdle);
    QTRY_VERIFY(view.start.isEnabled() && view.choice.isEnabled());

    // A hidden view catches up on its next show.
    view.hide();
    Context().SetOperationState(state);
    view.show();
    QCOMPARE(view.start.isEnabled(), startEnabled);
    QCOMPARE(view.choice.isEnabled(), choiceEnabled);
}

// Another view must not wait for an operation whose view is gone.
void OperationRunnerTest::ClosingTheViewEndsItsOperation()
{
    PausingBody work;
    {
        RunnerView view;
        QVERIFY(view.runner.Start(work.Body()));
        QTRY_VERIFY(work.paused);
        QVERIFY(Context().Target());
    }
    QVERIFY(work.ended);
    QVERIFY(!work.completed);
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QVERIFY(!Context().Target());
}

QTEST_MAIN(OperationRunnerTest)
#include "OperationRunnerTest.moc"
