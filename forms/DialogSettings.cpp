#include "forms/DialogSettings.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "forms/FormConstants.h"
#include "forms/SettingsConstants.h"
#include "history/OperationRecord.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "nv/SettingsFile.h"
#include "hostlink/PluginAbi.h"
#include "ui_DialogSettings.h"
#include "widgets/SpreadSheet.h"
#include "widgets/WidgetConstants.h"

namespace corvanetov {

namespace sc = SettingsConstants;

CDialogSettings::CDialogSettings(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogSettings>())
    , m_runner(*this, OperationContext::kSettings, [this](const OperationMessage& message) { OnOperationMessage(message); })
{
    m_ui->setupUi(this);
    for (QWidget* control : std::initializer_list<QWidget*>{m_ui->buttonReadPhone, m_ui->buttonOpenMmc, m_ui->buttonWritePhone,
                                                             m_ui->buttonSaveMmc, m_ui->gridSettings})
        m_runner.AddIdleControl(control);
    connect(m_ui->buttonReadPhone, &CCommandButton::Click, this, &CDialogSettings::OnReadFromPhone);
    connect(m_ui->buttonOpenMmc, &CCommandButton::Click, this, &CDialogSettings::OnOpenMmcFile);
    connect(m_ui->buttonWritePhone, &CCommandButton::Click, this, &CDialogSettings::OnWriteToPhone);
    connect(m_ui->buttonSaveMmc, &CCommandButton::Click, this, &CDialogSettings::OnSaveMmcFile);
    connect(m_ui->gridSettings, &CSpreadSheet::CellChanged, this, &CDialogSettings::OnCellChanged);
    connect(m_ui->treeGroups, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* entry) { OnTreeSelectionChanged(entry); });
}

CDialogSettings::~CDialogSettings() = default;

CSpreadSheet& CDialogSettings::Grid() const
{
    return *m_ui->gridSettings;
}

CTextProgressCtrl& CDialogSettings::ProgressBar() const
{
    return *m_ui->progressSettings;
}

QTreeWidgetItem* CDialogSettings::NamEntry() const
{
    return m_ui->treeGroups->topLevelItem(0);
}

QString CDialogSettings::GroupLabel() const
{
    return m_ui->labelGroup->text();
}

bool CDialogSettings::ControlsEnabled() const
{
    return m_ui->buttonReadPhone->isEnabled() && m_ui->buttonOpenMmc->isEnabled() && m_ui->buttonWritePhone->isEnabled()
        && m_ui->buttonSaveMmc->isEnabled() && m_ui->gridSettings->isEnabled();
}

void CDialogSettings::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    // The grid passes its focus on to the table inside it.
    m_ui->labelGroup->setBuddy(Grid().focusProxy());
    StyleTitle(*m_ui->labelTitle);
    m_ui->buttonSpeedDial->hide();
    // Checked from the start, so that a file opened, edited and saved keeps
    // the edits unless the user clears the group.
    auto* nam = new QTreeWidgetItem(m_ui->treeGroups, QStringList(QString(sc::kNamEntry)));
    nam->setFlags(nam->flags() | Qt::ItemIsUserCheckable);
    nam->setCheckState(0, Qt::Checked);
    LayOutGrid();
    ShowGroup();
    ShowReady();
}

void CDialogSettings::LayOutGrid()
{
    CSpreadSheet& grid = Grid();
    grid.SetNumberOfColumns(sc::kColumns);
    grid.SetNumberOfRows(sc::kRows);
    grid.SetColumnWidth(sc::kNameColumn, sc::kNameColumnWidth);
    grid.SetColumnWidth(sc::kValueColumn, sc::kValueColumnWidth);
    grid.SetActiveRow(0);
    for (int column = 1; column <= sc::kColumns; ++column) {
        grid.SetActiveColumn(column);
        grid.SetCellText(sc::kHeaders[column - 1]);
    }
}

