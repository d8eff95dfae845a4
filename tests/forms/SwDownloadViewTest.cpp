#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "samples/ImageMaker.h"
#include "ScriptedHandset.h"
#include "ViewRecords.h"
#include "comm/DownloadModeNotes.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "diag/DiagConstants.h"
#include "forms/DialogSwDownload.h"
#include "hostlink/HostNotifier.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "ports/UserSettings.h"
#include "widgets/CommandButton.h"
#include "widgets/Label.h"
#include "widgets/TextProgressCtrl.h"

using namespace corvanetov;

namespace {
// Every pause lasts hours from here on: a job stays in its first pause until
// it is stopped.
constexpr double kEndlessPauses = 1000.0;
const QString kReadKey = QStringLiteral("Software\\CorvaneTOV\\Corvane_VQX B290");
const QString kWriteKey = QStringLiteral("Software\\CorvaneTOV\\Corvane_VQX B290 Verizon");
const QString kSoftwareValue = QStringLiteral("Software Download File");
const QString kFontValue = QStringLiteral("Font Download File");

// The view with its dialogs answered by the test.
class AnsweredSwDownload : public CDialogSwDownload {
public:
    bool stopAnswer = true;
    int stopQuestions = 0;
    bool portDialogAnswer = true;
    QString chosenFile;
    QStringList messages;
    QList<QMessageBox::Icon> icons;

    bool AskStop() override
    {
        ++stopQuestions;
        return stopAnswer;
    }
    QString Text(const char* control) const { return findChild<QWidget*>(QLatin1String(control))->property("text").toString(); }
    bool Enabled(const char* control) const { return findChild<QWidget*>(QLatin1String(control))->isEnabled(); }
    QString Progress() const { return findChild<CTextProgressCtrl*>()->GetWindowText(); }
    int ProgressPos() const { return findChild<CTextProgressCtrl*>()->GetPos(); }
    void Choose(int option) { findChild<QComboBox*>()->setCurrentIndex(option); }
    QCheckBox& KeepBox() const { return *findChild<QCheckBox*>(QStringLiteral("checkKeepSettings")); }

protected:
    QString ChooseImageFile() override { return chosenFile; }
    bool RunRebuildPortDialog() override { return portDialogAnswer; }
    void ShowMessage(const QString& text, QMessageBox::Icon icon) override
    {
        messages << text;
        icons << icon;
    }
};

// A code image in the working folder, chosen in the view.
bool ChooseNewCodeImage(AnsweredSwDownload& view)
{
    const QString image = QDir::current().filePath(QStringLiteral("code.bin"));
    if (!ImageMaker::WriteCode(image.toStdString(), 0x4000, 0x10000, ImageMaker::kVersion))
        return false;
    view.chosenFile = image;
    view.OnOpenFile();
    return true;
}

// Which controls are enabled: option list, Open File, Open Font File, start
// button, Rebuild button.
QString Enabled(const AnsweredSwDownload& view)
{
    QString flags;
    for (const char* control : {"comboOption", "buttonOpenFile", "buttonOpenFontFile", "buttonStart", "buttonRebuild"})
        flags += view.Enabled(control) ? QLatin1Char('1') : QLatin1Char('0');
    return flags;
}
} // namespace

class SwDownloadViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void SoftwareFolderFirstThenTheReadKeyAndTheWriteKeyAtTheEnd();
    void ControlsFollowTheJobAndOtherViews();
    void StopAnsweredNoKeepsTheJobYesReturnsToIdle();
    void CancelledPortDialogReturnsToIdle();
    void DownloadShowsElapsedTimeAndEndsWithItsText();
    void ChosenFileThatCannotBeReadIsTakenButNotShown();
    void ALongPathNeitherWidensTheViewNorIsCut();
    void HandsetGoneMidFlashLeavesTheViewIdleWithTheReason();
    void KeptSettingsAreWrittenBackAfterTheRestartInOneRecord();
    void KeptSettingsThatCannotBeReadFlashNothing();
    void AHandsetSwappedBetweenTheStepsIsNotServed_data();
    void AHandsetSwappedBetweenTheStepsIsNotServed();
    void AFlashedHandsetThatDoesNotComeBackIsNamedInTheRecord();
    void TheOptionReturnsToNormalAfterAnEmergencyDownload();
    void APortLeftInDownloadModeIsNamedAtOnce();

