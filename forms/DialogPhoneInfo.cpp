#include "forms/DialogPhoneInfo.h"

#include <QMessageBox>
#include <chrono>

#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/PhoneInfoRead.h"
#include "forms/PhoneInfoConstants.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"
#include "plugin/HostNotifier.h"
#include "plugin/PortSetting.h"
#include "plugin/PortStore.h"
#include "plugin/SerialDeviceListing.h"
#include "ui_DialogPhoneInfo.h"
#include "widgets/Print.h"

namespace pi = PhoneInfoConstants;

namespace {
OperationContext& Context()
{
    return OperationContext::Instance();
}

void SendHostLine(int line, const QString& text)
{
    HostNotifier::Instance().Send(line, text.toStdString());
}

std::string DocumentText(int which)
{
    NvDoc* doc = Context().NvDocument();
    return doc ? doc->GetText(which) : std::string();
}
} // namespace

CDialogPhoneInfo::CDialogPhoneInfo(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogPhoneInfo>())
    , m_bridge([this](const OperationMessage& message) { OnOperationMessage(message); })
{
    m_ui->setupUi(this);
    connect(m_ui->buttonRead, &CCommandButton::Click, this, &CDialogPhoneInfo::OnButtonClick);
    m_portSearch.setSingleShot(true);
    connect(&m_portSearch, &QTimer::timeout, this, &CDialogPhoneInfo::OnPortSearchTick);
    PortStore::LoadPortNumber();
}

CDialogPhoneInfo::~CDialogPhoneInfo()
{
    PortStore::SavePortNumber();
    if (m_worker.Running())
        m_worker.Stop(); // the destructor of the worker waits the moment it needs to end
    if (Context().Target() == &m_bridge)
        Context().SetTarget(nullptr);
}

CSpreadSheet& CDialogPhoneInfo::Grid() const
{
    return *m_ui->gridInfo;
}

QString CDialogPhoneInfo::ButtonCaption() const
{
    return m_ui->buttonRead->GetWindowText();
}

bool CDialogPhoneInfo::ButtonEnabled() const
{
    return m_ui->buttonRead->isEnabled();
}

bool CDialogPhoneInfo::Busy() const
{
    return m_ui->animationBusy->isVisible() && m_ui->animationBusy->IsPlaying();
}

void CDialogPhoneInfo::OnInitialUpdate()
{
    ShowLogoForToolType(*m_ui->picture);
    StyleTitle(*m_ui->labelTitle);
    m_ui->animationBusy->Stop();
    m_ui->animationBusy->hide();
    LayOutGrid();
    SearchPort();
}

void CDialogPhoneInfo::OnLaterShow()
{
    int state = Context().OperationState();
    m_ui->buttonRead->setEnabled(state == OperationContext::kIdle || state == OperationContext::kPhoneInfo);
}

void CDialogPhoneInfo::LayOutGrid()
{
    CSpreadSheet& grid = Grid();
    grid.SetNumberOfColumns(pi::kColumns);
    grid.SetNumberOfRows(pi::kRows);
    grid.SetColumnWidth(1, pi::kLabelColumnWidth);
    grid.SetColumnWidth(2, pi::kInfoColumnWidth);
    for (int row = 1; row <= pi::kRows; ++row)
        grid.SetRowHeight(row, pi::kRowHeight);
    grid.SetActiveRow(0);
    for (int i = 0; QString(pi::kHeaders[i]) != pi::kListEnd; ++i) {
        grid.SetActiveColumn(i + 1);
        grid.SetCellText(pi::kHeaders[i]);
    }
    grid.SetActiveColumn(1);
    for (int i = 0; QString(pi::kRowLabels[i]) != pi::kListEnd; ++i) {
        grid.SetActiveRow(i + 1);
        grid.SetCellText(pi::kRowLabels[i]);
    }
}

void CDialogPhoneInfo::SendPortLine(uint8_t port)
{
    SendHostLine(PluginAbi::kPortLine, QString::asprintf(pi::kPortConnected, port));
}

