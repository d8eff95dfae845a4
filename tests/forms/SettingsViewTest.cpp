#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QtTest>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "ViewRecords.h"
#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "forms/DialogSettings.h"
#include "nv/NvDoc.h"
#include "hostlink/HostNotifier.h"
#include "widgets/SpreadSheet.h"
#include "widgets/TextProgressCtrl.h"

using namespace corvanetov;

namespace {
// The view with its boxes and dialogs answered by the test.
class AnsweredSettings : public CDialogSettings {
public:
    QStringList messages;
    QList<QMessageBox::Icon> icons;
    QStringList details;
    QString openPath;
    QString savePath;
    QStringList folders;
    int printDialogs = 0;
    QStringList questions;
    QStringList questionDetails;
    bool answer = true;

protected:
    bool Ask(const QString& text, const QString& detail) override
    {
        questions << text;
        questionDetails << detail;
        return answer;
    }
    void ShowMessage(const QString& text, QMessageBox::Icon icon, const QString& detail) override
    {
        messages << text;
        icons << icon;
        details << detail;
    }
    QString AskOpenPath(const QString& folder) override
    {
        folders << folder;
        return openPath;
    }
    QString AskSavePath(const QString& folder) override
    {
        folders << folder;
        return savePath;
    }
    void RunPrintDialog() override { ++printDialogs; }
};

// The view with the real print dialog, answered by the test: the lock
// codes' box as asked, then Start Print, then the dialog closed.
class PrintingSettings : public AnsweredSettings {
public:
    bool showLockCodes = false;
    QString previewedModelLine; // as the preview shows it, before Start Print

protected:
    void RunPrintDialog() override
    {
        QTimer::singleShot(0, this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            previewedModelLine = Grid().GetPrintModelLine();
            if (auto* box = dialog->findChild<QCheckBox*>())
                box->setChecked(showLockCodes);
            dialog->findChild<QPushButton*>(QStringLiteral("buttonStartPrint"))->click();
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        });
        CDialogSettings::RunPrintDialog();
    }
};

bool Marked(CSpreadSheet& grid, int row)
{
    const QTableWidgetItem* item = grid.findChild<QTableWidget*>()->item(row - 1, 1);
    return item && item->background().color() == QColor(0xFF, 0xC0, 0xC0);
}

QString CellText(CSpreadSheet& grid, int column, int row)
{
    grid.SetActiveColumn(column);
    grid.SetActiveRow(row);
    return grid.GetCellText();
}

void SetValue(CSpreadSheet& grid, int row, const QString& text)
{
    grid.SetActiveColumn(2);
    grid.SetActiveRow(row);
    grid.SetCellText(text);
}

// A settings file as this tool saves it: lock code "1234", UIM lock code
// "56785678", SID 1 = 4139.
QByteArray SettingsImage(uint16_t modelCode = 147)
{
    QByteArray image(59994, '\0');
    image[0] = 1;
    image[35] = char(modelCode & 0xFF);
    image[36] = char(modelCode >> 8);
    image.replace(39, 5, QByteArray("\x04" "1234", 5));
    image.replace(59816, 8, "56785678");
    image[59825] = 0x2B;
    image[59826] = 0x10;
    return image;
}
} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void FirstShowLaysOutTheGroupAndItsGrid();
    void WriteAndSaveRefuseUntilValuesArePresent();
    void ReadReaching100FillsTheGridAndWritesBack();
    void WriteGoesOnlyToTheHandsetItsReadFound();
    void RefusedCellsStopTheWrite_data();
    void RefusedCellsStopTheWrite();
    void OpeningOverEditsAsksFirst();
    void SaveThenCancelStillStoresTheGrid();
    void SaveFailureAndUnreadableFilesAreReported();
    void OpenWithTheGroupClearKeepsTheFilesValuesOnSave();
    void LockCodeIsReadOnlyForANonzeroToolType();
    void ControlsFollowEveryOperation();
    void EditAndPrintCommandsReachTheGrid();
    void PrintoutNamesTheHandsetAndHidesTheLockCodes();

