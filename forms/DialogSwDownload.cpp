#include "forms/DialogSwDownload.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "comm/DownloadModeNotes.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "engine/RebuildWorker.h"
#include "engine/SwDownloadWorker.h"
#include "forms/PortSetting2.h"
#include "forms/SoftwareImages.h"
#include "forms/SwDownloadConstants.h"
#include "history/OperationRecord.h"
#include "hostlink/PluginAbi.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "platform/InputFile.h"
#include "ports/UserSettings.h"
#include "ui_DialogSwDownload.h"

namespace corvanetov {

namespace sw = SwDownloadConstants;

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
    m_runner.AddIdleControl(m_ui->checkKeepSettings);
    for (const char* option : engine::kDownloadOptionNames)
        m_ui->comboOption->addItem(QLatin1String(option));
    m_keepWanted = m_ui->checkKeepSettings->isChecked();
    connect(m_ui->checkKeepSettings, &QCheckBox::clicked, this, [this](bool ticked) { m_keepWanted = ticked; });
    connect(&m_runner, &OperationRunner::TurnChanged, this, &CDialogSwDownload::FollowJob);
    connect(m_ui->comboOption, &QComboBox::currentIndexChanged, this, &CDialogSwDownload::FollowOption);
    connect(m_ui->buttonOpenFile, &CCommandButton::Click, this, &CDialogSwDownload::OnOpenFile);
    connect(m_ui->buttonOpenFontFile, &CCommandButton::Click, this, &CDialogSwDownload::OnOpenFontFile);
    connect(m_ui->buttonStart, &CCommandButton::Click, this, &CDialogSwDownload::OnStart);
    connect(m_ui->buttonRebuild, &CCommandButton::Click, this, &CDialogSwDownload::OnRebuild);
    FindSoftware();
    TellWaitingAtStart();
}

void CDialogSwDownload::TellWaitingAtStart()
{
    const uint8_t port = Context().SelectedPort();
    if (port == 0 || !DownloadModeNotes::Instance().Remembered(DownloadModeNotes::SlotOf(port)))
        return;
    const QString text = QString::fromLatin1(sw::kWaitingAtStartFormat).arg(port).arg(QLatin1String(engine::kMayWaitInDownloadMode));
    m_ui->comboOption->setCurrentIndex(m_normalOption + sw::kEmergencyOffset);
    m_ui->labelTransfer->setText(text);
    SendHostLine(PluginAbi::kStatusLine, text);
}

// The path is written to a key that construction never reads: the next
// view does not get it back (kept as the system has it).
CDialogSwDownload::~CDialogSwDownload()
{
    UserSettings::WriteString(QLatin1String(sw::kWriteKey), QLatin1String(sw::kSoftwareValue), m_softwarePath);
}

// Without an image the labels ask for one.
void CDialogSwDownload::FindSoftware()
{
    const SoftwareImages images = SoftwareImages::Default();
    m_softwarePath = images.code.isEmpty() ? QLatin1String(sw::kNoSoftware) : images.code;
    m_fontPath = images.code.isEmpty() ? QLatin1String(sw::kNoFont) : images.font;
}

void CDialogSwDownload::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
    m_ui->buttonStart->SetWindowText(QLatin1String(sw::kStartCaption));
    m_ui->buttonRebuild->SetWindowText(QLatin1String(sw::kRebuildCaption));
    StylePath(*m_ui->labelSoftwarePath);
    StylePath(*m_ui->labelFontPath);
    m_ui->labelSoftwarePath->SetText(m_softwarePath);
    // No font chosen yet (the software was found in its folder): the label
    // says so, and the download takes no path.
    m_ui->labelFontPath->SetText(m_fontPath.isEmpty() ? QLatin1String(sw::kNoFont) : m_fontPath);
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
    // As the start finds the box: unticked and disabled for an option that
    // finds the handset in download mode, which has nothing to keep.
    m_keeping = KeepingSettings();
    m_keptEsn.clear();
    if (m_keeping)
        StartJob(Job::ReadToKeep, SettingsStep(&NamTransfer::NamReadWorker));
    else
        StartJob(Job::Download, DownloadBody());
}

