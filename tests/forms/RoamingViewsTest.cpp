#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "ModalAnswerer.h"
#include "samples/PrlListBytes.h"
#include "ScriptedHandset.h"
#include "ViewRecords.h"
#include "diag/DiagConstants.h"
#include "engine/OperationContext.h"
#include "forms/DialogBackup.h"
#include "forms/DialogEriDownload.h"
#include "forms/DialogPrlDownload.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "hostlink/HostNotifier.h"
#include "ports/PortConstants.h"
#include "ports/UserSettings.h"
#include "widgets/BusyAnimation.h"
#include "widgets/CommandButton.h"
#include "widgets/Label.h"
#include "widgets/TextProgressCtrl.h"

using namespace corvanetov;

namespace {
// Pauses that only a stop ends, while a test looks at a running view.
constexpr double kEndlessPauses = 1000.0;
constexpr double kTestPauses = 0.01;
constexpr int64_t kStartSecond = 1'000'000;

// Answers the engine's questions and keeps the message boxes it was shown.
class RecordingPrompts : public Prompts {
public:
    QStringList shown;
    bool AskMslCode(std::string&) override { return false; }
    bool AskFontStartAddress(uint32_t&) override { return false; }
    Answer ShowMessage(const std::string& text, const std::string&, Style, Icon) override
    {
        shown << QString::fromStdString(text);
        return Answer::Ok;
    }
};

// A view whose questions, boxes and clock the test answers.
template <class View>
class Answered : public View {
public:
    bool stopAnswer = true;
    int stopQuestions = 0;
    QString chosen;
    QStringList messages;
    QList<QMessageBox::Icon> icons;
    int64_t now = kStartSecond;

    bool AskStop() override
    {
        ++stopQuestions;
        return stopAnswer;
    }

protected:
    QString ChooseFile(int) override { return chosen; }
    void ShowMessage(const QString& text, QMessageBox::Icon icon) override
    {
        messages << text;
        icons << icon;
    }
    int64_t NowSeconds() const override { return now; }
};
using PrlView = Answered<CDialogPrlDownload>;
using EriView = Answered<CDialogEriDownload>;

class AnsweredBackup : public CDialogBackup {
public:
    bool stopAnswer = true;
    int stopQuestions = 0;
    bool AskStop() override
    {
        ++stopQuestions;
        return stopAnswer;
    }
};

void Show(QWidget& view)
{
    view.show();
    QCoreApplication::processEvents();
}

// The view's option list with this entry chosen, or with a text of the
// user's own typed into it.
void Choose(CRoamingDownloadView& view, int selection)
{
    QComboBox& list = *view.GetControls().option;
    if (selection >= 0)
        list.setCurrentIndex(selection);
    else
        list.lineEdit()->setText(QStringLiteral("NAM3"));
}

QString BarText(const CRoamingDownloadView& view, int nam)
{
    return view.GetControls().bars[size_t(nam)]->GetWindowText();
}

int BarPos(const CRoamingDownloadView& view, int nam)
{
    return view.GetControls().bars[size_t(nam)]->GetPos();
}
} // namespace

class RoamingViewsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void OptionListAndOpenButtonsFollowTheChoiceAndTheState_data();
    void OptionListAndOpenButtonsFollowTheChoiceAndTheState();
    void StartShowsTheBarsAndWritesTheChosenNams_data();
    void StartShowsTheBarsAndWritesTheChosenNams();
    void BothNamsEndSayingWhichWasWritten_data();
    void BothNamsEndSayingWhichWasWritten();
    void ProgressTextsAndTheStopQuestion();
    void PathsComeFromTheModelFolderElseTheStoreAndGoBackToIt();
    void ChosenFileAndStartWithFilesThatCannotBeRead();
    void TwinsDifferInTheirWords();
    void BackupIsAPlaceholderWithARunningLook();
    void StopQuestionsAreTheViewsOwn();

private:
    static void OnHostMessage(void* context, unsigned message, int line, const char* text);
    void Put(const QString& name, const std::vector<uint8_t>& bytes);
    // The view shown, with a list of this size chosen for both NAMs.
    void ShowWithList(PrlView& view, size_t size);
    QString FilePath(const QString& name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
    QString m_startFolder;
    NvDoc m_doc;
    RecordingPrompts m_prompts;
    std::unique_ptr<ScriptedHandset> m_handset;
    QMap<int, QString> m_lines;
};

void RoamingViewsTest::OnHostMessage(void* context, unsigned, int line, const char* text)
{
    static_cast<RoamingViewsTest*>(context)->m_lines[line] = QString::fromUtf8(text);
}

void RoamingViewsTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    // The store's folder is fixed at its first use in a process.
    qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toLocal8Bit());
    QVERIFY(UserSettings::FileName().startsWith(m_folder.path()));
    m_startFolder = QDir::currentPath();
}

void RoamingViewsTest::init()
{
    QDir(FilePath(QStringLiteral("work"))).removeRecursively();
    QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("work")));
    QVERIFY(QDir::setCurrent(FilePath(QStringLiteral("work"))));
    QSettings store(QSettings::IniFormat, QSettings::UserScope, ports::kStoreOrganization, ports::kStoreApplication);
    store.clear();
    store.sync();
    m_handset = std::make_unique<ScriptedHandset>();
    auto& context = Context();
    context.SetChannelFactory(m_handset->Factory());
    context.SetNvDocument(&m_doc);
    context.SetPrompts(&m_prompts);
    context.SetOperationState(OperationContext::kIdle);
    m_doc.SetText(NvDoc::kEsn, "8D2A41F3");
    m_prompts.shown.clear();
    HostNotifier::Instance().SetCallback(&RoamingViewsTest::OnHostMessage, this);
    m_lines.clear();
    Pacing::Instance().SetTimeScale(kTestPauses);
}

void RoamingViewsTest::cleanup()
{
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    auto& context = Context();
    context.SetChannelFactory(nullptr);
    context.SetPrompts(nullptr);
    context.SetNvDocument(nullptr);
    context.SetOperationState(OperationContext::kIdle);
    Pacing::Instance().SetTimeScale(kTestPauses);
    QVERIFY(QDir::setCurrent(m_startFolder));
}

void RoamingViewsTest::Put(const QString& name, const std::vector<uint8_t>& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(name).path()));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

void RoamingViewsTest::ShowWithList(PrlView& view, size_t size)
{
    Show(view);
    Put(FilePath(QStringLiteral("list.prl")), PrlListBytes(size));
    view.chosen = FilePath(QStringLiteral("list.prl"));
    Choose(view, 2);
    view.OnOpenClick(0);
    view.OnOpenClick(1);
}

void RoamingViewsTest::OptionListAndOpenButtonsFollowTheChoiceAndTheState_data()
{
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("list");
    QTest::addColumn<bool>("open1");
    QTest::addColumn<bool>("open2");
    QTest::addColumn<bool>("start");
    QTest::newRow("NAM1 ONLY") << 0 << int(OperationContext::kIdle) << true << true << false << true;
    QTest::newRow("NAM2 ONLY") << 1 << int(OperationContext::kIdle) << true << false << true << true;
    QTest::newRow("BOTH") << 2 << int(OperationContext::kIdle) << true << true << true << true;
    QTest::newRow("a typed text") << -1 << int(OperationContext::kIdle) << true << true << true << true;
    QTest::newRow("its own operation") << 1 << int(OperationContext::kPrl) << false << false << false << true;
    QTest::newRow("another view's") << 2 << int(OperationContext::kSwDownload) << false << false << false << false;
    QTest::newRow("the ERI view's") << 0 << int(OperationContext::kEri) << false << false << false << false;
}

void RoamingViewsTest::OptionListAndOpenButtonsFollowTheChoiceAndTheState()
{
    QFETCH(int, selection);
    QFETCH(int, state);
    PrlView view;
    Show(view);
    const auto& controls = view.GetControls();
    QVERIFY(controls.open[0]->isEnabled());
    QVERIFY2(!controls.open[1]->isEnabled(), "the first show chooses NAM1 ONLY");
    Choose(view, selection);
    QCOMPARE(view.Selection(), selection);
    Context().SetOperationState(state);
    QCoreApplication::processEvents();
    QTEST(controls.option->isEnabled(), "list");
    QTEST(controls.open[0]->isEnabled(), "open1");
    QTEST(controls.open[1]->isEnabled(), "open2");
    QTEST(controls.start->isEnabled(), "start");
    // Hidden and shown again, the view goes by the state as it is then.
    view.hide();
    Context().SetOperationState(OperationContext::kIdle);
    Show(view);
    QVERIFY(controls.option->isEnabled() && controls.start->isEnabled());
    QCOMPARE(controls.open[1]->isEnabled(), selection != 0);
}