private:
    void StartHandset(const std::vector<std::string>& faults = {});
    QString WriteFile(const QString& name, const QByteArray& bytes);
    static void OnHostMessage(void* context, unsigned message, int line, const char* text);

    QTemporaryDir m_records; // the service records of this program's views
    QTemporaryDir m_folder;
    QString m_startFolder;
    ChildProcess m_handset;
    NvDoc* m_doc = nullptr;
    QMap<int, QString> m_lines;
    QStringList m_statusLines;
    CDialogSettings* m_watched = nullptr;
    QString m_progressAtReset;
};

void SettingsViewTest::OnHostMessage(void* context, unsigned, int line, const char* text)
{
    auto* test = static_cast<SettingsViewTest*>(context);
    test->m_lines[line] = QString::fromUtf8(text);
    if (line == 0)
        test->m_statusLines << QString::fromUtf8(text);
    // The reset follows the last progress report: the bar shows it still.
    if (test->m_watched && QString::fromUtf8(text) == QLatin1String("Resetting the phone"))
        test->m_progressAtReset = test->m_watched->ProgressBar().GetWindowText();
}

// The records are this program's own, not the build's shared test folder,
// which a run under another user may not write.
void SettingsViewTest::initTestCase()
{
    QVERIFY(m_records.isValid());
    qputenv("XDG_DATA_HOME", m_records.path().toLocal8Bit());
}

void SettingsViewTest::init()
{
    QVERIFY(m_folder.isValid());
    QDir folder(m_folder.path());
    folder.removeRecursively();
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    m_startFolder = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    m_doc = new NvDoc;
    auto& context = OperationContext::Instance();
    context.SetNvDocument(m_doc);
    context.SetSelectedPort(7);
    context.SetToolType(0);
    context.SetOperationState(OperationContext::kIdle);
    HostNotifier::Instance().SetCallback(&SettingsViewTest::OnHostMessage, this);
    m_lines.clear();
    m_statusLines.clear();
    m_watched = nullptr;
    m_progressAtReset.clear();
}

void SettingsViewTest::cleanup()
{
    m_handset.Stop();
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    PortResolver::Instance().Set(nullptr);
    auto& context = OperationContext::Instance();
    context.CloseChannel();
    context.SetNvDocument(nullptr);
    context.SetToolType(0);
    delete m_doc;
    m_doc = nullptr;
    QDir::setCurrent(m_startFolder);
}

void SettingsViewTest::StartHandset(const std::vector<std::string>& faults)
{
    std::vector<std::string> argv = {VQXB410_SIM_PATH, "--state", m_folder.filePath(QStringLiteral("handset.json")).toStdString(),
                                     "--lock-code", "1357", "--uim-lock-code", "24682468", "--sids", "4101,22"};
    argv.insert(argv.end(), faults.begin(), faults.end());
    std::string path = m_handset.Start(argv);
    QVERIFY(!path.empty());
    PortResolver::Instance().Set([path](uint8_t) { return path; });
}

