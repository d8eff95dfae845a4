#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "ChildProcess.h"
#include "ThreadlessChild.h"
#include "comm/BaseComm.h"
#include "engine/OperationContext.h"
#include "forms/DialogHistory.h"
#include "forms/DialogPhoneInfo.h"
#include "hostlink/HostNotifier.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "ports/PortStore.h"
#include "ports/PortTable.h"
#include "widgets/ColorRef.h"
#include "widgets/CommandButton.h"
#include "widgets/SpreadSheet.h"

using namespace corvanetov;

namespace {
const char kHandsetLink[] = "usb-Corvane_VQX-B410_qxcdmdm-if02-port0";

// The view with its questions answered by the test.
class AnsweredPhoneInfo : public CDialogPhoneInfo {
public:
    bool stopAnswer = true;
    int stopQuestions = 0;
    int portDialogs = 0;
    QStringList messages;
    QStringList details;

protected:
    bool AskStop() override
    {
        ++stopQuestions;
        return stopAnswer;
    }
    void ShowMessage(const QString& text, const QString& detail) override
    {
        messages << text;
        details << detail;
    }
    void RunPortSettingDialog() override { ++portDialogs; }
};

// The history window with its boxes answered: what it said.
class AnsweredHistory : public CDialogHistory {
public:
    QStringList told;

protected:
    void Tell(const QString& text) override { told << text; }
};

// Shows the view and lets what waits for the end of the show run.
void ShowAndSettle(CDialogPhoneInfo& view)
{
    view.show();
    QCoreApplication::processEvents();
}

QString CellText(CSpreadSheet& grid, int column, int row)
{
    grid.SetActiveColumn(column);
    grid.SetActiveRow(row);
    return grid.GetCellText();
}

QTableWidget* Table(CSpreadSheet& grid)
{
    return grid.findChild<QTableWidget*>();
}

QColor ValueColor(CSpreadSheet& grid, int row)
{
    return Table(grid)->item(row - 1, 1)->foreground().color();
}

// Ways a read can end other than in success, or the handset can go.
enum class Ending { Stopped, WrongModel, PortHeld, Unplugged };
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
    void ResultsCannotBeTypedOver();
    void KeyboardAloneReadsTheHandset();
    void GridKeepsItsPlaceAndFillsTheWidth_data();
    void GridKeepsItsPlaceAndFillsTheWidth();
    void NothingShowsAnEarlierReadAsCurrent_data();
    void NothingShowsAnEarlierReadAsCurrent();
    void ReadWithoutAThreadLeavesTheViewIdle();
    void ReadIsRecordedAndTheHistoryWindowListsAndExportsIt();

private:
    void StartHandset(const QStringList& options = {});
    // A shown view after one successful read of the handset.
    void ReadOnce(CDialogPhoneInfo& view);
    QString ConnectedLine() const;
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
    qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toLocal8Bit());
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
    QCOMPARE(view.portDialogs, 0); // a dialog run inside the show crashes the host
    QCoreApplication::processEvents();
    QCOMPARE(view.portDialogs, 1);
    QCOMPARE(HostLine(2), QStringLiteral("Disconnected"));
    QVERIFY(view.Searching());
    QCOMPARE(view.ButtonCaption(), QStringLiteral("&Read General Information"));
    CSpreadSheet& grid = view.Grid();
    QCOMPARE(CellText(grid, 1, 0), QStringLiteral("Items"));
    QCOMPARE(CellText(grid, 2, 0), QStringLiteral("Info"));
    QCOMPARE(CellText(grid, 1, 1), QStringLiteral("Software Version"));
    QCOMPARE(CellText(grid, 1, 2), QStringLiteral("Hardware Version"));
    QCOMPARE(grid.GetNumberOfRows(), 2);

    // With a port stored, the dialog stays away.
    PortStore::SavePortNumber(4);
    AnsweredPhoneInfo second;
    ShowAndSettle(second);
    QCOMPARE(second.portDialogs, 0);
    QCOMPARE(HostLine(2), QStringLiteral("Disconnected"));
}