std::function<void()> CDialogSwDownload::DownloadBody() const
{
    SwDownloadRequest request{m_ui->comboOption->currentIndex(), m_softwarePath.toStdString(), m_fontPath.toStdString(),
                              m_keptEsn};
    return [request] { SwDownloadWorker::Run(request); };
}

// Only a handset in normal operation has settings to give.
bool CDialogSwDownload::KeepingSettings() const
{
    return m_ui->checkKeepSettings->isEnabled() && m_ui->checkKeepSettings->isChecked() && Context().NvDocument();
}

// The read stores the settings in the document and the write sends them
// from it; nothing else writes them there while the download runs.
std::function<void()> CDialogSwDownload::SettingsStep(void (*worker)(NamTransferRequest))
{
    const bool read = worker == &NamTransfer::NamReadWorker;
    const NamTransferRequest request{SettingsCatalogue::QueueNamItems(m_settingsList), read ? &m_settingsList : nullptr,
                                     read ? nullptr : &m_settingsList, 0, m_keptEsn};
    return [worker, request] { worker(request); };
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
    const bool rebuild = job == Job::Rebuild;
    const QString operation = rebuild ? QString("rebuild") : QString("flash option %1").arg(m_ui->comboOption->currentIndex());
    const auto then = job == Job::ReadToKeep ? OperationRunner::Then::GoesOn : OperationRunner::Then::Ends;
    if (!m_runner.Start(std::move(body), operation, then)) {
        m_job = Job::None;
        m_ui->animationBusy->Stop();
        m_ui->animationBusy->hide();
        return;
    }
    if (!rebuild)
        NoteImages();
    if (job == Job::ReadToKeep)
        SendHostLine(PluginAbi::kStatusLine, QLatin1String(sw::kReadingToKeep));
    (rebuild ? m_ui->buttonRebuild : m_ui->buttonStart)->SetWindowText(QLatin1String(sw::kStopCaption));
    m_started.start();
}

// The record names the images as they are when the download starts.
void CDialogSwDownload::NoteImages()
{
    ServiceRecord* record = m_runner.Record();
    const std::optional<DownloadOption> option = DownloadOption::Of(m_ui->comboOption->currentIndex());
    if (!record || !option)
        return;
    if (option->code)
        record->inputs << OperationRecord::FileInput("code", m_softwarePath.toStdString());
    if (option->font)
        record->inputs << OperationRecord::FileInput("font", m_fontPath.toStdString());
}

// The next step of a download that keeps the settings; a step that cannot
// start ends the job with what was done so far.
void CDialogSwDownload::GoOnAfter(Job job, const QString& status, std::function<void()> body, OperationRunner::Then then)
{
    m_job = job;
    m_transfer = TransferMeter();
    ShowPercent(0); // the last step's 100 % is not this one's
    if (!m_runner.Continue(std::move(body), then)) {
        const QString done = m_flashEnd.isEmpty() ? QLatin1String(sw::kNothingFlashed) : m_flashEnd + QLatin1String(sw::kNotWrittenBack);
        EndWith(done + QLatin1String(sw::kNoThread), QMessageBox::Warning);
        return;
    }
    SendHostLine(PluginAbi::kStatusLine, status);
}

// The other job's button waits while one job runs; the keep box is offered
// for the options that find the handset in normal operation.
void CDialogSwDownload::FollowJob(OperationRunner::Turn turn)
{
    if (turn == OperationRunner::Turn::Idle)
        FollowOption();
    if (turn != OperationRunner::Turn::Own)
        return;
    if (m_job == Job::Rebuild)
        m_ui->buttonStart->setEnabled(false);
    else if (m_job != Job::None)
        m_ui->buttonRebuild->setEnabled(false);
}

void CDialogSwDownload::FollowOption()
{
    const int index = m_ui->comboOption->currentIndex();
    const std::optional<DownloadOption> option = DownloadOption::Of(index);
    const bool normal = option && option->switchToDownloadMode;
    if (normal)
        m_normalOption = index;
    m_ui->checkKeepSettings->setChecked(normal && m_keepWanted);
    m_ui->checkKeepSettings->setEnabled(m_runner.CurrentTurn() == OperationRunner::Turn::Idle && normal);
}

void CDialogSwDownload::ReturnToNormalOption()
{
    const std::optional<DownloadOption> option = DownloadOption::Of(m_ui->comboOption->currentIndex());
    if (option && !option->switchToDownloadMode)
        m_ui->comboOption->setCurrentIndex(m_normalOption);
}

