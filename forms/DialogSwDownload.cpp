#include "forms/DialogSwDownload.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "comm/DownloadModeNotes.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/RebuildWorker.h"
#include "engine/SwDownloadWorker.h"
#include "forms/PortSetting2.h"
#include "forms/SwDownloadConstants.h"
#include "hostlink/PluginAbi.h"
#include "nv/NvDoc.h"
#include "platform/InputFile.h"
#include "ports/UserSettings.h"
#include "ui_DialogSwDownload.h"

namespace corvanetov {

namespace sw = SwDownloadConstants;

namespace {
QString SoftwareFolder()
{
    return QDir::current().filePath(QLatin1String(sw::kSoftwareFolder));
}
} // namespace

CDialogSwDownload::CDialogSwDownload(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogSwDownload>())
    , m_runner(*this, OperationContext::kSwDownload, [this](const OperationMessage& message) { OnOperationMessage(message); })
{
    m_ui->setupUi(this);
    KeepPlaceWhenHidden(*m_ui->animationBusy); // the rows below stay put when a job starts
    m_runner.AddStartControl(m_ui->buttonStart);
    m_runner.AddStartControl(m_ui->buttonRebuild);
    m_runner.AddIdleControl(m_ui->comboOption);
    m_runner.AddIdleControl(m_ui->buttonOpenFile);
    m_runner.AddIdleControl(m_ui->buttonOpenFontFile);
    connect(&m_runner, &OperationRunner::TurnChanged, this, &CDialogSwDownload::FollowJob);
    connect(m_ui->buttonOpenFile, &CCommandButton::Click, this, &CDialogSwDownload::OnOpenFile);
    connect(m_ui->buttonOpenFontFile, &CCommandButton::Click, this, &CDialogSwDownload::OnOpenFontFile);
    connect(m_ui->buttonStart, &CCommandButton::Click, this, &CDialogSwDownload::OnStart);
    connect(m_ui->buttonRebuild, &CCommandButton::Click, this, &CDialogSwDownload::OnRebuild);
    FindSoftware();
}

// The path is written to a key that construction never reads: the next
// view does not get it back (kept as the system has it).
CDialogSwDownload::~CDialogSwDownload()
{
    UserSettings::WriteString(QLatin1String(sw::kWriteKey), QLatin1String(sw::kSoftwareValue), m_softwarePath);
}

// The first image in the software folder, by name, as its name is on disk;
// else the files last chosen as the store has them.
void CDialogSwDownload::FindSoftware()
{
    const QStringList found = QDir(SoftwareFolder()).entryList({QLatin1String(sw::kImagePattern)}, QDir::Files, QDir::Name);
    if (!found.isEmpty()) {
        m_softwarePath = QDir(SoftwareFolder()).absoluteFilePath(found.first());
        m_fontPath.clear();
        return;
    }
    const QString key = QLatin1String(sw::kReadKey);
    m_softwarePath = UserSettings::ReadString(key, QLatin1String(sw::kSoftwareValue));
    if (m_softwarePath.isEmpty()) {
        m_softwarePath = QLatin1String(sw::kNoSoftware);
        m_fontPath = QLatin1String(sw::kNoFont);
        return;
    }
    m_fontPath = UserSettings::ReadString(key, QLatin1String(sw::kFontValue));
}

void CDialogSwDownload::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
    for (const char* option : engine::kDownloadOptionNames)
        m_ui->comboOption->addItem(QLatin1String(option));
    m_ui->comboOption->setCurrentIndex(0);
    m_ui->buttonStart->SetWindowText(QLatin1String(sw::kStartCaption));
    m_ui->buttonRebuild->SetWindowText(QLatin1String(sw::kRebuildCaption));
    StylePath(*m_ui->labelSoftwarePath);
    StylePath(*m_ui->labelFontPath);
    m_ui->labelSoftwarePath->SetText(m_softwarePath);
    m_ui->labelFontPath->SetText(m_fontPath);
    m_ui->animationBusy->Stop();
    m_ui->animationBusy->hide();
}

void CDialogSwDownload::OnOpenFile()
{
    ChooseFile(m_softwarePath, *m_ui->labelSoftwarePath);
}

void CDialogSwDownload::OnOpenFontFile()
{
    ChooseFile(m_fontPath, *m_ui->labelFontPath);
}

// The chosen path is taken even when the file cannot be read: the label
// keeps what it showed, and the download reports the file.
void CDialogSwDownload::ChooseFile(QString& pathText, CLabel& label)
{
    const QString chosen = ChooseImageFile();
    if (chosen.isEmpty())
        return;
    pathText = chosen;
    if (InputFile(QFile::encodeName(chosen).toStdString()).IsOpen()) {
        label.SetText(chosen);
        return;
    }
    ShowMessage(QString(QLatin1String(sw::kReadFailed)).arg(chosen) + QLatin1String(sw::kCheckSoftware), QMessageBox::Warning);
}