void RoamingViewsTest::StartShowsTheBarsAndWritesTheChosenNams_data()
{
    QTest::addColumn<int>("selection");
    QTest::addColumn<QStringList>("bars");
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<int>>("nams"); // of the pieces the handset got
    QTest::addColumn<QStringList>("ends"); // the bars at the end
    QTest::addColumn<QString>("recorded"); // the NAMs the record names, a file each
    const QString ready = QStringLiteral("Ready..."), skipped = QStringLiteral("Skipped...not selected...");
    const QString done = QStringLiteral("Done"), notWritten = QStringLiteral("Not written");
    QTest::newRow("NAM1 ONLY") << 0 << QStringList{ready, skipped} << QList<int>{0, 100} << QList<int>{0, 0}
                               << QStringList{done, skipped} << "NAM1";
    QTest::newRow("NAM2 ONLY, NAM1 unreadable") << 1 << QStringList{skipped, ready} << QList<int>{100, 0} << QList<int>{1, 1}
                                                << QStringList{skipped, done} << "NAM2";
    QTest::newRow("BOTH") << 2 << QStringList{ready, ready} << QList<int>{0, 0} << QList<int>{0, 0, 1, 1}
                          << QStringList{done, done} << "NAM1+NAM2";
    QTest::newRow("a typed text: the worker gets -1") << -1 << QStringList{ready, ready} << QList<int>{0, 0} << QList<int>{}
                                                      << QStringList{notWritten, notWritten}
                                                      << "NAM1+NAM2"; // as the view offered them
}

void RoamingViewsTest::StartShowsTheBarsAndWritesTheChosenNams()
{
    QFETCH(int, selection);
    QFETCH(QStringList, bars);
    QFETCH(QList<int>, positions);
    QFETCH(QList<int>, nams);
    QFETCH(QStringList, ends);
    QFETCH(QString, recorded);
    PrlView view;
    ShowWithList(view, 130);
    if (selection == 1) {
        view.chosen = FilePath(QStringLiteral("missing.prl"));
        view.OnOpenClick(0);
        QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        view.messages.clear();
        view.icons.clear();
    }
    Choose(view, selection);
    view.OnStartClick();
    QVERIFY2(view.WorkerRunning(), qPrintable(view.messages.join(QLatin1Char('|'))));
    QCOMPARE(Context().OperationState(), int(OperationContext::kPrl));
    QCOMPARE(view.GetControls().start->GetWindowText(), QStringLiteral("S&top"));
    QVERIFY(!view.GetControls().option->isEnabled());
    QVERIFY(!view.GetControls().open[0]->isEnabled() && !view.GetControls().open[1]->isEnabled());
    for (int nam = 0; nam < 2; ++nam) {
        QCOMPARE(BarText(view, nam), bars[nam]);
        QCOMPARE(BarPos(view, nam), positions[nam]);
    }

    QTRY_VERIFY_WITH_TIMEOUT(!view.WorkerRunning(), 20000);
    QCOMPARE(view.messages, QStringList{QStringLiteral("Completed PRL Programming")});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
    QList<int> written;
    for (const auto& request : m_handset->Requests(diag::kCmdPrlWrite))
        written << request[3];
    QCOMPARE(written, nams);
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(view.GetControls().start->GetWindowText(), QStringLiteral("St&art PRL Download"));
    QVERIFY(view.GetControls().option->isEnabled());
    QCOMPARE(m_lines.value(PluginAbi::kPhoneLine), QStringLiteral("ESN : 8D2A41F3"));
    // The end's text, not the last step's.
    QCOMPARE(m_lines.value(PluginAbi::kStatusLine), QStringLiteral("Completed PRL Programming"));
    // A NAM that was written ends at 100 % "Done".
    for (int nam = 0; nam < 2; ++nam) {
        QCOMPARE(BarText(view, nam), ends[nam]);
        QCOMPARE(BarPos(view, nam), ends[nam] == QStringLiteral("Not written") ? 0 : 100);
    }
    const std::vector<ServiceRecord> records = KeptViewRecords(QStringLiteral("prl"));
    QVERIFY(!records.empty());
    QCOMPARE(records.front().nams, recorded);
    QStringList files;
    for (const RecordInput& input : records.front().inputs)
        files << input.role.section(QLatin1Char(' '), 1) + QLatin1Char('=') + QString::number(input.size);
    QStringList expected;
    for (const QString& nam : recorded.split(QLatin1Char('+'), Qt::SkipEmptyParts))
        expected << nam + QStringLiteral("=130");
    QCOMPARE(files, expected);
}

