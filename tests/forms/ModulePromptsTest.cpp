#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <thread>

#include "ModalAnswerer.h"
#include "engine/OperationWorker.h"
#include "forms/ModulePrompts.h"
#include "hostlink/HostNotifier.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {

// Runs ask on a worker thread, as an engine operation does, and keeps the
// user-interface thread's events going until it has its answer.
template <class Ask>
bool AskFromWorker(Ask ask)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ask();
        done = true;
    });
    const bool answered = QTest::qWaitFor([&] { return done.load(); }, 20000);
    worker.join();
    return answered;
}

void ClickButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

struct Received {
    void* context = nullptr;
    unsigned message = 0;
    int param = -1;
    std::string text;
};

void Record(void* context, unsigned message, int param, const char* text)
{
    auto* received = static_cast<Received*>(context);
    received->context = context;
    received->message = message;
    received->param = param;
    received->text = text;
}

} // namespace

class ModulePromptsTest : public QObject {
    Q_OBJECT
private slots:
    void MslCodeAskedFromAWorkerOnTheUiThread();
    void MslCodeCancelled();
    void FontStartAddressConfirmedAsShown();
    void MessageBoxAnswersAndStyles();
    void HostMessagesGoToTheRegisteredCallback();
    void AStopReleasesAWorkerThatAsks();
};

void ModulePromptsTest::MslCodeAskedFromAWorkerOnTheUiThread()
{
    ModulePrompts prompts;
    bool onUiThread = false;
    ModalAnswerer answerer([&](QWidget* open) {
        onUiThread = QThread::currentThread() == qApp->thread();
        QTest::keyClicks(open->findChild<QLineEdit*>(), QStringLiteral("000123"));
        ClickButton(open, QDialogButtonBox::Ok);
    });
    bool ok = false;
    std::string code;
    QVERIFY(AskFromWorker([&] { ok = prompts.AskMslCode(code); }));
    QCOMPARE(answerer.DialogTitle(), QStringLiteral("Input MSL Code"));
    QVERIFY(onUiThread);
    QVERIFY(ok);
    QCOMPARE(code, std::string("000123"));
}

void ModulePromptsTest::MslCodeCancelled()
{
    ModulePrompts prompts;
    ModalAnswerer answerer([](QWidget* open) { ClickButton(open, QDialogButtonBox::Cancel); });
    bool ok = true;
    std::string code = "unchanged";
    QVERIFY(AskFromWorker([&] { ok = prompts.AskMslCode(code); }));
    QVERIFY(answerer.Answered());
    QVERIFY(!ok);
    QCOMPARE(code, std::string("unchanged"));
}

void ModulePromptsTest::FontStartAddressConfirmedAsShown()
{
    ModulePrompts prompts;
    ModalAnswerer answerer([](QWidget* open) { ClickButton(open, QDialogButtonBox::Ok); });
    bool ok = false;
    uint32_t address = 0;
    QVERIFY(AskFromWorker([&] { ok = prompts.AskFontStartAddress(address); }));
    QCOMPARE(answerer.DialogTitle(), QStringLiteral("FONT DOWNLOAD"));
    QVERIFY(ok);
    QCOMPARE(address, 0x2E00000u);

    ModalAnswerer cancelled([](QWidget* open) { ClickButton(open, QDialogButtonBox::Cancel); });
    address = 7;
    QVERIFY(AskFromWorker([&] { ok = prompts.AskFontStartAddress(address); }));
    QVERIFY(!ok);
    QCOMPARE(address, 7u);
}