void PhoneInfoViewTest::HandsetPluggedInLaterIsFoundWithinASecond()
{
    PortStore::SavePortNumber(9);
    AnsweredPhoneInfo view;
    ShowAndSettle(view);
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
    ShowAndSettle(view);
    QVERIFY(HostLine(2).endsWith(QStringLiteral(" Connected")));
    view.OnButtonClick();
    QCOMPARE(view.ButtonCaption(), QStringLiteral("S&top"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kPhoneInfo));
    QVERIFY(view.Busy());
    QCOMPARE(HostLine(0), QStringLiteral("Reading Phone Info"));

    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("&Read General Information"), 20000);
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
    ShowAndSettle(view);
    view.OnButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("&Read General Information"), 20000);
    m_handset.Stop();

    StartHandset({QStringLiteral("--model-code"), QStringLiteral("146")});
    view.OnButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 1, 20000);
    QCOMPARE(view.messages.first(),
             QStringLiteral("This phone is not identical with this module.\nPlease select another module !"));
    QCOMPARE(view.ButtonCaption(), QStringLiteral("&Read General Information"));
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
    ShowAndSettle(view);
    double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0); // real pauses, so that the read is still on when we ask
    view.OnButtonClick();
    QTest::qWait(1500);

    view.stopAnswer = false;
    view.OnButtonClick();
    QCOMPARE(view.stopQuestions, 1);
    QVERIFY(view.WorkerRunning());
    QCOMPARE(view.ButtonCaption(), QStringLiteral("S&top"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kPhoneInfo));

    view.stopAnswer = true;
    view.OnButtonClick();
    QCOMPARE(view.ButtonCaption(), QStringLiteral("&Read General Information"));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
    BaseComm other;
    other.CreateResponseEvent(1);
    other.Configure(OperationContext::Instance().SelectedPort(), 115200, 8, 0, 0);
    other.CreateIoEvents();
    // The port comes free (within its budget: bench/stop_bench measures it).
    const bool opened = QTest::qWaitFor([&] { return other.Open(); }, 5000);
    Pacing::Instance().SetTimeScale(scale);
    QVERIFY(opened);
    QVERIFY(view.messages.isEmpty());
}

void PhoneInfoViewTest::ButtonIsDisabledWhileAnotherViewWorks()
{
    StartHandset();
    AnsweredPhoneInfo view;
    ShowAndSettle(view);
    view.hide();
    OperationContext::Instance().SetOperationState(OperationContext::kSettings);
    view.show();
    QVERIFY(!view.ButtonEnabled());
    view.hide();
    OperationContext::Instance().SetOperationState(OperationContext::kIdle);
    view.show();
    QVERIFY(view.ButtonEnabled());
}

void PhoneInfoViewTest::ReadOnce(CDialogPhoneInfo& view)
{
    view.show();
    QTRY_VERIFY(HostLine(2).endsWith(QStringLiteral(" Connected")));
    view.OnButtonClick();
    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("&Read General Information"), 20000);
    QCOMPARE(CellText(view.Grid(), 2, 1), QStringLiteral("AB12 ZF20"));
}

QString PhoneInfoViewTest::ConnectedLine() const
{
    uint8_t listed = PortTable::Instance().NumberFor(m_folder.filePath(QStringLiteral("by-id/") + kHandsetLink));
    return QStringLiteral("Com%1 Connected").arg(listed);
}

void PhoneInfoViewTest::ResultsCannotBeTypedOver()
{
    StartHandset();
    AnsweredPhoneInfo view;
    ReadOnce(view);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QTableWidget* table = Table(view.Grid());
    for (int column = 1; column <= 2; ++column) {
        for (int row = 1; row <= 2; ++row) {
            view.Grid().SetActiveColumn(column);
            view.Grid().SetActiveRow(row);
            QCOMPARE(view.Grid().GetCellType(), 5);
            QVERIFY(!(table->item(row - 1, column - 1)->flags() & Qt::ItemIsEditable));
        }
    }
    // The keys that start an edit elsewhere change nothing here.
    table->setFocus();
    table->setCurrentCell(0, 1);
    QTest::keyClick(table, Qt::Key_F2);
    QVERIFY(!table->viewport()->findChild<QLineEdit*>());
    QTest::keyClicks(table, QStringLiteral("XX"));
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(CellText(view.Grid(), 2, 1), QStringLiteral("AB12 ZF20"));
}