private:
    // Starts the chosen job with endless pauses, so that it stays running.
    void StartHeldJob(AnsweredSwDownload& view, bool rebuild);
    void StopWithYes(AnsweredSwDownload& view, bool rebuild);
    static void OnHostMessage(void* context, unsigned message, int line, const char* text);

    QTemporaryDir m_folder;
    QTemporaryDir m_records; // the service records of this program's views
    QString m_oldCurrent;
    NvDoc m_doc;
    std::unique_ptr<ScriptedHandset> m_handset; // a fresh one for each case
    double m_scale = 1;
    QMap<int, QString> m_lines;
};

void SwDownloadViewTest::OnHostMessage(void* context, unsigned, int line, const char* text)
{
    static_cast<SwDownloadViewTest*>(context)->m_lines[line] = QString::fromUtf8(text);
}

void SwDownloadViewTest::initTestCase()
{
    QVERIFY(m_records.isValid());
    qputenv("XDG_DATA_HOME", m_records.path().toLocal8Bit());
}

void SwDownloadViewTest::init()
{
    QVERIFY(m_folder.isValid());
    QDir folder(m_folder.path());
    folder.removeRecursively();
    QVERIFY(folder.mkpath(QStringLiteral("work")));
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.filePath(QStringLiteral("work"))));
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    m_scale = Pacing::Instance().TimeScale();
    m_doc.SetText(NvDoc::kEsn, "8D2A41F3");
    Context().SetNvDocument(&m_doc);
    m_handset = std::make_unique<ScriptedHandset>();
    Context().SetChannelFactory(m_handset->Factory());
    Context().SetOperationState(OperationContext::kIdle);
    Context().SetSelectedPort(7);
    HostNotifier::Instance().SetCallback(&SwDownloadViewTest::OnHostMessage, this);
    m_lines.clear();
}

void SwDownloadViewTest::cleanup()
{
    Pacing::Instance().SetTimeScale(m_scale);
    Pacing::Instance().SetObserver(nullptr);
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    Context().SetChannelFactory(nullptr);
    Context().SetNvDocument(nullptr);
    Context().SetOperationState(OperationContext::kIdle);
    QDir::setCurrent(m_oldCurrent);
}

void SwDownloadViewTest::StartHeldJob(AnsweredSwDownload& view, bool rebuild)
{
    Pacing::Instance().SetTimeScale(kEndlessPauses);
    if (rebuild)
        view.OnRebuild();
    else
        view.OnStart();
    QVERIFY(view.WorkerRunning());
    QCOMPARE(Context().OperationState(), int(OperationContext::kSwDownload));
}

void SwDownloadViewTest::StopWithYes(AnsweredSwDownload& view, bool rebuild)
{
    view.stopAnswer = true;
    if (rebuild)
        view.OnRebuild();
    else
        view.OnStart();
    QVERIFY(!view.WorkerRunning());
    Pacing::Instance().SetTimeScale(m_scale);
}