void CDialogSwDownload::ShowReady()
{
    m_ui->progressDownload->SetWindowText(QLatin1String(sw::kReady));
    m_ui->labelTransfer->clear();
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
    if (message.number != engine::kMsgDownload && message.number != engine::kMsgNam)
        return;
    if (message.outcome != OperationMessage::Outcome::None) {
        if (message.number == engine::kMsgNam)
            OnSettingsEnded(message);
        else
            OnDownloadEnded(message);
        return;
    }
    if (message.kind == engine::kDownloadProgress || message.kind == engine::kNamProgress)
        ShowProgress(message);
    else if (message.kind == engine::kDownloadStatus)
        ShowStep(message);
}

void CDialogSwDownload::ShowStep(const OperationMessage& message)
{
    if (message.text.empty())
        return;
    m_step = QString::fromStdString(message.text);
    SendHostLine(PluginAbi::kStatusLine, m_step);
}

void CDialogSwDownload::OnDownloadEnded(const OperationMessage& end)
{
    if (end.outcome == OperationMessage::Outcome::Succeeded)
        ReturnToNormalOption();
    const QString text = QString::fromStdString(end.text);
    if (m_job != Job::Download || !m_keeping || end.outcome != OperationMessage::Outcome::Succeeded) {
        EndWith(text, EndIcon(end));
        return;
    }
    m_flashEnd = text;
    // The flash identified the handset again as it came back.
    if (ServiceRecord* record = m_runner.Record())
        OperationRecord::TakeFlashEnd(*record, end.text);
    GoOnAfter(Job::WriteBack, QLatin1String(sw::kWritingBack), SettingsStep(&NamTransfer::NamWriteWorker),
              OperationRunner::Then::Ends);
}

void CDialogSwDownload::OnSettingsEnded(const OperationMessage& end)
{
    const QString text = QString::fromStdString(end.text);
    const bool succeeded = end.outcome == OperationMessage::Outcome::Succeeded;
    if (m_job == Job::ReadToKeep && succeeded) {
        m_keptEsn = Context().EsnText();
        if (ServiceRecord* record = m_runner.Record())
            OperationRecord::TakeKeptSettings(*record, *Context().NvDocument());
        GoOnAfter(Job::Download, QString(), DownloadBody(), OperationRunner::Then::GoesOn);
        return;
    }
    if (m_job == Job::ReadToKeep) {
        EndWith(QLatin1String(sw::kNotFlashed) + text, QMessageBox::Warning);
        return;
    }
    if (succeeded)
        EndWith(m_flashEnd + QLatin1String(sw::kWrittenBack), QMessageBox::Information);
    else
        EndWith(m_flashEnd + QLatin1String(sw::kNotWrittenBack) + text + QLatin1String(sw::kUndoHint), QMessageBox::Warning);
}

void CDialogSwDownload::EndWith(const QString& text, QMessageBox::Icon icon)
{
    Stop();
    m_flashEnd.clear();
    ShowMessage(text, icon);
}

// The download's bar runs over all its passes; the rebuild reports no
// amounts and shows its own percentage.
void CDialogSwDownload::ShowProgress(const OperationMessage& message)
{
    m_transfer.Add(message);
    ShowPercent(m_transfer.Started() ? m_transfer.Percent() : message.value);
    if (!m_transfer.Started())
        return;
    const QString transfer = QString::fromStdString(m_transfer.Text());
    m_ui->labelTransfer->setText(transfer);
    SendHostLine(PluginAbi::kStatusLine, m_step + QLatin1String(sw::kStepAndTransfer) + transfer);
}

void CDialogSwDownload::ShowPercent(int percent)
{
    const int seconds = static_cast<int>(m_started.elapsed() / 1000);
    m_ui->progressDownload->SetWindowText(QString::asprintf(sw::kElapsedFormat, seconds, percent));
    m_ui->progressDownload->SetPos(percent);
    m_ui->progressDownload->update();
}

void CDialogSwDownload::TellWhereLeft()
{
    if (!DownloadModeNotes::Instance().Remembered(Context().HandsetSlot()))
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
    dialog.setDirectory(SoftwareImages::Folder());
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