void ModulePromptsTest::MessageBoxAnswersAndStyles()
{
    ModulePrompts prompts;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    ModalAnswerer answerer([&](QWidget* open) {
        auto* box = qobject_cast<QMessageBox*>(open);
        icon = box->icon();
        text = box->text();
        box->button(QMessageBox::No)->click();
    });
    Prompts::Answer answer = Prompts::Answer::Ok;
    QVERIFY(AskFromWorker([&] {
        answer = prompts.ShowMessage("Program is running....Would you stop anyway!!!", "CorvaneTOV",
                                     Prompts::Style::YesNo, Prompts::Icon::Question);
    }));
    QCOMPARE(answer, Prompts::Answer::No);
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(text, QStringLiteral("Program is running....Would you stop anyway!!!"));

    // Asked on the user-interface thread itself, it runs there at once. A
    // box given no caption has the tool's name for its title.
    QString title;
    ModalAnswerer okAnswerer([&](QWidget* open) {
        title = open->windowTitle();
        qobject_cast<QMessageBox*>(open)->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(prompts.ShowMessage("Cannot Open ComPort", "", Prompts::Style::Ok, Prompts::Icon::Error),
             Prompts::Answer::Ok);
    QVERIFY(okAnswerer.Answered());
    QCOMPARE(title, QStringLiteral("CorvaneTOV"));
}

void ModulePromptsTest::HostMessagesGoToTheRegisteredCallback()
{
    Received received;
    HostNotifier::Instance().SetCallback(&Record, &received);
    HostNotifier::Instance().Send(PluginAbi::kPortLine, "      Com7");
    QCOMPARE(received.context, static_cast<void*>(&received));
    QCOMPARE(received.message, 26000u);
    QCOMPARE(received.param, 2);
    QCOMPARE(received.text, std::string("      Com7"));

    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    HostNotifier::Instance().Send(PluginAbi::kStatusLine, "Reading Phone Info");
    QCOMPARE(received.text, std::string("      Com7"));
}

// A view that is closed while its worker asks a question stops the worker
// and waits for it, without running its event loop. The worker must give up
// its question and end; the question, never shown, stays unasked.
void ModulePromptsTest::AStopReleasesAWorkerThatAsks()
{
    constexpr int kBoundMs = 3000; // far longer than a thread needs to start or to see a stop
    ModulePrompts prompts;
    struct Case {
        const char* name;
        std::function<bool()> ask; // true: answered as a closed dialog is
    };
    const Case cases[] = {
        {"MSL code",
         [&] {
             std::string code = "unchanged";
             return !prompts.AskMslCode(code) && code == "unchanged";
         }},
        {"font start address",
         [&] {
             uint32_t address = 7;
             return !prompts.AskFontStartAddress(address) && address == 7;
         }},
        {"message box", [&] { return prompts.ShowMessage("Continue?", "", Prompts::Style::YesNo, Prompts::Icon::Question) == Prompts::Answer::No; }},
    };
    for (const Case& c : cases) {
        std::atomic<bool> waiting{false};
        Pacing::Instance().SetObserver([&](Pacing::Pause pause, uint32_t) { waiting = pause == Pacing::Pause::Wait; });
        ModalAnswerer answerer([](QWidget* open) { open->close(); }, 100);
        std::atomic<bool> ended{false};
        std::atomic<bool> closedAnswer{false};
        OperationWorker worker;
        QVERIFY(worker.Start([&] {
            closedAnswer = c.ask();
            ended = true;
        }));
        QElapsedTimer clock;
        clock.start();
        while (!waiting && clock.elapsed() < kBoundMs)
            QThread::msleep(1);
        worker.Stop();
        clock.restart();
        while (!ended && clock.elapsed() < kBoundMs)
            QThread::msleep(1);
        const bool released = ended;
        // Before the mend the worker waits on this thread: let it go, so
        // that the test fails instead of hanging.
        QVERIFY(QTest::qWaitFor([&] { return ended.load(); }, 20000));
        worker.Join();
        Pacing::Instance().SetObserver(nullptr);
        QVERIFY2(released, c.name);
        QVERIFY2(waiting, c.name);
        QVERIFY2(closedAnswer, c.name);
        QTest::qWait(50);
        QVERIFY2(!answerer.Answered(), c.name);
    }
}

QTEST_MAIN(ModulePromptsTest)
#include "ModulePromptsTest.moc"