void SwDownloadViewTest::SoftwareFolderFirstThenTheReadKeyAndTheWriteKeyAtTheEnd()
{
    {
        AnsweredSwDownload view;
        view.show();
        QCOMPARE(view.Text("labelSoftwarePath"), QStringLiteral("No File - Select Software"));
        QCOMPARE(view.Text("labelFontPath"), QStringLiteral("No File - Select Font file"));
    }
    QCOMPARE(UserSettings::ReadString(kWriteKey, kSoftwareValue), QStringLiteral("No File - Select Software"));
    QCOMPARE(UserSettings::ReadString(kReadKey, kSoftwareValue), QString());

    QVERIFY(UserSettings::WriteString(kReadKey, kSoftwareValue, QStringLiteral("/images/code.bin")));
    QVERIFY(UserSettings::WriteString(kReadKey, kFontValue, QStringLiteral("/images/font.bin")));
    {
        AnsweredSwDownload view;
        QCOMPARE(view.SoftwarePathText(), QStringLiteral("/images/code.bin"));
        QCOMPARE(view.FontPathText(), QStringLiteral("/images/font.bin"));
        view.chosenFile = QDir::current().filePath(QStringLiteral("chosen.bin"));
        view.OnOpenFile();
    }
    QCOMPARE(UserSettings::ReadString(kWriteKey, kSoftwareValue), QDir::current().filePath(QStringLiteral("chosen.bin")));
    {
        AnsweredSwDownload view;
        // The written path is not read back.
        QCOMPARE(view.SoftwarePathText(), QStringLiteral("/images/code.bin"));
    }

    QDir software(QDir::current().filePath(QStringLiteral("Models/VQX-B290/Software")));
    QVERIFY(software.mkpath(QStringLiteral(".")));
    for (const char* name : {"b-second.bin", "A-First.BIN", "notes.txt"})
        QVERIFY(ImageMaker::WriteFont(software.filePath(QLatin1String(name)).toStdString(), 16));
    AnsweredSwDownload view;
    view.show();
    QCOMPARE(view.SoftwarePathText(), software.absoluteFilePath(QStringLiteral("A-First.BIN")));
    QCOMPARE(view.Text("labelSoftwarePath"), view.SoftwarePathText());
    QCOMPARE(view.FontPathText(), QString());
    QCOMPARE(view.Text("labelFontPath"), QStringLiteral("No File - Select Font file")); // not an empty label
}

// Idle: everything enabled. Own download: only its "Stop". Own rebuild: only
// its "Stop", also after the view was hidden and shown again. Another view's
// job: nothing.
void SwDownloadViewTest::ControlsFollowTheJobAndOtherViews()
{
    AnsweredSwDownload view;
    view.show();
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("St&art Software Download"));
    QCOMPARE(view.Text("buttonRebuild"), QStringLiteral("Re&build"));

    StartHeldJob(view, false);
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("S&top"));
    QCOMPARE(Enabled(view), QStringLiteral("00010"));
    QVERIFY(view.findChild<QWidget*>(QStringLiteral("animationBusy"))->isVisible());
    StopWithYes(view, false);
    QCOMPARE(Enabled(view), QStringLiteral("11111"));

    StartHeldJob(view, true);
    QCOMPARE(view.Text("buttonRebuild"), QStringLiteral("S&top"));
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("St&art Software Download"));
    QCOMPARE(Enabled(view), QStringLiteral("00001"));
    view.hide();
    view.show();
    QCoreApplication::processEvents();
    QCOMPARE(Enabled(view), QStringLiteral("00001"));
    StopWithYes(view, true);
    QCOMPARE(Enabled(view), QStringLiteral("11111"));

    Context().SetOperationState(OperationContext::kSettings);
    QTRY_COMPARE(Enabled(view), QStringLiteral("00000"));
    view.hide();
    view.show();
    QCOMPARE(Enabled(view), QStringLiteral("00000"));
    Context().SetOperationState(OperationContext::kIdle);
    QTRY_COMPARE(Enabled(view), QStringLiteral("11111"));
}