// Tab leaves the grid for the button; Space on it reads the handset.
void PhoneInfoViewTest::KeyboardAloneReadsTheHandset()
{
    StartHandset();
    AnsweredPhoneInfo view;
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QTRY_VERIFY(HostLine(2).endsWith(QStringLiteral(" Connected")));
    auto* button = view.findChild<CCommandButton*>();
    QTableWidget* table = Table(view.Grid());
    table->setFocus();
    for (int press = 0; press < 2 && !button->hasFocus(); ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY2(button->hasFocus(), "Tab never reached the button");
    QTest::keyClick(button, Qt::Key_Tab);
    QVERIFY(table->hasFocus());
    QTest::keyClick(table, Qt::Key_Backtab);
    QVERIFY(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(view.ButtonCaption(), QStringLiteral("S&top"));
    QTRY_COMPARE_WITH_TIMEOUT(view.ButtonCaption(), QStringLiteral("&Read General Information"), 20000);
    QCOMPARE(CellText(view.Grid(), 2, 2), QStringLiteral("HW00.07"));
    QCOMPARE(HostLine(1), QStringLiteral("ESN : 1A2B3C4D"));
}

void PhoneInfoViewTest::GridKeepsItsPlaceAndFillsTheWidth_data()
{
    QTest::addColumn<QSize>("size");
    // What a 640 x 480 host window leaves its views, and a large window.
    QTest::newRow("smallest window") << QSize(636, 380);
    QTest::newRow("large window") << QSize(1400, 900);
}

void PhoneInfoViewTest::GridKeepsItsPlaceAndFillsTheWidth()
{
    QFETCH(QSize, size);
    StartHandset();
    AnsweredPhoneInfo view;
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_VERIFY(HostLine(2).endsWith(QStringLiteral(" Connected")));
    QTableWidget* table = Table(view.Grid());
    auto columnsWidth = [table] { return table->columnWidth(0) + table->columnWidth(1); };
    QCOMPARE(columnsWidth(), table->viewport()->width());
    QVERIFY(!table->horizontalScrollBar()->isVisible());
    QVERIFY(view.Grid().width() > size.width() * 9 / 10);
    const QRect idle = view.Grid().geometry();

    double scale = Pacing::Instance().TimeScale();
    Pacing::Instance().SetTimeScale(1.0); // a read long enough to look at
    view.OnButtonClick();
    QTest::qWait(100);
    QVERIFY(view.Busy());
    QCOMPARE(view.Grid().geometry(), idle);
    view.OnButtonClick(); // stop, answered Yes
    Pacing::Instance().SetTimeScale(scale);
    QTest::qWait(50);
    QVERIFY(!view.Busy());
    QCOMPARE(view.Grid().geometry(), idle);
}

void PhoneInfoViewTest::NothingShowsAnEarlierReadAsCurrent_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("connected");
    QTest::newRow("stopped") << Ending::Stopped << "Stopped" << QString() << QString() << true;
    QTest::newRow("another model")
        << Ending::WrongModel << "This phone is not identical with this module. Please select another module !"
        << "This phone is not identical with this module.\nPlease select another module !" << QString() << true;
    QTest::newRow("port held by another program") << Ending::PortHeld << "Cannot Open ComPort!"
                                                  << "Cannot Open ComPort!" << "Another program holds the port"
                                                  << true;
    QTest::newRow("unplugged") << Ending::Unplugged << "Response Received" << QString() << QString() << false;
}

// After a read the results show as current, with their time. Whatever ends
// the next read other than success, or takes the handset away, they stay
// but show as the earlier read's: greyed, "last read" in the phone line, and
// the status and port lines say what happened.
void PhoneInfoViewTest::NothingShowsAnEarlierReadAsCurrent()
{
    QFETCH(Ending, ending);
    QFETCH(QString, status);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(bool, connected);
    StartHandset();
    AnsweredPhoneInfo view;
    ReadOnce(view);
    if (QTest::currentTestFailed())
        return;
    CSpreadSheet& grid = view.Grid();
    const QString time = view.LastReadTime().toString(QStringLiteral("HH:mm:ss"));
    QVERIFY(!view.LastReadTime().isNull());
    QVERIFY(!view.ShowsEarlierRead());
    QCOMPARE(view.ReadTimeText(), QStringLiteral("Read at ") + time);
    QCOMPARE(HostLine(1), QStringLiteral("ESN : 1A2B3C4D"));
    const QColor current = ValueColor(grid, 1);

    double scale = Pacing::Instance().TimeScale();
    BaseComm holder;
    switch (ending) {
    case Ending::Stopped:
        Pacing::Instance().SetTimeScale(1.0);
        view.OnButtonClick();
        QTest::qWait(200);
        view.OnButtonClick();
        Pacing::Instance().SetTimeScale(scale);
        break;
    case Ending::WrongModel:
        m_handset.Stop();
        StartHandset({QStringLiteral("--model-code"), QStringLiteral("146")});
        QTRY_COMPARE(HostLine(2), ConnectedLine());
        view.OnButtonClick();
        break;
    case Ending::PortHeld:
        holder.CreateResponseEvent(3);
        holder.Configure(OperationContext::Instance().SelectedPort(), 115200, 8, 0, 0);
        holder.CreateIoEvents();
        QVERIFY(holder.Open());
        view.OnButtonClick();
        break;
    case Ending::Unplugged:
        m_handset.Stop();
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), message.isEmpty() ? 0 : 1, 20000);
    // A port that would not open is not shown as connected.
    const QString portLine = ending == Ending::PortHeld ? QStringLiteral("Com%1 Cannot Open").arg(OperationContext::Instance().SelectedPort())
                                                        : connected ? ConnectedLine() : QStringLiteral("Disconnected");
    QTRY_COMPARE_WITH_TIMEOUT(HostLine(2), portLine, 5000);
    if (!message.isEmpty()) {
        QCOMPARE(view.messages.first(), message);
        QVERIFY2(view.details.first().contains(detail), qPrintable(view.details.first()));
    }
    QCOMPARE(view.ButtonCaption(), QStringLiteral("&Read General Information"));
    QCOMPARE(HostLine(0), status);
    QVERIFY(view.ShowsEarlierRead());
    QCOMPARE(CellText(grid, 2, 1), QStringLiteral("AB12 ZF20"));
    QCOMPARE(CellText(grid, 2, 2), QStringLiteral("HW00.07"));
    QCOMPARE(ValueColor(grid, 1), ColorFromColorRef(0x808080));
    QCOMPARE(ValueColor(grid, 2), ColorFromColorRef(0x808080));
    QVERIFY(current != ColorFromColorRef(0x808080));
    QCOMPARE(view.ReadTimeText(), QStringLiteral("From the last read at ") + time);
    QCOMPARE(HostLine(1), QStringLiteral("ESN : 1A2B3C4D (last read %1)").arg(time));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(view.Searching(), !connected);
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
        return view.ButtonCaption() == QStringLiteral("&Read General Information") && !view.Busy() && !view.WorkerRunning()
            && OperationContext::Instance().OperationState() == OperationContext::kIdle && HostLine(0) == status
            && view.messages.isEmpty();
    }));
}