QString SettingsViewTest::WriteFile(const QString& name, const QByteArray& bytes)
{
    QString path = m_folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void SettingsViewTest::FirstShowLaysOutTheGroupAndItsGrid()
{
    AnsweredSettings view;
    view.show();
    QVERIFY(view.NamEntry());
    QCOMPARE(view.NamEntry()->text(0), QStringLiteral("Nam"));
    QCOMPARE(view.NamEntry()->checkState(0), Qt::Checked);
    QCOMPARE(view.GroupLabel(), QStringLiteral("&Nam1"));
    QCOMPARE(view.ProgressBar().GetWindowText(), QStringLiteral("Ready..."));
    CSpreadSheet& grid = view.Grid();
    QCOMPARE(grid.GetNumberOfColumns(), 2); // no empty column beside the values
    QCOMPARE(grid.GetNumberOfRows(), 50);
    QCOMPARE(CellText(grid, 1, 0), QStringLiteral("NAM1"));
    QCOMPARE(CellText(grid, 2, 0), QStringLiteral("Settings"));
    // A new view shows nothing until values come.
    QCOMPARE(CellText(grid, 1, 1), QString());
    QVERIFY(view.ControlsEnabled());
}

void SettingsViewTest::WriteAndSaveRefuseUntilValuesArePresent()
{
    AnsweredSettings view;
    view.show();
    view.OnWriteToPhone();
    view.OnSaveMmcFile();
    QCOMPARE(view.messages, QStringList({"First read from phone or file !", "First read from phone or file!"}));
    QCOMPARE(view.icons.at(1), QMessageBox::Critical);
    // No file dialog.
    QVERIFY(view.folders.isEmpty());
    QVERIFY(!view.WorkerRunning());
    // Nothing stored.
    QCOMPARE(m_doc->ModelCode(), uint16_t(0));
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
}

void SettingsViewTest::ReadReaching100FillsTheGridAndWritesBack()
{
    StartHandset();
    AnsweredSettings view;
    m_watched = &view;
    view.show();
    view.OnReadFromPhone();
    QVERIFY(view.WorkerRunning());
    QVERIFY(!view.ControlsEnabled());
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kSettings));

    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 1, 20000);
    QCOMPARE(view.messages.first(), QStringLiteral("Completed Reading from Phone"));
    QCOMPARE(m_progressAtReset, QStringLiteral("Elapsed time : 0sec....100%"));
    QVERIFY(view.DataPresent());
    CSpreadSheet& grid = view.Grid();
    QCOMPARE(CellText(grid, 1, 1), QStringLiteral("Lock Code"));
    QCOMPARE(CellText(grid, 2, 1), QStringLiteral("1357"));
    QCOMPARE(CellText(grid, 1, 2), QStringLiteral("UIM Lock Code"));
    QCOMPARE(CellText(grid, 2, 2), QStringLiteral("24682468"));
    QCOMPARE(CellText(grid, 1, 3), QStringLiteral("HOME SID for Network Lock 1"));
    QCOMPARE(CellText(grid, 2, 3), QStringLiteral("4101"));
    QCOMPARE(CellText(grid, 2, 22), QStringLiteral("0"));
    QCOMPARE(CellText(grid, 1, 23), QString());
    QCOMPARE(view.LoadedGroup(0), 1u);
    QVERIFY(m_statusLines.contains(QStringLiteral("Reading Nam...")));
    QVERIFY(m_lines.value(1).startsWith(QStringLiteral("ESN : ")));
    QCOMPARE(view.ProgressBar().GetWindowText(), QStringLiteral("Ready..."));
    QCOMPARE(view.ProgressBar().GetPos(), 0);
    QVERIFY(view.ControlsEnabled());
    QVERIFY(!view.WorkerRunning());
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));

    SetValue(grid, 1, QStringLiteral("2468"));
    SetValue(grid, 4, QStringLiteral("31000"));
    // Asked first, with what changes on the handset; No writes nothing.
    view.answer = false;
    view.OnWriteToPhone();
    QCOMPARE(view.questions, QStringList{"Write these settings to the phone?"});
    QCOMPARE(view.questionDetails.last(), QString::fromUtf8("Lock Code: 1357 \u2192 2468\nHOME SID for Network Lock 2: 22 \u2192 31000"));
    QVERIFY(!view.WorkerRunning());
    view.answer = true;
    const QDateTime writing = QDateTime::currentDateTimeUtc();
    view.OnWriteToPhone();
    QCOMPARE(m_lines.value(0), QStringLiteral("Writing Phone..."));
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 2, 20000);
    QCOMPARE(view.messages.last(), QStringLiteral("Completed Writing To Phone"));
    // The write read what it replaced first: its record can be undone.
    const std::vector<ServiceRecord> writes = KeptViewRecords(QStringLiteral("settings write"));
    QVERIFY(!writes.empty() && writes.front().started >= writing);
    QCOMPARE(writes.front().SnapshotText(true).left(41), QStringLiteral("lock code 1357, UIM lock code 24682468, S"));
    QCOMPARE(CellText(grid, 2, 1), QStringLiteral("2468"));
    m_handset.Stop(); // the state file is complete once the handset has ended
    QFile state(m_folder.filePath(QStringLiteral("handset.json")));
    QVERIFY(state.open(QIODevice::ReadOnly));
    const QByteArray saved = state.readAll();
    QVERIFY2(saved.contains("\"82\": \"0432343638\""), saved.constData());
    QVERIFY2(saved.contains("\"lock_code\": \"2468\""), saved.constData());
    QVERIFY(saved.contains("31000"));
}