void SwDownloadViewTest::StopAnsweredNoKeepsTheJobYesReturnsToIdle()
{
    AnsweredSwDownload view;
    view.show();
    StartHeldJob(view, false);
    view.stopAnswer = false;
    view.OnStart();
    QCOMPARE(view.stopQuestions, 1);
    QVERIFY(view.WorkerRunning());
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("S&top"));
    QCOMPARE(Context().OperationState(), int(OperationContext::kSwDownload));

    StopWithYes(view, false);
    QCOMPARE(view.stopQuestions, 2);
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("St&art Software Download"));
    QCOMPARE(view.Progress(), QStringLiteral("Ready..."));
    QCOMPARE(m_lines.value(1), QStringLiteral("ESN : 8D2A41F3"));
    QVERIFY(!view.findChild<QWidget*>(QStringLiteral("animationBusy"))->isVisible());
    QVERIFY2(view.messages.isEmpty(), "a stop shows no end message");
}

void SwDownloadViewTest::CancelledPortDialogReturnsToIdle()
{
    AnsweredSwDownload view;
    view.show();
    view.portDialogAnswer = false;
    const size_t lineBefore = m_handset->Line().size();
    view.OnRebuild();
    QVERIFY(!view.WorkerRunning());
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
    QCOMPARE(view.Text("buttonRebuild"), QStringLiteral("Re&build"));
    QCOMPARE(view.Progress(), QStringLiteral("Ready..."));
    QVERIFY2(m_handset->Line().size() == lineBefore, "no port was opened");
}

void SwDownloadViewTest::DownloadShowsElapsedTimeAndEndsWithItsText()
{
    QString image = QDir::current().filePath(QStringLiteral("code.bin"));
    QVERIFY(ImageMaker::WriteCode(image.toStdString(), 0x4000, 0x10000, ImageMaker::kVersion));
    AnsweredSwDownload view;
    view.show();
    view.chosenFile = image;
    view.OnOpenFile();
    view.Choose(3);

    // Held once the blocks are done: the bar shows the time and the 100 %.
    Pacing::Instance().SetObserver([](Pacing::Pause, uint32_t ms) {
        if (ms == 15000)
            Pacing::Instance().SetTimeScale(kEndlessPauses);
    });
    view.OnStart();
    QTRY_COMPARE(m_lines.value(0), QStringLiteral("Rebooting phone"));
    QCOMPARE(view.ProgressPos(), 100);
    QVERIFY2(QRegularExpression(QStringLiteral("^Elapsed time : \\d+sec\\.\\.\\.\\.100%$")).match(view.Progress()).hasMatch(),
             qPrintable(view.Progress()));
    StopWithYes(view, false);
    Pacing::Instance().SetObserver(nullptr);

    view.OnStart();
    // The scripted handset, identified again after the flash.
    QTRY_COMPARE(view.messages, QStringList{QStringLiteral("Completed Flash Programming\nNow running AB12.5")});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
    QCOMPARE(view.Progress(), QStringLiteral("Ready..."));
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));

    view.Choose(1); // code and font: no font file chosen
    view.OnStart();
    QTRY_COMPARE(view.messages.size(), 2);
    // Nobody answered the font question.
    QCOMPARE(view.messages.last(), QStringLiteral("Download Cancelled.."));
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
}

void SwDownloadViewTest::ChosenFileThatCannotBeReadIsTakenButNotShown()
{
    AnsweredSwDownload view;
    view.show();
    QString readable = QDir::current().filePath(QStringLiteral("font.bin"));
    QVERIFY(ImageMaker::WriteFont(readable.toStdString(), 100));
    view.chosenFile = readable;
    view.OnOpenFontFile();
    QCOMPARE(view.Text("labelFontPath"), readable);
    QVERIFY(view.messages.isEmpty());

    QString missing = QDir::current().filePath(QStringLiteral("gone.bin"));
    view.chosenFile = missing;
    view.OnOpenFontFile();
    QCOMPARE(view.FontPathText(), missing);
    QCOMPARE(view.Text("labelFontPath"), readable);
    QCOMPARE(view.messages, QStringList{QStringLiteral(" Fail to read from %1\n Please Check Software !").arg(missing)});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});

    view.chosenFile.clear(); // cancelled
    view.OnOpenFile();
    QCOMPARE(view.SoftwarePathText(), QStringLiteral("No File - Select Software"));
}