void CDialogSwDownload::OnStart()
{
    if (m_runner.Running()) {
        if (m_runner.Stop()) {
            Stop();
            TellWhereLeft();
        }
        return;
    }
    SwDownloadRequest request{m_ui->comboOption->currentIndex(), m_softwarePath.toStdString(), m_fontPath.toStdString()};
    StartJob(Job::Download, [request] { SwDownloadWorker::Run(request); });
}

void CDialogSwDownload::OnRebuild()
{
    if (m_runner.Running()) {
        if (m_runner.Stop())
            Stop();
        return;
    }
    if (!RunRebuildPortDialog()) {
        Stop();
        return;
    }
    StartJob(Job::Rebuild, &RebuildWorker::Run);
}

// Without a thread nothing runs: the view stays idle.
void CDialogSwDownload::StartJob(Job job, std::function<void()> body)
{
    ShowReady();
    m_ui->animationBusy->show();
    m_ui->animationBusy->Play();
    m_job = job;
    m_step.clear();
    m_transfer = TransferMeter();
    const QString operation =
        job == Job::Download ? QString("flash option %1").arg(m_ui->comboOption->currentIndex()) : QString("rebuild");
    if (!m_runner.Start(std::move(body), operation)) {
        m_job = Job::None;
        m_ui->animationBusy->Stop();
        m_ui->animationBusy->hide();
        return;
    }
    (job == Job::Download ? m_ui->buttonStart : m_ui->buttonRebuild)->SetWindowText(QLatin1String(sw::kStopCaption));
    m_started.start();
}

// The other job's button waits while one job runs.
void CDialogSwDownload::FollowJob(OperationRunner::Turn turn)
{
    if (turn != OperationRunner::Turn::Own)
        return;
    if (m_job == Job::Download)
        m_ui->buttonRebuild->setEnabled(false);
    else if (m_job == Job::Rebuild)
        m_ui->buttonStart->setEnabled(false);
}

void CDialogSwDownload::ShowReady()
{
    m_ui->progressDownload->SetWindowText(QLatin1String(sw::kReady));
    m_ui->progressDownload->SetPos(0);
    m_ui->progressDownload->update();
}

void CDialogSwDownload::Stop()
{
    ShowReady();
    SendEsnLine();
    m_job = Job::None;
    m_runner.End();
    m_ui->animationBusy->Stop();
    m_ui->animationBusy->hide();
    m_ui->buttonStart->SetWindowText(QLatin1String(sw::kStartCaption));
    m_ui->buttonRebuild->SetWindowText(QLatin1String(sw::kRebuildCaption));
}

void CDialogSwDownload::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != engine::kMsgDownload)
        return;
    switch (message.kind) {
    case engine::kDownloadProgress:
        ShowProgress(message);
        break;
    case engine::kDownloadEnd:
        Stop();
        ShowMessage(QString::fromStdString(message.text), EndIcon(message));
        break;
    case engine::kDownloadStatus:
        if (!message.text.empty()) {
            m_step = QString::fromStdString(message.text);
            SendHostLine(PluginAbi::kStatusLine, m_step);
        }
        break;
    default:
        break;
    }
}

// The download's bar runs over all its passes; the rebuild reports no
// amounts and shows its own percentage.
void CDialogSwDownload::ShowProgress(const OperationMessage& message)
{
    m_transfer.Add(message);
    const int percent = m_transfer.Started() ? m_transfer.Percent() : message.value;
    const int seconds = static_cast<int>(m_started.elapsed() / 1000);
    m_ui->progressDownload->SetWindowText(QString::asprintf(sw::kElapsedFormat, seconds, percent));
    m_ui->progressDownload->SetPos(percent);
    m_ui->progressDownload->update();
    if (m_transfer.Started())
        SendHostLine(PluginAbi::kStatusLine, m_step + QLatin1String(sw::kStepAndTransfer) + QString::fromStdString(m_transfer.Text()));
}

void CDialogSwDownload::TellWhereLeft()
{
    if (!DownloadModeNotes::Instance().Remembered(Context().SelectedPort()))
        return;
    const QString text = QLatin1String(engine::kWaitingInDownloadMode);
    SendHostLine(PluginAbi::kStatusLine, text);
    ShowMessage(text, QMessageBox::Warning); // the handset cannot be used until it is flashed
}

QString CDialogSwDownload::ChooseImageFile()
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QLatin1String(sw::kImageFilter));
    dialog.setDefaultSuffix(QLatin1String(sw::kDefaultSuffix));
    dialog.setDirectory(SoftwareFolder());
    dialog.selectFile(QLatin1String(sw::kFileNamePattern));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

bool CDialogSwDownload::RunRebuildPortDialog()
{
    PortSetting2 dialog(this);
    return dialog.exec() == QDialog::Accepted;
}

void CDialogSwDownload::ShowMessage(const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace corvanetov
