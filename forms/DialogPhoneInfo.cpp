#include "forms/DialogPhoneInfo.h"

#include <QMessageBox>
#include <chrono>

#include "comm/BaseComm.h"
#include "comm/OpenFailureReason.h"
#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "engine/PhoneInfoRead.h"
#include "forms/FormConstants.h"
#include "forms/PhoneInfoConstants.h"
#include "forms/PortSetting.h"
#include "hostlink/HostNotifier.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"
#include "ports/PortStore.h"
#include "ports/SerialDeviceListing.h"
#include "ui_DialogPhoneInfo.h"
#include "widgets/ColorRef.h"
#include "widgets/WidgetConstants.h"

namespace corvanetov {

namespace pi = PhoneInfoConstants;

namespace {
std::chrono::milliseconds SearchPeriod()
{
    auto period = std::chrono::duration_cast<std::chrono::milliseconds>(Pacing::Instance().Scaled(pi::kPortSearchPeriodMs));
    return std::max<std::chrono::milliseconds>(period, std::chrono::milliseconds(1));
}

// Why the channel could not be opened, when that is what failed.
QString FailureDetail(const QString& error)
{
    BaseComm* channel = Context().Channel();
    if (error != engine::kErrCannotOpen || !channel)
        return {};
    return QString::fromStdString(OpenFailureReason::Text(*channel));
}
} // namespace

CDialogPhoneInfo::CDialogPhoneInfo(QWidget* parent)
    : CFormView(parent)
    , m_ui(std::make_unique<Ui::CDialogPhoneInfo>())
    , m_runner(*this, OperationContext::kPhoneInfo, [this](const OperationMessage& message) { OnOperationMessage(message); })
{
    m_ui->setupUi(this);
    m_runner.AddStartControl(m_ui->buttonRead);
    connect(m_ui->buttonRead, &CCommandButton::Click, this, &CDialogPhoneInfo::OnButtonClick);
    m_portSearch.setSingleShot(true);
    connect(&m_portSearch, &QTimer::timeout, this, &CDialogPhoneInfo::OnPortSearchTick);
    connect(&m_presenceWatch, &QTimer::timeout, this, &CDialogPhoneInfo::WatchHandset);
    // The animation comes and goes; its place stays, so the grid stays put.
    QSizePolicy keepPlace = m_ui->animationBusy->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_ui->animationBusy->setSizePolicy(keepPlace);
    Context().SetSelectedPort(PortStore::LoadPortNumber());
}

CDialogPhoneInfo::~CDialogPhoneInfo()
{
    PortStore::SavePortNumber(Context().SelectedPort());
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
}

void CDialogPhoneInfo::OnFirstShown()
{
    SearchPort();
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
    // What the handset said is shown and printed, never typed over.
    for (int column = 1; column <= pi::kColumns; ++column) {
        grid.SetActiveColumn(column);
        for (int row = 1; row <= pi::kRows; ++row) {
            grid.SetActiveRow(row);
            grid.SetCellType(WidgetConstants::kCellTypeReadOnly);
        }
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
        OnHandsetFound(found);
        return;
    }
    SendHostLine(PluginAbi::kPortLine, pi::kDisconnected);
    StartPortSearch();
}

void CDialogPhoneInfo::StartPortSearch()
{
    m_portSearch.start(SearchPeriod());
}

void CDialogPhoneInfo::OnPortSearchTick()
{
    m_portSearch.stop();
    TRACE("\n Port Searching");
    if (uint8_t found = SerialDeviceListing::FindHandsetPort()) {
        OnHandsetFound(found);
        return;
    }
    StartPortSearch();
}

// The search ends once the handset is listed; from then on the view watches
// the listing at the same pace, so that "Connected" goes when the handset does.
void CDialogPhoneInfo::OnHandsetFound(uint8_t port)
{
    m_listedPort = port;
    Context().SetSelectedPort(port);
    SendPortLine(port);
    m_presenceWatch.start(SearchPeriod());
}

void CDialogPhoneInfo::WatchHandset()
{
    const uint8_t listed = SerialDeviceListing::FindHandsetPort();
    if (listed == m_listedPort)
        return;
    if (listed == 0) {
        OnHandsetGone();
        return;
    }
    // Another handset, listed under another name.
    ShowReadAsEarlier();
    OnHandsetFound(listed);
}

void CDialogPhoneInfo::OnHandsetGone()
{
    m_presenceWatch.stop();
    m_listedPort = 0;
    ShowReadAsEarlier();
    SendHostLine(PluginAbi::kPortLine, pi::kDisconnected);
    StartPortSearch();
}

void CDialogPhoneInfo::OnButtonClick()
{
    if (!m_runner.Running()) {
        // Until this read succeeds, what is shown is the last one's.
        ShowReadAsEarlier();
        StartRead();
    } else if (m_runner.Stop()) {
        ShowIdle();
    }
}

void CDialogPhoneInfo::StartRead()
{
    // Without a thread nothing was started: the view stays idle and free
    // for the next click, and no other view is kept waiting.
    if (!m_runner.Start(&PhoneInfoRead::Run))
        return;
    m_ui->animationBusy->show();
    m_ui->animationBusy->Play();
    m_statusText = pi::kReadingStatus;
    SendHostLine(PluginAbi::kStatusLine, m_statusText);
    m_ui->buttonRead->SetWindowText(pi::kStopCaption);
}

void CDialogPhoneInfo::ShowIdle()
{
    m_ui->animationBusy->Stop();
    m_ui->animationBusy->hide();
    m_ui->buttonRead->SetWindowText(pi::kReadCaption);
}

void CDialogPhoneInfo::OnOperationMessage(const OperationMessage& message)
{
    if (message.number != engine::kMsgPhoneInfo)
        return;
    switch (message.kind) {
    case engine::kPhoneInfoResult:
        FillGrid();
        m_shownEsn = QString::fromStdString(DocumentText(NvDoc::kEsn));
        ShowReadAsCurrent();
        break;
    case engine::kPhoneInfoFinished:
        OnReadFinished(QString::fromStdString(message.text));
        break;
    case engine::kPhoneInfoStatus:
        if (!message.text.empty())
            SendHostLine(PluginAbi::kStatusLine, QString::fromStdString(message.text));
        break;
    default:
        break;
    }
}

// The runner has ended the worker inside its report. A failed read leaves
// the grid as it was, already shown as the earlier read's; the status line
// and the port line say what happened instead of "Reading Phone Info" and
// "Connected".
void CDialogPhoneInfo::OnReadFinished(const QString& error)
{
    const QString detail = FailureDetail(error);
    ShowIdle();
    if (error.isEmpty())
        return;
    SendHostLine(PluginAbi::kStatusLine, QString(error).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    if (m_presenceWatch.isActive())
        WatchHandset();
    ShowMessage(error, detail);
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

QString CDialogPhoneInfo::ReadTimeText() const
{
    return m_ui->labelReadTime->text();
}

void CDialogPhoneInfo::ShowReadAsCurrent()
{
    m_lastRead = QTime::currentTime();
    m_showsEarlierRead = false;
    m_ui->labelReadTime->setText(QString(pi::kReadAtFormat).arg(LastReadClock()));
    SetValueColor(ColorRefFromColor(Grid().palette().color(QPalette::Text)));
    SendHostLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + m_shownEsn);
}

// Results stay, as the system keeps them, but marked: greyed, with the time
// of the read they come from, here and in the phone line.
void CDialogPhoneInfo::ShowReadAsEarlier()
{
    if (m_lastRead.isNull() || m_showsEarlierRead)
        return;
    m_showsEarlierRead = true;
    const QString time = LastReadClock();
    m_ui->labelReadTime->setText(QString(pi::kLastReadFormat).arg(time));
    SetValueColor(pi::kEarlierReadTextColor);
    SendHostLine(PluginAbi::kPhoneLine, QString(pi::kEsnLastReadFormat).arg(FormConstants::kEsnPrefix + m_shownEsn, time));
}

QString CDialogPhoneInfo::LastReadClock() const
{
    return m_lastRead.toString(QLatin1String(pi::kReadTimeFormat));
}

void CDialogPhoneInfo::SetValueColor(uint32_t colorRef)
{
    CSpreadSheet& grid = Grid();
    grid.SetActiveColumn(2);
    for (int row = 1; row <= pi::kRows; ++row) {
        grid.SetActiveRow(row);
        grid.SetCellTextColor(colorRef);
    }
}

bool CDialogPhoneInfo::OnCommand(int command)
{
    if (command != int(PluginAbi::kCommandPrint))
        return false;
    Grid().SetPrintLayout(pi::kPrintLayout);
    RunPrintDialog();
    return true;
}

void CDialogPhoneInfo::ShowMessage(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

void CDialogPhoneInfo::RunPortSettingDialog()
{
    PortSetting dialog(this);
    dialog.exec();
}

void CDialogPhoneInfo::RunPrintDialog()
{
    ShowPrintDialog(Grid());
}

} // namespace corvanetov