void RoamingViewsTest::BothNamsEndSayingWhichWasWritten_data()
{
    QTest::addColumn<bool>("badNam2File");
    QTest::addColumn<int>("nam2Refusals"); // by the handset
    QTest::addColumn<QList<int>>("nams");  // of the pieces the handset got
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("bars");
    const QString done = QStringLiteral("Done"), notWritten = QStringLiteral("Not written");
    QTest::newRow("a bad NAM2 file: nothing written")
        << true << 0 << QList<int>{} << QStringLiteral("Error in loading PRL2 file") << QStringList{notWritten, notWritten};
    QTest::newRow("NAM2 refused by the handset") << false << 21 << (QList<int>{0, 0} + QList<int>(21, 1))
                                                 << QStringLiteral("NAM1 written, NAM2 failed: Error in writing PRL")
                                                 << QStringList{done, notWritten};
}

void RoamingViewsTest::BothNamsEndSayingWhichWasWritten()
{
    QFETCH(bool, badNam2File);
    QFETCH(int, nam2Refusals);
    QFETCH(QList<int>, nams);
    QFETCH(QString, end);
    QFETCH(QStringList, bars);
    PrlView view;
    ShowWithList(view, 130);
    if (badNam2File) {
        Put(FilePath(QStringLiteral("large.prl")), std::vector<uint8_t>(9000));
        view.chosen = FilePath(QStringLiteral("large.prl"));
        view.OnOpenClick(1);
    }
    const ScriptedHandset::Bytes stored = {diag::kCmdPrlWrite, 1, 0, 0}, last = {diag::kCmdPrlWrite, 0, 0, 0};
    std::vector<ScriptedHandset::Bytes> answers = {stored, last};
    answers.insert(answers.end(), size_t(nam2Refusals), {diag::kCmdPrlWrite, 3, 0, 0});
    m_handset->Queue(diag::kCmdPrlWrite, answers);
    view.OnStartClick();
    QVERIFY(view.WorkerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!view.WorkerRunning(), 20000);
    QCOMPARE(view.messages, QStringList{end});
    // A NAM that was not written is a failure, whatever the other did.
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QList<int> written;
    for (const auto& request : m_handset->Requests(diag::kCmdPrlWrite))
        written << request[3];
    QCOMPARE(written, nams);
    if (badNam2File) {
        QCOMPARE(m_handset->Line(), std::vector<std::string>{});
        QCOMPARE(m_prompts.shown.size(), 1);
    }
    for (int nam = 0; nam < 2; ++nam) {
        QCOMPARE(BarText(view, nam), bars[nam]);
        QCOMPARE(BarPos(view, nam), bars[nam] == QStringLiteral("Done") ? 100 : 0);
    }
}

void RoamingViewsTest::ProgressTextsAndTheStopQuestion()
{
    Pacing::Instance().SetTimeScale(kEndlessPauses);
    PrlView view;
    ShowWithList(view, 250);
    view.OnStartClick();
    QVERIFY(view.WorkerRunning());

    // A progress report for NAM2 at 40 % twelve seconds after the start.
    view.now = kStartSecond + 12;
    Context().SendOperationMessage({1525, 1, 5, 40, {}});
    QCOMPARE(BarText(view, 1), QStringLiteral("Elapsed time : 12sec....40%"));
    QCOMPARE(BarPos(view, 1), 40);
    QCOMPARE(BarText(view, 0), QStringLiteral("Ready..."));
    Context().SendOperationMessage({1525, 0, 7, 0, "Write Prl to NAM2"});
    QCOMPARE(m_lines.value(PluginAbi::kStatusLine), QStringLiteral("Write Prl to NAM2"));

    view.stopAnswer = false;
    view.OnStartClick();
    QCOMPARE(view.stopQuestions, 1);
    QVERIFY(view.WorkerRunning());
    // No changes nothing
    QCOMPARE(BarText(view, 1), QStringLiteral("Elapsed time : 12sec....40%"));
    QCOMPARE(view.GetControls().start->GetWindowText(), QStringLiteral("S&top"));

    view.stopAnswer = true;
    view.OnStartClick();
    QVERIFY(!view.WorkerRunning());
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QCOMPARE(BarText(view, 1), QStringLiteral("Not written"));
    QCOMPARE(view.GetControls().start->GetWindowText(), QStringLiteral("St&art PRL Download"));
    QVERIFY2(view.messages.isEmpty(), "a stop shows no end text");
    QCOMPARE(m_lines.value(PluginAbi::kPhoneLine), QStringLiteral("ESN : 8D2A41F3"));
}