void CDialogPhoneInfo::SearchPort()
{
    uint8_t found = SerialDeviceListing::FindHandsetPort();
    if (Context().SelectedPort() == 0 && found == 0)
        RunPortSettingDialog();
    if (found != 0) {
        Context().SetSelectedPort(found);
        SendPortLine(found);
        return;
    }
    SendHostLine(PluginAbi::kPortLine, pi::kDisconnected);
    StartPortSearch();
}

void CDialogPhoneInfo::StartPortSearch()
{
    auto period = std::chrono::duration_cast<std::chrono::milliseconds>(Pacing::Instance().Scaled(pi::kPortSearchPeriodMs));
    m_portSearch.start(std::max<std::chrono::milliseconds>(period, std::chrono::milliseconds(1)));
}

void CDialogPhoneInfo::OnPortSearchTick()
{
    m_portSearch.stop();
    TRACE("\n Port Searching");
    if (uint8_t found = SerialDeviceListing::FindHandsetPort()) {
        Context().SetSelectedPort(found);
        SendPortLine(found);
        return;
    }
    StartPortSearch();
}

void CDialogPhoneInfo::OnButtonClick()
{
    QString caption = ButtonCaption();
    Context().SetOperationState(OperationContext::kPhoneInfo);
    if (caption == pi::kReadCaption)
        StartRead();
    else if (AskStop())
        StopWorker();
}

void CDialogPhoneInfo::StartRead()
{
    Context().SetTarget(&m_bridge);
    // Without a thread nothing was started: the view stays idle and free
    // for the next click, and no other view is kept waiting.
    if (!m_worker.Start(&PhoneInfoRead::Run)) {
        Context().SetOperationState(OperationContext::kIdle);
        return;
    }
    m_ui->animationBusy->show();
    m_ui->animationBusy->Play();
    m_statusText = pi::kReadingStatus;
    SendHostLine(PluginAbi::kStatusLine, m_statusText);
    m_ui->buttonRead->SetWindowText(pi::kStopCaption);
}

void CDialogPhoneInfo::StopWorker()
{
    m_ui->animationBusy->Stop();
    m_ui->animationBusy->hide();
    m_ui->buttonRead->SetWindowText(pi::kReadCaption);
    if (!m_worker.Running())
        return;
    m_worker.Stop();
    Context().SetOperationState(OperationContext::kIdle);
}

void CDialogPhoneInfo::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != engine::kMsgPhoneInfo)
        return;
    switch (message.kind) {
    case engine::kPhoneInfoResult:
        FillGrid();
        SendHostLine(PluginAbi::kPhoneLine, QString(pi::kEsnPrefix) + QString::fromStdString(DocumentText(NvDoc::kEsn)));
        break;
    case engine::kPhoneInfoFinished:
        StopWorker();
        if (!message.text.empty())
            ShowMessage(QString::fromStdString(message.text));
        break;
    case engine::kPhoneInfoStatus:
        if (!message.text.empty())
            SendHostLine(PluginAbi::kStatusLine, QString::fromStdString(message.text));
        break;
    default:
        break;
    }
}

void CDialogPhoneInfo::FillGrid()
{
    CSpreadSheet& grid = Grid();
    grid.SetActiveColumn(2);
    grid.SetActiveRow(1);
    grid.SetCellText(QString::fromStdString(DocumentText(NvDoc::kSoftwareVersion)));
    grid.SetActiveRow(2);
    grid.SetCellText(QString::fromStdString(DocumentText(NvDoc::kHardwareVersion)));
}

bool CDialogPhoneInfo::OnCommand(int command)
{
    if (command != pi::kCommandPrint)
        return false;
    Grid().SetPrintLayout(pi::kPrintLayout);
    RunPrintDialog();
    return true;
}

bool CDialogPhoneInfo::AskStop()
{
    return QMessageBox::question(this, windowTitle(), pi::kStopQuestion, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CDialogPhoneInfo::ShowMessage(const QString& text)
{
    QMessageBox::information(this, windowTitle(), text, QMessageBox::Ok);
}

void CDialogPhoneInfo::RunPortSettingDialog()
{
    PortSetting dialog(this);
    dialog.exec();
}

void CDialogPhoneInfo::RunPrintDialog()
{
    CPrint dialog(this);
    dialog.AttachGrid(&Grid());
    dialog.exec();
}