void PhoneInfoViewTest::ReadIsRecordedAndTheHistoryWindowListsAndExportsIt()
{
    StartHandset();
    AnsweredPhoneInfo view;
    ReadOnce(view);
    AnsweredHistory window;
    QCOMPARE(window.Records().size(), 1);
    const ServiceRecord& record = window.Records().front();
    QCOMPARE(record.operation, QStringLiteral("identify"));
    QCOMPARE(record.result, QStringLiteral("completed"));
    QCOMPARE(record.esn, QStringLiteral("1A2B3C4D"));
    QCOMPARE(record.frontEnd, QStringLiteral("host"));
    QVERIFY(record.devicePath.endsWith(kHandsetLink));

    // What a spreadsheet or a script reads back: the header, then the row.
    const QString path = m_folder.filePath(QStringLiteral("export.csv"));
    QVERIFY(window.ExportTo(path));
    QCOMPARE(window.told, QStringList{QStringLiteral("1 records written to ") + path});
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import csv, sys\n"
                                                       "rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
                                                       "print(len(rows), rows[0]['esn'], rows[0]['operation'], rows[0]['uuid'])"),
                  path});
    QVERIFY(python.waitForFinished(20000));
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
             QStringLiteral("1 1A2B3C4D identify ") + record.uuid);

    // Enter in a filter applies it and leaves the window open; a date it
    // cannot read takes nothing.
    window.show();
    const std::pair<const char*, const char*> typed[] = {{"esn", "0A0B0C0D"}, {"since", "2026-12-07' OR 1=1"}};
    for (const auto& [name, text] : typed) {
        auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(name));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, QString::fromLatin1(text));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(window.isVisible());
        QCOMPARE(window.Records().size(), 0);
        edit->clear();
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(window.Records().size(), 1);
    }
    // A record kept while the window is open joins the list.
    ReadOnce(view);
    QTRY_COMPARE_WITH_TIMEOUT(window.Records().size(), 2, 10000);
}

QTEST_MAIN(PhoneInfoViewTest)
#include "PhoneInfoViewTest.moc"