// Another handset in the port after the write has read what it replaces
// (the third identification, after the view's read): it is not written,
// and the record keeps the snapshot under the handset it was read from.
void SettingsViewTest::WriteGoesOnlyToTheHandsetItsReadFound()
{
    StartHandset({"--esn", "8D2A41F3", "--swap-from", "status:3"});
    AnsweredSettings view;
    view.show();
    view.OnReadFromPhone();
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 1, 20000);
    SetValue(view.Grid(), 1, QStringLiteral("2468"));
    view.answer = true;
    view.OnWriteToPhone();
    QTRY_COMPARE_WITH_TIMEOUT(view.messages.size(), 2, 20000);
    QCOMPARE(view.messages.last(), QStringLiteral("Another handset answers here (ESN 8D2A41F4); the job's handset has ESN 8D2A41F3"));
    const std::vector<ServiceRecord> writes = KeptViewRecords(QStringLiteral("settings write"));
    QVERIFY(!writes.empty());
    QCOMPARE(writes.front().esn, QStringLiteral("8D2A41F3"));
    QVERIFY(!writes.front().snapshot.isEmpty());
    m_handset.Stop();
    QFile state(m_folder.filePath(QStringLiteral("handset.json")));
    QVERIFY(state.open(QIODevice::ReadOnly));
    const QByteArray saved = state.readAll();
    QVERIFY2(saved.contains("\"lock_code\": \"1357\""), saved.constData());
}

void SettingsViewTest::RefusedCellsStopTheWrite_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("refusal");
    const QString lock = QStringLiteral("Lock Code takes 4 to 8 digits; ");
    const QString sid = QStringLiteral("HOME SID for Network Lock 1 takes a whole number from 0 to 32767; ");
    QTest::newRow("three digits") << 1 << QStringLiteral("123") << lock + "\"123\": Enter Lock Code(more than 4 digits)";
    QTest::newRow("nine digits") << 1 << QStringLiteral("123456789") << lock + "\"123456789\": 9 characters are more than the handset keeps";
    QTest::newRow("UIM three digits") << 2 << QStringLiteral("123")
                                      << QStringLiteral("UIM Lock Code takes 4 to 8 digits; \"123\": Enter UIM Lock Code(more than 4 digits)");
    QTest::newRow("SID with letters") << 3 << QStringLiteral("12ab") << sid + "\"12ab\": not a whole number";
    QTest::newRow("SID out of range") << 3 << QStringLiteral("40000") << sid + "\"40000\": out of range";
}