void CDialogSettings::ShowGroup()
{
    Grid().show();
    m_ui->labelGroup->SetText(sc::kNamLabel)
        .SetFontSize(sc::kGroupLabelFontSize)
        .SetFontBold(true)
        .SetTextColor(sc::kGroupLabelTextColor)
        .SetBkColor(sc::kGroupLabelBkColor)
        .SetFontItalic(false);
}

void CDialogSettings::OnTreeSelectionChanged(QTreeWidgetItem* entry)
{
    if (entry && entry->text(0) == sc::kNamEntry)
        ShowGroup();
}

void CDialogSettings::TakeRequestedGroups()
{
    m_requested.fill(0);
    if (QTreeWidgetItem* nam = NamEntry())
        m_requested[nv::kNamGroup] = nam->checkState(0) == Qt::Checked ? 1 : 0;
}

void CDialogSettings::ShowReady()
{
    ProgressBar().SetWindowText(sc::kReady);
    ProgressBar().SetPos(0);
    ProgressBar().update();
}

void CDialogSettings::OnReadFromPhone()
{
    ShowReady();
    m_mode = 0;
    TakeRequestedGroups();
    m_requested[nv::kNamGroup] = 1;
    StartTransfer(m_readList, &NamTransfer::NamReadWorker);
}

// Nothing reaches the handset unless every value goes as the grid shows it
// and the user has seen what changes.
void CDialogSettings::OnWriteToPhone()
{
    m_mode = 0;
    TakeRequestedGroups();
    if (!m_dataPresent) {
        ShowMessage(sc::kWriteBeforeData, QMessageBox::Warning);
        return;
    }
    NvDoc* doc = Context().NvDocument();
    if (!doc)
        return;
    const SettingsValues values = GridValues();
    const auto refusals = SettingsCatalogue::Refusals(values, SettingsCatalogue::Rules::Write);
    if (!MarkRefusals(refusals)) {
        ShowMessage(sc::kNothingWritten, QMessageBox::Warning, QString::fromStdString(SettingsCatalogue::Joined(refusals)));
        return;
    }
    if (!ConfirmWrite(values))
        return;
    if (std::string fault = SettingsCatalogue::ValidatedStore(values, *doc); !fault.empty()) {
        ShowMessage(sc::kNothingWritten, QMessageBox::Warning, QString::fromStdString(fault));
        return;
    }
    SendHostLine(PluginAbi::kStatusLine, sc::kWritingStatus);
    ShowReady();
    m_requested[nv::kNamGroup] = 1;
    // What the write replaces is read first, into the document, as the
    // record's snapshot: Service history can then undo the write.
    m_toWrite = doc->Snapshot();
    m_readingToKeep = StartTransfer(m_readList, &NamTransfer::NamReadWorker, OperationRunner::Then::GoesOn);
}

void CDialogSettings::OnReadToKeepEnded(const OperationMessage& end)
{
    m_readingToKeep = false;
    NvDoc* doc = Context().NvDocument();
    const bool read = end.outcome == OperationMessage::Outcome::Succeeded && doc;
    ServiceRecord* record = m_runner.Record();
    if (read && record)
        OperationRecord::TakeKeptSettings(*record, *doc);
    if (doc)
        doc->Load(m_toWrite.data(), m_toWrite.size());
    QString refusal = QString(sc::kNotReadToKeep) + QString::fromStdString(end.text);
    if (read) {
        // Only into the handset whose settings the snapshot keeps.
        if (m_runner.Continue(TransferBody(m_writeList, &NamTransfer::NamWriteWorker, Context().EsnText())))
            return;
        refusal = QString(sc::kNotReadToKeep) + sc::kNoThread;
    }
    OnOperationEnd();
    ShowMessage(refusal, QMessageBox::Warning);
}

bool CDialogSettings::ConfirmWrite(const SettingsValues& values)
{
    QStringList changes;
    for (int row : SettingsCatalogue::ChangedRows(m_source, values))
        changes << QString(sc::kChangeFormat)
                       .arg(QString::fromStdString(SettingsCatalogue::RowName(row)),
                            QString::fromStdString(SettingsCatalogue::Value(m_source, row)),
                            QString::fromStdString(SettingsCatalogue::Value(values, row)));
    return Ask(sc::kWriteQuestion, changes.isEmpty() ? QString(sc::kNoChanges) : changes.join(QLatin1Char('\n')));
}

