#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ChildProcess.h"
#include "ThreadlessChild.h"
#include "comm/BaseComm.h"
#include "engine/OperationContext.h"
#include "forms/DialogPhoneInfo.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "plugin/HostNotifier.h"
#include "plugin/PortStore.h"
#include "plugin/PortTable.h"
#include "widgets/SpreadSheet.h"

namespace {
const char kHandsetLink[] = "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";

// The view with its questions answered by the test.
class AnsweredPhoneInfo : public CDialogPhoneInfo {
public:
    bool stopAnswer = true;
    int stopQuestions = 0;
    int portDialogs = 0;
    QStringList messages;

protected:
    bool AskStop() override
    {
        ++stopQuestions;
        return stopAnswer;
    }
    void ShowMessage(const QString& text) override { messages << text; }
    void RunPortSettingDialog() override { ++portDialogs; }
};

QString CellText(CSpreadSheet& grid, int column, int row)
{
    grid.SetActiveColumn(column);
    grid.SetActiveRow(row);
    return grid.GetCellText();
}
} // namespace

class PhoneInfoViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void FirstShowWithoutAnyPortAsksOnceThenSearches();
    void HandsetPluggedInLaterIsFoundWithinASecond();
    void ReadFillsTheGridAndTellsTheHost();
    void FailedReadShowsTheErrorOnceAndKeepsTheGrid();
    void StopAnsweredNoKeepsReadingYesFreesThePort();
    void ButtonIsDisabledWhileAnotherViewWorks();
    void ReadWithoutAThreadLeavesTheViewIdle();

private:
    void StartHandset(const QStringList& options = {});
    static void OnHostMessage(void* context, unsigned message, int line, const char* text);
    QString HostLine(int line) const { return m_lines.value(line); }

    QTemporaryDir m_folder;
    ChildProcess m_handset;
    NvDoc m_doc;
    QMap<int, QString> m_lines;
    int m_handsets = 0;
};

void PhoneInfoViewTest::OnHostMessage(void* context, unsigned, int line, const char* text)
{
    static_cast<PhoneInfoViewTest*>(context)->m_lines[line] = QString::fromUtf8(text);
}

void PhoneInfoViewTest::init()
{
    QVERIFY(m_folder.isValid());
    QDir folder(m_folder.path());
    folder.removeRecursively();
    QVERIFY(folder.mkpath(QStringLiteral("by-id")));
    qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("CORVANETOV_SERIAL_BY_ID", m_folder.filePath(QStringLiteral("by-id")).toLocal8Bit());
    PortTable::Instance().InstallResolver();
    auto& context = OperationContext::Instance();
    context.SetNvDocument(&m_doc);
    context.SetSelectedPort(0);
    context.SetOperationState(OperationContext::kIdle);
    HostNotifier::Instance().SetCallback(&PhoneInfoViewTest::OnHostMessage, this);
    m_lines.clear();
}

void PhoneInfoViewTest::cleanup()
{
    m_handset.Stop();
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    OperationContext::Instance().CloseChannel();
    OperationContext::Instance().SetNvDocument(nullptr);
}

void PhoneInfoViewTest::StartHandset(const QStringList& options)
{
    std::vector<std::string> argv = {VQXB410_SIM_PATH, "--by-id", m_folder.filePath(QStringLiteral("by-id")).toStdString(),
                                     "--state",
                                     m_folder.filePath(QStringLiteral("handset%1.json").arg(++m_handsets)).toStdString(),
                                     "--esn", "1A2B3C4D", "--version-text", "AB12.5", "--compile-date", "Jun 20 2006",
                                     "--hw-version", "HW00.07"};
    for (const auto& option : options)
        argv.push_back(option.toStdString());
    QVERIFY(!m_handset.Start(argv).empty());
}

void PhoneInfoViewTest::FirstShowWithoutAnyPortAsksOnceThenSearches()
{
    AnsweredPhoneInfo view;
    view.show();
    QCOMPARE(view.portDialogs, 1);
    QCOMPARE(HostLine(2), QStringLiteral("Disconnected"));
    QVERIFY(view.Searching());
    QCOMPARE(view.ButtonCaption(), QStringLiteral("Read General Information"));
    CSpreadSheet& grid = view.Grid();
    QCOMPARE(CellText(grid, 1, 0), QStringLiteral("Items"));
    QCOMPARE(CellText(grid, 2, 0), QStringLiteral("Info"));
    QCOMPARE(CellText(grid, 1, 1), QStringLiteral("Software Version"));
    QCOMPARE(CellText(grid, 1, 2), QStringLiteral("Hardware Version"));
    QCOMPARE(grid.GetNumberOfRows(), 2);

    // With a port stored, the dialog stays away.
    OperationContext::Instance().SetSelectedPort(4);
    PortStore::SavePortNumber();
    AnsweredPhoneInfo second;
    second.show();
    QCOMPARE(second.portDialogs, 0);
    QCOMPARE(HostLine(2), QStringLiteral("Disconnected"));
}