void RoamingViewsTest::PathsComeFromTheModelFolderElseTheStoreAndGoBackToIt()
{
    const QString cwd = QDir::currentPath();
    {
        PrlView prl;
        EriView eri;
        for (int nam = 0; nam < 2; ++nam) {
            QCOMPARE(prl.Path(nam), cwd + QStringLiteral("/Models/VQX-B410/PRL/*.prl"));
            QCOMPARE(eri.Path(nam), QStringLiteral("No File - Select ERI File"));
        }
        Show(eri);
        QCOMPARE(eri.GetControls().paths[1]->text(), QStringLiteral("No File - Select ERI File"));
        Show(prl);
        prl.OnStartClick();
        QCOMPARE(prl.messages, QStringList{QStringLiteral("Cannot Open prl file!")});
        QVERIFY(!prl.WorkerRunning());
        // a refused start leaves no state behind
        QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
        prl.chosen = FilePath(QStringLiteral("chosen.prl"));
        prl.OnOpenClick(0);
    }
    const QString key = QString::fromLatin1(ports::kPortKey);
    QCOMPARE(UserSettings::ReadString(key, QStringLiteral("NAM1 ERI File")), QStringLiteral("No File - Select ERI File"));
    QCOMPARE(UserSettings::ReadString(key, QStringLiteral("NAM1 PRL File")), FilePath(QStringLiteral("chosen.prl")));
    QCOMPARE(UserSettings::ReadString(key, QStringLiteral("NAM2 PRL File")), cwd + QStringLiteral("/Models/VQX-B410/PRL/*.prl"));
    {
        PrlView prl;
        QCOMPARE(prl.Path(0), FilePath(QStringLiteral("chosen.prl")));
    }
    // Files in the model folder win over the store: the first by name, for both NAMs.
    Put(QStringLiteral("Models/VQX-B410/PRL/b.prl"), PrlListBytes(10));
    Put(QStringLiteral("Models/VQX-B410/PRL/a.prl"), PrlListBytes(10));
    Put(QStringLiteral("Models/VQX-B410/ERI/x.bin"), {1});
    PrlView prl;
    EriView eri;
    for (int nam = 0; nam < 2; ++nam) {
        QCOMPARE(prl.Path(nam), cwd + QStringLiteral("/Models/VQX-B410/PRL/a.prl"));
        QCOMPARE(eri.Path(nam), cwd + QStringLiteral("/Models/VQX-B410/ERI/x.bin"));
    }
}