// Without a thread nothing runs: the controls stay enabled and the
// operation state idle.
bool CDialogSettings::StartTransfer(NVList& list, void (*worker)(NamTransferRequest), OperationRunner::Then then)
{
    // A read that goes on is a write's.
    const bool writes = worker == &NamTransfer::NamWriteWorker || then == OperationRunner::Then::GoesOn;
    if (!m_runner.Start(TransferBody(list, worker), writes ? "settings write" : "settings read", then))
        return false;
    m_started.start();
    return true;
}

std::function<void()> CDialogSettings::TransferBody(NVList& list, void (*worker)(NamTransferRequest), const std::string& esn)
{
    const NamTransferRequest request{SettingsCatalogue::QueueNamItems(list), &m_readList, &m_writeList, m_mode, esn};
    return [worker, request] { worker(request); };
}

void CDialogSettings::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != engine::kMsgNam)
        return;
    const QString text = QString::fromStdString(message.text);
    switch (message.kind) {
    case engine::kNamProgress:
        // The read before a write leaves the grid as the user made it.
        if (!m_readingToKeep)
            OnProgress(message.value);
        break;
    case engine::kNamEnd:
        OnOperationEnd();
        ShowMessage(text, EndIcon(message));
        break;
    case engine::kNamReadDone:
        if (m_readingToKeep) {
            OnReadToKeepEnded(message);
            break;
        }
        OnOperationEnd();
        for (int group = 0; group < nv::kGroupCount; ++group)
            if (m_loaded[group] == 0)
                m_loaded[group] = m_requested[group];
        ShowMessage(text, EndIcon(message));
        break;
    case engine::kNamStatus:
        if (!text.isEmpty())
            SendHostLine(PluginAbi::kStatusLine, text);
        break;
    default:
        break;
    }
}

void CDialogSettings::OnProgress(int32_t percent)
{
    const auto seconds = static_cast<int>(m_started.elapsed() / 1000);
    ProgressBar().SetWindowText(QString::asprintf(sc::kElapsedFormat, seconds, percent));
    ProgressBar().SetPos(percent);
    ProgressBar().update();
    if (percent == engine::kFullPercent) {
        FillGrid();
        m_dataPresent = true;
    }
}

// The runner has ended the worker and freed the controls inside the report.
void CDialogSettings::OnOperationEnd()
{
    ShowReady();
    SendEsnLine();
}

void CDialogSettings::FillGrid()
{
    NvDoc* doc = Context().NvDocument();
    if (!doc)
        return;
    const SettingsValues values = SettingsCatalogue::Fill(*doc);
    FillRow(SettingsCatalogue::kLockCodeRow, QString::fromStdString(values.lockCode));
    FillRow(SettingsCatalogue::kUimLockCodeRow, QString::fromStdString(values.uimLockCode));
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        FillRow(SettingsCatalogue::kFirstSidRow + k, QString::fromStdString(values.sids[k]));
    m_source = values;
    m_kept = values;
    MarkRefusals({});
}

// No length limit: a cell shows every character typed, and what the handset
// cannot take is refused with its reason rather than cut while typing.
void CDialogSettings::FillRow(int row, const QString& value)
{
    CSpreadSheet& grid = Grid();
    grid.SetActiveRow(row);
    grid.SetActiveColumn(sc::kNameColumn);
    grid.SetCellText(QString::fromStdString(SettingsCatalogue::RowName(row)));
    grid.SetActiveColumn(sc::kValueColumn);
    grid.SetCellText(value);
}

bool CDialogSettings::MarkRefusals(const std::vector<SettingsCatalogue::Refusal>& refusals)
{
    for (int row = SettingsCatalogue::kLockCodeRow; row <= SettingsCatalogue::kItemRows; ++row)
        MarkRow(row, std::any_of(refusals.begin(), refusals.end(), [row](const auto& refusal) { return refusal.row == row; }));
    return refusals.empty();
}