void PhoneInfoViewTest::HandsetPluggedInLaterIsFoundWithinASecond()
{
    OperationContext::Instance().SetSelectedPort(9);
    PortStore::SavePortNumber();
    AnsweredPhoneInfo view;
    view.show();
    QVERIFY(view.Searching());
    StartHandset();
    uint8_t listed = PortTable::Instance().NumberFor(m_folder.filePath(QStringLiteral("by-id/") + kHandsetLink));
    QTRY_COMPARE_WITH_TIMEOUT(HostLine(2), QStringLiteral("Com%1 Connected").arg(listed), 5000);
    QCOMPARE(OperationContext::Instance().SelectedPort(), listed);
    QVERIFY(!view.Searching());
}

void PhoneInfoViewTest::ReadFillsTheGridAndTellsTheHost()
{
    StartHandset();
    AnsweredPhoneInfo view;
    view.show();
    QVERIFY(HostLine(2).endsWith(QStringLiteral(" Connected")));
    view.OnButtonClick();
    QCOMPARE(view.ButtonCaption(), QStringLiteral("Stop"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kPhoneInfo));
    QVERIFY(view.Busy());
    QCOMPARE(HostLine(0), QStringLiteral("Reading Phone Info"));

    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("Read General Information"), 20000);
    QCOMPARE(CellText(view.Grid(), 2, 1), QStringLiteral("AB12 ZF20"));
    QCOMPARE(CellText(view.Grid(), 2, 2), QStringLiteral("HW00.07"));
    QCOMPARE(HostLine(1), QStringLiteral("ESN : 1A2B3C4D"));
    QCOMPARE(HostLine(0), QStringLiteral("Response Received"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
    QVERIFY(!view.Busy());
    QVERIFY(view.messages.isEmpty());
}

void PhoneInfoViewTest::FailedReadShowsTheErrorOnceAndKeepsTheGrid()
{
    StartHandset();
    AnsweredPhoneInfo view;
    view.show();
    view.OnButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("Read General Information"), 20000);
    m_handset.Stop();

    StartHandset({QStringLiteral("--model-code"), QStringLiteral("146")});
    view.OnButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 1, 20000);
    QCOMPARE(view.messages.first(),
             QStringLiteral("This phone is not identical with this module.\nPlease select another module !"));
    QCOMPARE(view.ButtonCaption(), QStringLiteral("Read General Information"));
    QTest::qWait(100);
    QCOMPARE(view.messages.size(), 1);
    // Column 2 keeps what it showed.
    QCOMPARE(CellText(view.Grid(), 2, 1), QStringLiteral("AB12 ZF20"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
}

void PhoneInfoViewTest::StopAnsweredNoKeepsReadingYesFreesThePort()
{
    StartHandset();
    AnsweredPhoneInfo view;
    view.show();
    double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0); // real pauses, so that the read is still on when we ask
    view.OnButtonClick();
    QTest::qWait(1500);

    view.stopAnswer = false;
    view.OnButtonClick();
    QCOMPARE(view.stopQuestions, 1);
    QVERIFY(view.WorkerRunning());
    QCOMPARE(view.ButtonCaption(), QStringLiteral("Stop"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kPhoneInfo));

    view.stopAnswer = true;
    QElapsedTimer clock;
    clock.start();
    view.OnButtonClick();
    QCOMPARE(view.ButtonCaption(), QStringLiteral("Read General Information"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
    BaseComm other;
    other.CreateResponseEvent(1);
    other.Configure(OperationContext::Instance().SelectedPort(), 115200, 8, 0, 0);
    other.CreateIoEvents();
    bool opened = false;
    while (!opened && clock.elapsed() < 1000)
        opened = other.Open();
    qint64 freedAfter = clock.elapsed();
    Pacing::Instance().SetTimeScale(scale);
    QVERIFY(opened);
    QVERIFY2(freedAfter < 100, qPrintable(QStringLiteral("port free after %1 ms").arg(freedAfter)));
    QVERIFY(view.messages.isEmpty());
}

void PhoneInfoViewTest::ButtonIsDisabledWhileAnotherViewWorks()
{
    StartHandset();
    AnsweredPhoneInfo view;
    view.show();
    view.hide();
    OperationContext::Instance().SetOperationState(OperationContext::kSettings);
    view.show();
    QVERIFY(!view.ButtonEnabled());
    view.hide();
    OperationContext::Instance().SetOperationState(OperationContext::kIdle);
    view.show();
    QVERIFY(view.ButtonEnabled());
}

// The process is out of threads: the click changes nothing, and the next
// click, or another view, finds everything idle.
void PhoneInfoViewTest::ReadWithoutAThreadLeavesTheViewIdle()
{
    AnsweredPhoneInfo view;
    view.show();
    const QString status = HostLine(0);
    QVERIFY(ThreadlessChild::Run([&] {
        view.OnButtonClick();
        return view.ButtonCaption() == QStringLiteral("Read General Information") && !view.Busy() && !view.WorkerRunning()
            && OperationContext::Instance().OperationState() == OperationContext::kIdle && HostLine(0) == status
            && view.messages.isEmpty();
    }));
}

QTEST_MAIN(PhoneInfoViewTest)
#include "PhoneInfoViewTest.moc"