// A refused cell is named, marked and keeps everything from the handset: no
// question, no worker, nothing stored. Typing a good value clears the mark.
void SettingsViewTest::RefusedCellsStopTheWrite()
{
    QFETCH(int, row);
    QFETCH(QString, cell);
    QFETCH(QString, refusal);
    AnsweredSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    QVERIFY(view.DataPresent());
    const NvDoc::Image before = m_doc->Snapshot();
    SetValue(view.Grid(), row, cell);
    view.OnWriteToPhone();
    QCOMPARE(view.messages, QStringList{"Nothing was written to the phone: these values are not what it takes."});
    QCOMPARE(view.details, QStringList{refusal});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QVERIFY(view.questions.isEmpty());
    QVERIFY(Marked(view.Grid(), row));
    QVERIFY(!Marked(view.Grid(), row == 3 ? 4 : 3));
    QVERIFY(m_doc->Snapshot() == before);
    QVERIFY(!view.WorkerRunning());
    QVERIFY(view.ControlsEnabled());
    QCOMPARE(OperationContext::Instance().OperationState(), int(OperationContext::kIdle));
    // What the grid shows is what it holds: nothing cut while typing.
    QCOMPARE(CellText(view.Grid(), 2, row), cell);

    view.Grid().findChild<QTableWidget*>()->item(row - 1, 1)->setText(QStringLiteral("4321"));
    QVERIFY(!Marked(view.Grid(), row));
}

void SettingsViewTest::SaveThenCancelStillStoresTheGrid()
{
    AnsweredSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage(100));
    view.OnOpenMmcFile();
    SetValue(view.Grid(), 1, QStringLiteral("987"));
    SetValue(view.Grid(), 3, QStringLiteral("777"));
    view.savePath.clear(); // Cancel
    view.OnSaveMmcFile();
    QVERIFY(view.messages.isEmpty());
    QCOMPARE(m_doc->ModelCode(), uint16_t(147));
    QCOMPARE(m_doc->ReadU16(59825), uint16_t(777));
    uint8_t lock[9];
    m_doc->Read(39, lock, sizeof lock);
    // No rules before a save.
    QCOMPARE(QByteArray(reinterpret_cast<char*>(lock), 9), QByteArray("\x03" "987\0\0\0\0\0", 9));
    QCOMPARE(m_doc->ReadU32(0), 1u);
    const QString settings = QDir::current().filePath(QStringLiteral("Models/VQX-B410/Settings"));
    QCOMPARE(view.folders.last(), settings);
    // Made for the save dialog to start in.
    QVERIFY(QDir(settings).exists());

    view.savePath = m_folder.filePath(QStringLiteral("saved.mmc"));
    view.OnSaveMmcFile();
    QCOMPARE(m_lines.value(0), "Settings saved to " + view.savePath);
    QFile saved(view.savePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), 59994);
    QCOMPARE(bytes.mid(59825, 2), QByteArray("\x09\x03", 2));
}