void CDialogSettings::MarkRow(int row, bool refused)
{
    const bool readOnly = row == SettingsCatalogue::kLockCodeRow && Context().ToolType() != 0;
    CSpreadSheet& grid = Grid();
    grid.SetActiveRow(row);
    grid.SetActiveColumn(sc::kValueColumn);
    if (readOnly && !refused) {
        StyleReadOnly();
        return;
    }
    grid.SetCellBackgroundColor(refused ? sc::kRefusedBackColor : sc::kValueBackColor);
}

// A mark goes as soon as the cell holds a value the handset takes.
void CDialogSettings::OnCellChanged(int column, int row)
{
    if (column == sc::kValueColumn && SettingsCatalogue::CheckRow(row, ValueText(row).toStdString()).empty())
        MarkRow(row, false);
}

bool CDialogSettings::HasUnsavedEdits() const
{
    return m_dataPresent && !SettingsCatalogue::ChangedRows(m_kept, GridValues()).empty();
}

// A tool of a nonzero type shows the lock code without letting it be typed
// over; the code is still written.
void CDialogSettings::StyleReadOnly()
{
    CSpreadSheet& grid = Grid();
    grid.SetActiveRow(SettingsCatalogue::kLockCodeRow);
    grid.SetActiveColumn(sc::kValueColumn);
    grid.SetCellType(WidgetConstants::kCellTypeReadOnly);
    grid.SetCellTextColor(WidgetConstants::kReadOnlyTextColor);
    grid.SetCellBackgroundColor(WidgetConstants::kReadOnlyBackColor);
}

QString CDialogSettings::ValueText(int row) const
{
    CSpreadSheet& grid = Grid();
    grid.SetActiveRow(row);
    grid.SetActiveColumn(sc::kValueColumn);
    return grid.GetCellText();
}

SettingsValues CDialogSettings::GridValues() const
{
    SettingsValues values;
    values.lockCode = ValueText(SettingsCatalogue::kLockCodeRow).toStdString();
    values.uimLockCode = ValueText(SettingsCatalogue::kUimLockCodeRow).toStdString();
    for (int k = 0; k < nv::kNetworkLockEntries; ++k)
        values.sids[k] = ValueText(SettingsCatalogue::kFirstSidRow + k).toStdString();
    return values;
}

QString CDialogSettings::SettingsFolder()
{
    return QDir::current().filePath(sc::kSettingsFolder);
}

void CDialogSettings::OnOpenMmcFile()
{
    TakeRequestedGroups();
    NvDoc* doc = Context().NvDocument();
    if (HasUnsavedEdits() && !Ask(sc::kOpenOverEdits, {}))
        return;
    const QString path = AskOpenPath(SettingsFolder());
    if (path.isEmpty() || !doc)
        return;
    if (!ReadSettingsFile(path, *doc))
        return;
    m_dataPresent = true;
    for (int group = 0; group < nv::kGroupCount; ++group)
        m_loaded[group] = doc->ReadU32(nv::kGroupFlagsOffset + sizeof(uint32_t) * group);
    FillGrid();
}

bool CDialogSettings::ReadSettingsFile(const QString& path, NvDoc& doc)
{
    std::string notice;
    switch (SettingsFile::Read(QFile::encodeName(path).toStdString(), doc, &notice)) {
    case SettingsFile::ReadResult::Ok:
        if (!notice.empty())
            ShowMessage(QString::fromStdString(notice), QMessageBox::Information);
        return true;
    case SettingsFile::ReadResult::InvalidModel:
        ShowMessage(nv::kInvalidMmcFile, QMessageBox::Warning);
        ShowMessage(nv::kCannotReadMmcFile, QMessageBox::Critical);
        return false;
    case SettingsFile::ReadResult::CannotOpen:
        ShowMessage(nv::kCannotReadMmcFile, QMessageBox::Critical, QString::fromStdString(notice));
        return false;
    }
    return false;
}