void SwDownloadViewTest::ALongPathNeitherWidensTheViewNorIsCut()
{
    AnsweredSwDownload view;
    view.show();
    QDir deep(QDir::current().filePath(QStringLiteral("a-folder-with-a-rather-long-name/").repeated(12)));
    QVERIFY(deep.mkpath(QStringLiteral(".")));
    const QString image = deep.filePath(QStringLiteral("code.bin"));
    QVERIFY(ImageMaker::WriteFont(image.toStdString(), 16));
    view.chosenFile = image;
    view.OnOpenFile();
    QCoreApplication::sendPostedEvents(); // the layout takes the label's new size
    // Still fits the narrowest window the host is made for.
    QVERIFY2(view.minimumSizeHint().width() <= 640, qPrintable(QString::number(view.minimumSizeHint().width())));
    auto* label = view.findChild<QWidget*>(QStringLiteral("labelSoftwarePath"));
    QCOMPARE(label->property("text").toString(), image);
    QCOMPARE(label->toolTip(), image);
}

// A block that gets no answer, as when the cable is pulled.
void SwDownloadViewTest::HandsetGoneMidFlashLeavesTheViewIdleWithTheReason()
{
    QString image = QDir::current().filePath(QStringLiteral("code.bin"));
    QVERIFY(ImageMaker::WriteCode(image.toStdString(), 0x4000, 0x10000, ImageMaker::kVersion));
    m_handset->Queue(0xDD, {ScriptedHandset::Bytes{0x02}, ScriptedHandset::Bytes{0x02}, ScriptedHandset::kSilence});
    AnsweredSwDownload view;
    view.show();
    view.chosenFile = image;
    view.OnOpenFile();
    view.Choose(3);
    // The status bar names the handset from an earlier identification whose
    // texts a failed read has since emptied.
    m_lines[1] = QStringLiteral("ESN : 8D2A41F3");
    m_doc.SetText(NvDoc::kEsn, "");
    view.OnStart();
    QTRY_COMPARE(view.messages, QStringList{QStringLiteral("Connection or Timeout Error!\n") + QLatin1String(engine::kWaitingInDownloadMode)});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QCOMPARE(m_lines.value(1), QStringLiteral("ESN : 8D2A41F3")); // not blanked by the failure
    QVERIFY(!view.WorkerRunning());
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("St&art Software Download"));
    QCOMPARE(m_handset->Line().back(), std::string("close"));
}

// The new software forgets the handset's settings; the view reads them
// before the flash and writes them back once the handset has restarted.
void SwDownloadViewTest::KeptSettingsAreWrittenBackAfterTheRestartInOneRecord()
{
    const QString image = QDir::current().filePath(QStringLiteral("code.bin"));
    QVERIFY(ImageMaker::WriteCode(image.toStdString(), 0x4000, 0x10000, ImageMaker::kVersion));
    const ScriptedHandset::Bytes lockCode{4, '1', '3', '5', '7'}; // its length, then its digits
    m_handset->SetNvItem(nv::kItemLockCode, lockCode);
    AnsweredSwDownload view;
    view.show();
    view.chosenFile = image;
    view.OnOpenFile();
    view.Choose(3);
    QVERIFY(!view.KeepBox().isEnabled()); // a handset in download mode has no settings to give
    view.Choose(0);
    QVERIFY(view.KeepBox().isEnabled());
    view.KeepBox().setChecked(true);
    const size_t recordsBefore = KeptViewRecords(QStringLiteral("flash option 0")).size();
    Pacing::Instance().SetObserver([this](Pacing::Pause, uint32_t ms) {
        if (ms == engine::kAfterFlashingClosedMs) // the restart after the flash
            m_handset->SetNvItem(nv::kItemLockCode, {});
    });
    view.OnStart();
    QVERIFY(!view.KeepBox().isEnabled());
    QTRY_COMPARE(view.messages,
                 QStringList{QStringLiteral("Completed Flash Programming\nNow running AB12.5\nThe settings were written back.")});
    Pacing::Instance().SetObserver(nullptr);
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
    ScriptedHandset::Bytes written = m_handset->NvItem(nv::kItemLockCode);
    written.resize(lockCode.size());
    QCOMPARE(written, lockCode);
    QCOMPARE(view.Text("buttonStart"), QStringLiteral("St&art Software Download"));
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
    QVERIFY(view.KeepBox().isEnabled());

    const std::vector<ServiceRecord> records = KeptViewRecords(QStringLiteral("flash option 0"));
    QCOMPARE(records.size(), recordsBefore + 1); // one for the three steps
    const ServiceRecord& record = records.front(); // the newest
    QCOMPARE(record.result, QString(ServiceRecord::kCompleted));
    QCOMPARE(record.endText, view.messages.front()); // the flash's, and what became of the settings
    QVERIFY(!record.snapshot.isEmpty());
    QCOMPARE(record.snapshot.mid(nv::kLockCodeOffset, 4), QByteArray("1357"));
    // As the record names versions: the scripted handset comes back with the one it had.
    QVERIFY(!record.versionAfter.isEmpty());
    QCOMPARE(record.versionAfter, record.softwareVersion);
    QCOMPARE(record.inputs.size(), 1);
    QCOMPARE(record.inputs.front().role, QStringLiteral("code"));
    QCOMPARE(record.inputs.front().size, QFileInfo(image).size());
}

