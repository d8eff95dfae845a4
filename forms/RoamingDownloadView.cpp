#include "forms/RoamingDownloadView.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "engine/OperationContext.h"
#include "engine/RoamingProgram.h"
#include "forms/FormConstants.h"
#include "forms/RoamingConstants.h"
#include "history/OperationRecord.h"
#include "hostlink/PluginAbi.h"
#include "platform/InputFile.h"
#include "ports/PortConstants.h"
#include "ports/UserSettings.h"
#include "prl/PrlConstants.h"
#include "widgets/CommandButton.h"
#include "widgets/Label.h"
#include "widgets/TextProgressCtrl.h"

namespace corvanetov {

namespace rc = RoamingConstants;

namespace {
// Which NAMs an option writes: its own one, or both for "BOTH" and for a
// text of the user's own.
bool OptionNames(int option, int nam)
{
    if (option == RoamingProgramRequest::kNam1Only || option == RoamingProgramRequest::kNam2Only)
        return option == nam;
    return true;
}

// Opened as the programming opens it: a named pipe chosen by mistake must
// not hold the window.
bool Readable(const QString& path)
{
    return InputFile(QFile::encodeName(path).toStdString()).IsOpen();
}

QString FromPrintf(const char* format, const QString& path)
{
    return QString::asprintf(format, path.toUtf8().constData());
}
} // namespace

const CRoamingDownloadView::Kind CRoamingDownloadView::kPrl{
    OperationContext::kPrl, families::kPrl,      &RoamingProgram::PrlProgramWorker, rc::kStartPrl, rc::kPrlFolder,
    rc::kPrlPattern,        rc::kPrlValues,      "",                                prl::kCheckPrl, rc::kCannotOpenPrl,
    rc::kPrlSuffix,         rc::kPrlInitialName, rc::kPrlFilter};
const CRoamingDownloadView::Kind CRoamingDownloadView::kEri{
    OperationContext::kEri, families::kEri,      &RoamingProgram::EriProgramWorker, rc::kStartEri, rc::kEriFolder,
    rc::kEriPattern,        rc::kEriValues,      rc::kEriNoFile,                    prl::kCheckEri, rc::kCannotOpenEri,
    rc::kEriSuffix,         rc::kEriInitialName, rc::kEriFilter};

CRoamingDownloadView::CRoamingDownloadView(const Kind& kind, QWidget* parent)
    : CFormView(parent)
    , m_kind(kind)
    , m_runner(*this, kind.state, [this](const OperationMessage& message) { OnOperationMessage(message); })
{
    LoadPaths();
}

CRoamingDownloadView::~CRoamingDownloadView()
{
    SavePaths();
}

void CRoamingDownloadView::Attach(const Controls& controls)
{
    m_controls = controls;
    for (const char* option : rc::kOptions)
        m_controls.option->addItem(QString::fromLatin1(option));
    // A text typed into the list stays a text of its own: no entry, selection -1.
    m_controls.option->setInsertPolicy(QComboBox::NoInsert);
    m_runner.AddStartControl(m_controls.start);
    m_runner.AddIdleControl(m_controls.option);
    connect(&m_runner, &OperationRunner::TurnChanged, this, &CRoamingDownloadView::EnableOpenButtons);
    connect(m_controls.option, &QComboBox::currentIndexChanged, this, &CRoamingDownloadView::EnableOpenButtons);
    connect(m_controls.option, &QComboBox::editTextChanged, this, &CRoamingDownloadView::EnableOpenButtons);
    connect(m_controls.start, &CCommandButton::Click, this, &CRoamingDownloadView::OnStartClick);
    for (int nam = 0; nam < rc::kNams; ++nam)
        connect(m_controls.open[static_cast<size_t>(nam)], &CCommandButton::Click, this, [this, nam] { OnOpenClick(nam); });
    EnableOpenButtons();
}

// The first file of the model folder serves both NAMs, whatever the store
// holds; without one, each NAM takes its stored choice.
void CRoamingDownloadView::LoadPaths()
{
    const QDir folder(QString::fromLatin1(m_kind.folder));
    const QStringList found = folder.entryList({QString::fromLatin1(m_kind.pattern)}, QDir::Files, QDir::Name);
    if (!found.isEmpty()) {
        m_paths.fill(QDir::current().absoluteFilePath(folder.filePath(found.first())));
        return;
    }
    for (int nam = 0; nam < rc::kNams; ++nam) {
        const QString stored = UserSettings::ReadString(ports::kPortKey, QString::fromLatin1(m_kind.values[nam]));
        m_paths[static_cast<size_t>(nam)] = stored.isEmpty() ? NoFilePath() : stored;
    }
}

QString CRoamingDownloadView::NoFilePath() const
{
    if (*m_kind.noFile)
        return QString::fromLatin1(m_kind.noFile);
    return QDir::current().absoluteFilePath(QString::fromLatin1(m_kind.folder) + QLatin1Char('/') + QString::fromLatin1(m_kind.pattern));
}

void CRoamingDownloadView::SavePaths() const
{
    for (int nam = 0; nam < rc::kNams; ++nam)
        UserSettings::WriteString(ports::kPortKey, QString::fromLatin1(m_kind.values[nam]), m_paths[static_cast<size_t>(nam)]);
}

void CRoamingDownloadView::OnInitialUpdate()
{
    ShowLogoForToolType(*m_controls.picture);
    StyleTitle(*m_controls.title);
    m_controls.start->SetWindowText(QString::fromLatin1(m_kind.startCaption));
    m_controls.option->setCurrentIndex(RoamingProgramRequest::kNam1Only);
    EnableOpenButtons();
    for (int nam = 0; nam < rc::kNams; ++nam) {
        CLabel& path = *m_controls.paths[static_cast<size_t>(nam)];
        StylePath(path);
        path.SetText(m_paths[static_cast<size_t>(nam)]);
    }
}

int CRoamingDownloadView::Selection() const
{
    return m_controls.option->findText(m_controls.option->currentText(), Qt::MatchExactly);
}

// While any operation runs the files stay as they are.
void CRoamingDownloadView::EnableOpenButtons()
{
    const bool idle = m_runner.CurrentTurn() == OperationRunner::Turn::Idle;
    const int option = Selection();
    for (int nam = 0; nam < rc::kNams; ++nam)
        m_controls.open[static_cast<size_t>(nam)]->setEnabled(idle && OptionNames(option, nam));
}

void CRoamingDownloadView::OnOpenClick(int nam)
{
    const QString chosen = ChooseFile(nam);
    if (chosen.isEmpty())
        return;
    // The choice stands even when it cannot be read: the start says so again.
    m_paths[static_cast<size_t>(nam)] = chosen;
    if (Readable(chosen)) {
        m_controls.paths[static_cast<size_t>(nam)]->SetText(chosen);
        return;
    }
    ShowMessage(FromPrintf(prl::kFailToRead, chosen) + QString::fromLatin1(m_kind.checkFile), QMessageBox::Warning);
}

void CRoamingDownloadView::OnStartClick()
{
    if (m_runner.Running()) {
        if (m_runner.Stop())
            Finish();
        return;
    }
    const int option = Selection();
    if (!FilesReadable(option)) {
        ShowMessage(QString::fromLatin1(m_kind.cannotOpen), QMessageBox::Warning);
        return;
    }
    ShowBarsReady(option);
    StartProgramming(option);
}

bool CRoamingDownloadView::FilesReadable(int option) const
{
    for (int nam = 0; nam < rc::kNams; ++nam) {
        if (OptionNames(option, nam) && !Readable(m_paths[static_cast<size_t>(nam)]))
            return false;
    }
    return true;
}

void CRoamingDownloadView::ShowBarsReady(int option)
{
    for (int nam = 0; nam < rc::kNams; ++nam) {
        const bool chosen = OptionNames(option, nam);
        ShowBar(nam, chosen ? FormConstants::kReady : rc::kSkipped, chosen ? 0 : rc::kSkippedPosition);
    }
}

void CRoamingDownloadView::ShowBarsEnded()
{
    for (int nam = 0; nam < rc::kNams; ++nam) {
        if (!OptionNames(m_startedOption, nam))
            ShowBar(nam, rc::kSkipped, rc::kSkippedPosition);
        else if (m_percent[static_cast<size_t>(nam)] == rc::kFullPercent)
            ShowBar(nam, rc::kDone, rc::kFullPercent);
        else
            ShowBar(nam, rc::kNotWritten, 0);
    }
}

void CRoamingDownloadView::ShowBar(int nam, const char* text, int position)
{
    CTextProgressCtrl& bar = *m_controls.bars[static_cast<size_t>(nam)];
    bar.SetWindowText(QString::fromLatin1(text));
    bar.SetPos(position);
    bar.repaint();
}

// Without a thread nothing was started: the view stays as it was.
void CRoamingDownloadView::StartProgramming(int option)
{
    RoamingProgramRequest request{option, m_paths[0].toStdString(), m_paths[1].toStdString()};
    auto worker = m_kind.worker;
    m_startedOption = option;
    m_percent = {};
    if (!m_runner.Start([worker, request] { worker(request); }))
        return;
    if (ServiceRecord* record = m_runner.Record())
        OperationRecord::TakeNamFiles(*record, OptionNames(option, 0) ? request.path1 : std::string(),
                                      OptionNames(option, 1) ? request.path2 : std::string());
    m_controls.start->SetWindowText(QString::fromLatin1(FormConstants::kStopCaption));
    m_startSeconds = NowSeconds();
}

// The runner has ended the worker and freed the state; the controls follow it.
void CRoamingDownloadView::Finish()
{
    ShowBarsEnded();
    SendEsnLine();
    m_controls.start->SetWindowText(QString::fromLatin1(m_kind.startCaption));
}

void CRoamingDownloadView::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != m_kind.family.number)
        return;
    const QString text = QString::fromStdString(message.text);
    switch (m_kind.family.RoleOf(message.kind)) {
    case OperationFamily::Role::Progress:
        ShowProgress(message.param, message.value);
        break;
    case OperationFamily::Role::End:
        Finish();
        ShowMessage(text, EndIcon(message));
        break;
    case OperationFamily::Role::Status:
        if (!text.isEmpty())
            SendHostLine(PluginAbi::kStatusLine, text);
        break;
    case OperationFamily::Role::Other:
        break;
    }
}

void CRoamingDownloadView::ShowProgress(int nam, int percent)
{
    const int elapsed = static_cast<int>(NowSeconds() - m_startSeconds);
    m_percent[nam == 0 ? 0 : 1] = percent;
    CTextProgressCtrl& bar = *m_controls.bars[nam == 0 ? 0 : 1];
    bar.SetWindowText(QString::asprintf(FormConstants::kElapsedFormat, elapsed, percent));
    bar.SetPos(percent);
    bar.repaint();
}

QString CRoamingDownloadView::ChooseFile(int)
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(QString::fromLatin1(m_kind.folder));
    dialog.setNameFilter(QString::fromLatin1(m_kind.dialogFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(m_kind.dialogSuffix));
    dialog.selectFile(QString::fromLatin1(m_kind.dialogInitialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void CRoamingDownloadView::ShowMessage(const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

int64_t CRoamingDownloadView::NowSeconds() const
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace corvanetov