// The grid goes into the document before the dialog opens, so it is stored
// there even when the user then cancels.
void CDialogSettings::OnSaveMmcFile()
{
    if (!m_dataPresent) {
        ShowMessage(sc::kSaveBeforeData, QMessageBox::Critical);
        return;
    }
    NvDoc* doc = Context().NvDocument();
    if (!doc)
        return;
    for (int group = 0; group < nv::kGroupCount; ++group)
        if (m_loaded[group] == 0)
            m_requested[group] = 0;
    if (m_loaded[nv::kNamGroup] == 0 && NamEntry())
        NamEntry()->setCheckState(0, Qt::Unchecked);
    const SettingsValues values = GridValues();
    const auto refusals = SettingsCatalogue::Refusals(values, SettingsCatalogue::Rules::Storable);
    if (m_requested[nv::kNamGroup] != 0 && !MarkRefusals(refusals)) {
        ShowMessage(sc::kNothingSaved, QMessageBox::Warning, QString::fromStdString(SettingsCatalogue::Joined(refusals)));
        return;
    }
    SettingsCatalogue::PlainStore(values, *doc, m_requested[nv::kNamGroup] != 0);
    for (int group = 0; group < nv::kGroupCount; ++group)
        doc->WriteU32(nv::kGroupFlagsOffset + sizeof(uint32_t) * group, m_loaded[group]);
    // The model folder is where the dialogs look first: it is made on the
    // first save.
    QDir().mkpath(SettingsFolder());
    const QString path = AskSavePath(SettingsFolder());
    if (!path.isEmpty() && WriteSettingsFile(path, *doc))
        m_kept = values;
}

bool CDialogSettings::WriteSettingsFile(const QString& path, const NvDoc& doc)
{
    std::string reason;
    if (!SettingsFile::Write(QFile::encodeName(path).toStdString(), doc, reason)) {
        ShowMessage(nv::kFailToWrite, QMessageBox::Critical, QString::fromStdString(reason));
        return false;
    }
    SendHostLine(PluginAbi::kStatusLine, QString(sc::kSavedFormat).arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    return true;
}

bool CDialogSettings::OnCommand(int command)
{
    switch (command) {
    case PluginAbi::kCommandPrint:
        Grid().SetPrintLayout(WidgetConstants::kPrintLayoutPortrait);
        RunPrintDialog();
        return true;
    case PluginAbi::kCommandCopy:
        Grid().SetAction(WidgetConstants::kActionCopy);
        return true;
    // What a running operation shows is not edited under it.
    case PluginAbi::kCommandCut:
        if (Grid().isEnabled())
            Grid().SetAction(WidgetConstants::kActionCut);
        return true;
    case PluginAbi::kCommandPaste:
        if (Grid().isEnabled())
            Grid().SetAction(WidgetConstants::kActionPaste);
        return true;
    default:
        return false;
    }
}

void CDialogSettings::ShowMessage(const QString& text, QMessageBox::Icon icon, const QString& detail)
{
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

bool CDialogSettings::Ask(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Question, windowTitle(), text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(detail);
    return box.exec() == QMessageBox::Yes;
}

QString CDialogSettings::AskOpenPath(const QString& folder)
{
    return RunFileDialog(QFileDialog::AcceptOpen, folder, sc::kOpenFilter);
}

QString CDialogSettings::AskSavePath(const QString& folder)
{
    return RunFileDialog(QFileDialog::AcceptSave, folder, sc::kSaveFilter);
}

// A folder that is not there opens the dialog in the current folder.
QString CDialogSettings::RunFileDialog(QFileDialog::AcceptMode mode, const QString& folder, const char* filter)
{
    QFileDialog dialog(this, QString(), QDir(folder).exists() ? folder : QDir::currentPath(), filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(sc::kDefaultSuffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// The lock codes stay off paper unless the technician shows them.
void CDialogSettings::RunPrintDialog()
{
    ShowPrintDialog(Grid(), {SettingsCatalogue::kLockCodeRow, SettingsCatalogue::kUimLockCodeRow});
}

} // namespace corvanetov