void SwDownloadViewTest::KeptSettingsThatCannotBeReadFlashNothing()
{
    const QString image = QDir::current().filePath(QStringLiteral("code.bin"));
    QVERIFY(ImageMaker::WriteCode(image.toStdString(), 0x4000, 0x10000, ImageMaker::kVersion));
    m_handset->RefuseOpens();
    AnsweredSwDownload view;
    view.show();
    view.chosenFile = image;
    view.OnOpenFile();
    view.Choose(0);
    view.KeepBox().setChecked(true);
    view.OnStart();
    QTRY_COMPARE(view.messages.size(), 1);
    QVERIFY2(view.messages.front().startsWith(QStringLiteral("The settings could not be read, so nothing was flashed:\n")),
             qPrintable(view.messages.front()));
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QVERIFY(m_handset->Blocks().empty());
    QCOMPARE(Enabled(view), QStringLiteral("11111"));
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
}

// Each step identifies the handset, once, by its status answer: the read,
// the download before its switch and after its restart, the write-back.
// Another handset in the port after the read is not flashed; after the
// download, it is not given the settings. Either way the record keeps them
// for the handset they were read from.
void SwDownloadViewTest::AHandsetSwappedBetweenTheStepsIsNotServed_data()
{
    QTest::addColumn<int>("answeredBeforeTheSwap");
    QTest::addColumn<QString>("message");
    const QString another = QStringLiteral("Another handset answers here (ESN 12345678); the job's handset has ESN 8D2A41F3");
    QTest::newRow("before the download") << 1 << another;
    QTest::newRow("before the write-back") << 3
                                          << QStringLiteral("Completed Flash Programming\nNow running AB12.5\n"
                                                            "The settings were NOT written back: ") +
                                                 another + QStringLiteral("\nView > Service history keeps them: Undo there writes them.");
}