void RoamingViewsTest::ChosenFileAndStartWithFilesThatCannotBeRead()
{
    EriView view;
    Show(view);
    const QString label = view.GetControls().paths[0]->text();
    view.chosen = FilePath(QStringLiteral("none.bin"));
    view.OnOpenClick(0);
    QCOMPARE(view.messages, QStringList{QStringLiteral(" Fail to read from %1\n Please Check eri_file !").arg(view.chosen)});
    QCOMPARE(view.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
    // the choice stands
    QCOMPARE(view.Path(0), view.chosen);
    // the label keeps what it showed
    QCOMPARE(view.GetControls().paths[0]->text(), label);
    view.chosen.clear();
    view.OnOpenClick(0);
    // a cancelled dialog changes nothing
    QCOMPARE(view.Path(0), FilePath(QStringLiteral("none.bin")));

    Put(FilePath(QStringLiteral("good.bin")), {1, 2, 3});
    view.chosen = FilePath(QStringLiteral("good.bin"));
    view.OnOpenClick(1);
    QCOMPARE(view.GetControls().paths[1]->text(), view.chosen);
    Choose(view, 2);
    view.messages.clear();
    view.OnStartClick();
    QCOMPARE(view.messages, QStringList{QStringLiteral("Cannot Open bin file!")});
    QVERIFY(!view.WorkerRunning());
    QCOMPARE(view.GetControls().start->GetWindowText(), QStringLiteral("St&art ERI Download"));
}

void RoamingViewsTest::TwinsDifferInTheirWords()
{
    PrlView prl;
    EriView eri;
    Show(prl);
    Show(eri);
    struct Words {
        CRoamingDownloadView* view;
        QString title, start, open1, open2;
        int state;
    } twins[] = {
        {&prl, "PRL DOWNLOAD", "St&art PRL Download", "Open PRL&1 File", "Open PRL&2 File", OperationContext::kPrl},
        {&eri, "ERI DOWNLOAD", "St&art ERI Download", "Open ERI&1 File", "Open ERI&2 File", OperationContext::kEri},
    };
    for (const Words& twin : twins) {
        const auto& controls = twin.view->GetControls();
        QCOMPARE(controls.title->text(), twin.title);
        QCOMPARE(controls.start->GetWindowText(), twin.start);
        QCOMPARE(controls.open[0]->GetWindowText(), twin.open1);
        QCOMPARE(controls.open[1]->GetWindowText(), twin.open2);
        QCOMPARE(controls.option->count(), 3);
        QCOMPARE(controls.option->itemText(2), QStringLiteral("BOTH"));
        QCOMPARE(controls.paths[0]->TextColor(), 0x800000u);
        Context().SetOperationState(twin.state);
        QCoreApplication::processEvents();
        QVERIFY(controls.start->isEnabled());
        CRoamingDownloadView& other = twin.view == &prl ? static_cast<CRoamingDownloadView&>(eri) : prl;
        QVERIFY2(!other.GetControls().start->isEnabled(), "the twin waits");
        Context().SetOperationState(OperationContext::kIdle);
        QCoreApplication::processEvents();
    }
}

void RoamingViewsTest::BackupIsAPlaceholderWithARunningLook()
{
    AnsweredBackup backup;
    PrlView prl;
    backup.resize(700, 500);
    Show(backup);
    Show(prl);
    QVERIFY2(backup.WorkingControls().x() >= backup.width(), "beyond the right edge");
    QCOMPARE(backup.findChild<QLabel*>(QStringLiteral("labelNotice"))->text(),
             QStringLiteral("This function is not supported for this model"));
    QVERIFY(!backup.Animation().isVisible());
    QCOMPARE(backup.StartButton().GetWindowText(), QStringLiteral("St&art Backup or Restore"));
    QCOMPARE(backup.ItemList().count(), 5);
    QCOMPARE(backup.ItemList().itemText(2), QStringLiteral("SMS/EMS Contents"));
    QCOMPARE(backup.ModeList().currentText(), QStringLiteral("Backup"));
    backup.resize(900, 500);
    QCoreApplication::processEvents();
    QVERIFY(backup.WorkingControls().x() >= 900);

    backup.OnStartClick();
    QCoreApplication::processEvents();
    QCOMPARE(Context().OperationState(), int(OperationContext::kBackup));
    QCOMPARE(backup.StartButton().GetWindowText(), QStringLiteral("S&top"));
    QVERIFY(backup.Animation().isVisible() && backup.Animation().IsPlaying());
    QCOMPARE(backup.Bar().GetWindowText(), QStringLiteral("Ready..."));
    QVERIFY(!backup.ItemList().isEnabled() && !backup.ModeList().isEnabled() && backup.StartButton().isEnabled());
    QVERIFY2(!prl.GetControls().start->isEnabled(), "another view waits");

    backup.stopAnswer = false;
    backup.OnStartClick();
    QVERIFY(backup.Animation().IsPlaying());
    QCOMPARE(backup.StartButton().GetWindowText(), QStringLiteral("S&top"));

    backup.stopAnswer = true;
    backup.OnStartClick();
    QCoreApplication::processEvents();
    QCOMPARE(backup.stopQuestions, 2);
    QVERIFY(!backup.Animation().isVisible() && !backup.Animation().IsPlaying());
    QCOMPARE(backup.StartButton().GetWindowText(), QStringLiteral("St&art Backup or Restore"));
    QVERIFY(backup.ItemList().isEnabled() && backup.ModeList().isEnabled());
    // the other views are free again
    QCOMPARE(Context().OperationState(), int(OperationContext::kIdle));
    QVERIFY(prl.GetControls().start->isEnabled());
    QCOMPARE(m_lines.value(PluginAbi::kPhoneLine), QStringLiteral("ESN : 8D2A41F3"));
}

void RoamingViewsTest::StopQuestionsAreTheViewsOwn()
{
    CDialogBackup backup;
    CDialogEriDownload eri;
    const std::pair<CFormView*, QString> views[] = {
        {&backup, QStringLiteral("Program is running....Would you stop anyway?")},
        {&eri, QStringLiteral("Program is running....Would you stop anyway!!!")},
    };
    for (const auto& [view, question] : views) {
        QString asked;
        ModalAnswerer no([&asked](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            asked = box ? box->text() : QString();
            if (box)
                box->button(QMessageBox::No)->click();
        });
        QVERIFY(!view->AskStop());
        QCOMPARE(asked, question);
    }
}

QTEST_MAIN(RoamingViewsTest)
#include "RoamingViewsTest.moc"