void SettingsViewTest::SaveFailureAndUnreadableFilesAreReported()
{
    AnsweredSettings view;
    view.show();
    view.openPath = m_folder.filePath(QStringLiteral("none.mmc"));
    view.OnOpenMmcFile();
    QCOMPARE(view.messages, QStringList{"Cannot read mmc file!"});
    QVERIFY(!view.DataPresent());

    view.messages.clear();
    QByteArray foreign = SettingsImage();
    foreign[35] = 0x00;
    foreign[36] = char(0x93);
    m_doc->WriteU32(100, 0xDEADBEEF);
    view.openPath = WriteFile(QStringLiteral("foreign.mmc"), foreign);
    view.OnOpenMmcFile();
    QCOMPARE(view.messages, QStringList({"Invalid MMC File !", "Cannot read mmc file!"}));
    QCOMPARE(view.icons.last(), QMessageBox::Critical);
    QVERIFY(!view.DataPresent());
    // The image is zeroed.
    QCOMPARE(m_doc->ReadU32(100), 0u);

    view.messages.clear();
    view.openPath = WriteFile(QStringLiteral("good.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    QVERIFY(view.messages.isEmpty());
    view.savePath = m_folder.filePath(QStringLiteral("no-such-folder/x.mmc"));
    view.OnSaveMmcFile();
    QCOMPARE(view.messages, QStringList{"Fail to Write !"});
    QCOMPARE(view.icons.last(), QMessageBox::Critical);
    // The reason comes with it.
    QVERIFY(!view.details.last().isEmpty());

    // A named pipe is neither waited on nor replaced.
    const QString pipe = m_folder.filePath(QStringLiteral("pipe.mmc"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    view.messages.clear();
    view.openPath = pipe;
    view.OnOpenMmcFile();
    QCOMPARE(view.messages, QStringList{"Cannot read mmc file!"});
    QCOMPARE(view.details.last(), pipe + QStringLiteral(" is not a regular file"));
    view.messages.clear();
    view.savePath = pipe;
    view.OnSaveMmcFile();
    QCOMPARE(view.messages, QStringList{"Fail to Write !"});
    QCOMPARE(view.details.last(), pipe + QStringLiteral(" is not a regular file"));
    QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());

    // A short file is read as far as it goes, and said to be short at once.
    view.messages.clear();
    view.openPath = WriteFile(QStringLiteral("short.mmc"), SettingsImage().left(100));
    view.OnOpenMmcFile();
    QCOMPARE(view.messages, QStringList{view.openPath + QStringLiteral(" holds 100 of 59994 bytes: the rest is kept from before")});
    QVERIFY(view.DataPresent());
}

// Edits neither saved nor written are not lost to an open without a Yes.
void SettingsViewTest::OpeningOverEditsAsksFirst()
{
    AnsweredSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    QVERIFY(view.questions.isEmpty());
    SetValue(view.Grid(), 3, QStringLiteral("77"));
    view.answer = false;
    view.OnOpenMmcFile();
    QCOMPARE(view.questions, QStringList{"The grid holds edits that are neither saved nor written. Open a file over them?"});
    QCOMPARE(view.folders.size(), 1); // no file dialog
    QCOMPARE(CellText(view.Grid(), 2, 3), QStringLiteral("77"));

    view.savePath = m_folder.filePath(QStringLiteral("b.mmc"));
    view.OnSaveMmcFile();
    view.OnOpenMmcFile();
    QCOMPARE(view.questions.size(), 1); // saved: nothing to lose
    QCOMPARE(CellText(view.Grid(), 2, 3), QStringLiteral("4139"));
}

// The group's check box decides whether a save takes the grid's values.
void SettingsViewTest::OpenWithTheGroupClearKeepsTheFilesValuesOnSave()
{
    AnsweredSettings view;
    view.show();
    view.NamEntry()->setCheckState(0, Qt::Unchecked);
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    QCOMPARE(view.RequestedGroup(0), 0u);
    QCOMPARE(view.LoadedGroup(0), 1u);
    SetValue(view.Grid(), 3, QStringLiteral("5"));
    view.savePath = m_folder.filePath(QStringLiteral("b.mmc"));
    view.OnSaveMmcFile();
    QFile saved(view.savePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    // The file's SID, not the grid's.
    QCOMPARE(saved.readAll().mid(59825, 2), QByteArray("\x2B\x10", 2));
}

void SettingsViewTest::LockCodeIsReadOnlyForANonzeroToolType()
{
    OperationContext::Instance().SetToolType(1);
    AnsweredSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    CSpreadSheet& grid = view.Grid();
    grid.SetActiveColumn(2);
    grid.SetActiveRow(1);
    QCOMPARE(grid.GetCellType(), 5);
    QTableWidgetItem* lock = grid.findChild<QTableWidget*>()->item(0, 1);
    QVERIFY(!(lock->flags() & Qt::ItemIsEditable));
    QCOMPARE(lock->background().color(), QColor(0xDF, 0xDF, 0xDF));
    QCOMPARE(lock->foreground().color(), QColor(0x00, 0x00, 0xFF));
    grid.SetActiveRow(2);
    // Only the lock code.
    QVERIFY(grid.GetCellType() != 5);

    // Still stored for the write.
    m_doc->Write(40, reinterpret_cast<const uint8_t*>("0000"), 4);
    view.savePath.clear();
    view.OnSaveMmcFile();
    QCOMPARE(CellText(grid, 2, 1), QStringLiteral("1234"));
    uint8_t code[4];
    m_doc->Read(40, code, 4);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(code), 4), QByteArray("1234"));
}

void SettingsViewTest::ControlsFollowEveryOperation()
{
    AnsweredSettings view;
    view.show();
    auto& context = OperationContext::Instance();
    context.SetOperationState(OperationContext::kPhoneInfo);
    QTRY_VERIFY(!view.ControlsEnabled());
    context.SetOperationState(OperationContext::kIdle);
    QTRY_VERIFY(view.ControlsEnabled());
    view.hide();
    context.SetOperationState(OperationContext::kSwDownload);
    view.show();
    QVERIFY(!view.ControlsEnabled());
    context.SetOperationState(OperationContext::kIdle);
}

void SettingsViewTest::EditAndPrintCommandsReachTheGrid()
{
    AnsweredSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    QTableWidget* table = view.Grid().findChild<QTableWidget*>();
    table->setCurrentCell(2, 1); // SID 1
    QVERIFY(view.OnCommand(57634));
    table->setCurrentCell(3, 1); // SID 2
    QVERIFY(view.OnCommand(57637));
    QCOMPARE(CellText(view.Grid(), 2, 4), QStringLiteral("4139"));
    QVERIFY(view.OnCommand(57635));
    QCOMPARE(CellText(view.Grid(), 2, 4), QString());

    QVERIFY(view.OnCommand(57607));
    QCOMPARE(view.printDialogs, 1);
    QCOMPARE(view.Grid().GetPrintLayout(), 1);
    QVERIFY(!view.OnCommand(2011));
}

// Print > Start Print to a PDF file, read back with pdftotext: every page
// names the handset, the time, the tool's version and "page N of M"; the
// lock codes print as **** unless the box that shows them is ticked.
void SettingsViewTest::PrintoutNamesTheHandsetAndHidesTheLockCodes()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    m_doc->SetText(NvDoc::kEsn, "8D2A41F3");
    PrintingSettings view;
    view.show();
    view.openPath = WriteFile(QStringLiteral("a.mmc"), SettingsImage());
    view.OnOpenMmcFile();
    for (const bool showLockCodes : {false, true}) {
        const QString pdf = m_folder.filePath(QStringLiteral("print%1.pdf").arg(showLockCodes));
        view.Grid().SetPrintOutputFile(pdf);
        view.showLockCodes = showLockCodes;
        QVERIFY(view.OnCommand(57607));
        QVERIFY2(view.previewedModelLine.contains(QStringLiteral("ESN : 8D2A41F3")), qPrintable(view.previewedModelLine));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(20000));
        const QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QVERIFY(!pages.isEmpty());
        const QString year = QString::number(QDate::currentDate().year());
        for (int page = 1; page <= pages.size(); ++page) {
            const QString& printed = pages[page - 1];
            QVERIFY2(printed.contains(QStringLiteral("ESN : 8D2A41F3")), qPrintable(printed));
            QVERIFY2(printed.contains(QStringLiteral("Printed by CorvaneTOV")) && printed.contains(year), qPrintable(printed));
            QVERIFY2(printed.contains(QStringLiteral("version ")), qPrintable(printed));
            QVERIFY2(printed.contains(QStringLiteral("page %1 of %2").arg(page).arg(pages.size())), qPrintable(printed));
        }
        const QString all = pages.join(QString());
        QCOMPARE(all.contains(QStringLiteral("1234")), showLockCodes);
        QCOMPARE(all.contains(QStringLiteral("56785678")), showLockCodes);
        QCOMPARE(all.contains(QStringLiteral("****")), !showLockCodes);
        QVERIFY(all.contains(QStringLiteral("4139"))); // what is no secret prints as it is
    }
}

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