void SwDownloadViewTest::AHandsetSwappedBetweenTheStepsIsNotServed()
{
    QFETCH(int, answeredBeforeTheSwap);
    QFETCH(QString, message);
    m_handset->Queue(diag::kCmdStatus, std::vector<ScriptedHandset::Bytes>(size_t(answeredBeforeTheSwap),
                                                                          ScriptedHandset::StatusAnswer(0x8D2A41F3, 0, 0)));
    m_handset->SetUsualAnswer(diag::kCmdStatus, ScriptedHandset::StatusAnswer(0x12345678, 0, 0));
    AnsweredSwDownload view;
    view.show();
    QVERIFY(ChooseNewCodeImage(view));
    view.Choose(0);
    view.KeepBox().setChecked(true);
    view.OnStart();
    QTRY_COMPARE(view.messages, QStringList{message});
    QCOMPARE(m_handset->Blocks().empty(), answeredBeforeTheSwap == 1);
    QVERIFY(m_handset->Requests(diag::kCmdNvWrite).empty());
    const std::vector<ServiceRecord> records = KeptViewRecords(QStringLiteral("flash option 0"));
    QVERIFY(!records.empty());
    QCOMPARE(records.front().result, QString(ServiceRecord::kFailed));
    QCOMPARE(records.front().esn, QStringLiteral("8D2A41F3"));
    QVERIFY(!records.front().snapshot.isEmpty());
}

// Its identification after the restart goes unanswered, which empties the
// ESN the operation had found.
void SwDownloadViewTest::AFlashedHandsetThatDoesNotComeBackIsNamedInTheRecord()
{
    AnsweredSwDownload view;
    view.show();
    QVERIFY(ChooseNewCodeImage(view));
    view.Choose(0);
    Pacing::Instance().SetObserver([this](Pacing::Pause, uint32_t ms) {
        if (ms == engine::kAfterFlashingClosedMs)
            m_handset->SetUsualAnswer(diag::kCmdStatus, ScriptedHandset::kSilence);
    });
    view.OnStart();
    QTRY_COMPARE(view.messages.size(), 1);
    Pacing::Instance().SetObserver(nullptr);
    QVERIFY2(view.messages.front().contains(QLatin1String(engine::kErrNotBack)), qPrintable(view.messages.front()));
    const std::vector<ServiceRecord> records = KeptViewRecords(QStringLiteral("flash option 0"));
    QVERIFY(!records.empty());
    QCOMPARE(records.front().result, QString(ServiceRecord::kFailed));
    QCOMPARE(records.front().esn, QStringLiteral("8D2A41F3"));
}

// Under an EMERGENCY option the box is unticked and disabled: the handset
// in download mode has no settings to read, and none are written after its
// flash. Once the recovery has completed, the NORMAL option chosen before
// it is chosen again, with the box as the technician left it.
void SwDownloadViewTest::TheOptionReturnsToNormalAfterAnEmergencyDownload()
{
    AnsweredSwDownload view;
    view.show();
    QVERIFY(ChooseNewCodeImage(view));
    view.Choose(0);
    view.KeepBox().click();
    QVERIFY(view.KeepBox().isChecked());
    view.Choose(3);
    QVERIFY(!view.KeepBox().isChecked() && !view.KeepBox().isEnabled());
    view.OnStart();
    QTRY_COMPARE(view.messages, QStringList{QStringLiteral("Completed Flash Programming\nNow running AB12.5")});
    QVERIFY(m_handset->Requests(diag::kCmdNvWrite).empty());
    QCOMPARE(view.findChild<QComboBox*>()->currentIndex(), 0);
    QVERIFY(view.KeepBox().isChecked() && view.KeepBox().isEnabled());
}

// A port noted as waiting in download mode is named as the view is made,
// in the status line and the view, with the EMERGENCY option chosen.
void SwDownloadViewTest::APortLeftInDownloadModeIsNamedAtOnce()
{
    DownloadModeNotes::Instance().Remember(DownloadModeNotes::SlotOf(7), "");
    AnsweredSwDownload view;
    DownloadModeNotes::Instance().Forget(DownloadModeNotes::SlotOf(7));
    const QString text = QStringLiteral("COM7: ") + engine::kMayWaitInDownloadMode;
    QCOMPARE(m_lines.value(0), text);
    QCOMPARE(view.Text("labelTransfer"), text);
    QCOMPARE(view.findChild<QComboBox*>()->currentIndex(), 3);
}

QTEST_MAIN(SwDownloadViewTest)
#include "SwDownloadViewTest.moc"
