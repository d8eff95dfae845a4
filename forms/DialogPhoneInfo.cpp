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
#include "forms/PortChoice.h"
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
    connect(&m_listingWatch, &QTimer::timeout, this, &CDialogPhoneInfo::FollowListing);
    KeepPlaceWhenHidden(*m_ui->animationBusy);
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

// The port of the last run is held while its device is there; else the
// search takes the handset when exactly one is listed.
void CDialogPhoneInfo::SearchPort()
{
    const uint8_t stored = Context().SelectedPort();
    m_seenChoice = stored;
    if (stored != 0 && PortChoice::Present(stored)) {
        Hold(stored);
    } else {
        if (stored == 0 && SerialDeviceListing::HandsetPorts(SerialDeviceListing::List()).empty())
            RunPortSettingDialog();
        SendHostLine(PluginAbi::kPortLine, pi::kDisconnected);
        FollowListing();
    }
    m_listingWatch.start(SearchPeriod());
}

void CDialogPhoneInfo::FollowListing()
{
    FollowTechniciansChoice();
    if (m_heldPort != 0) {
        ShowPresence(PortChoice::Present(m_heldPort));
        return;
    }
    TRACE("\n Port Searching");
    SearchAmong(SerialDeviceListing::HandsetPorts(SerialDeviceListing::List()));
}

void CDialogPhoneInfo::FollowTechniciansChoice()
{
    const uint8_t chosen = Context().SelectedPort();
    if (chosen != m_seenChoice && chosen != 0)
        Hold(chosen);
    m_seenChoice = chosen;
}

// On a bench the first handset listed is not the technician's: with several
// and none held, the window takes none and says how many there are.
void CDialogPhoneInfo::SearchAmong(const std::vector<uint8_t>& handsets)
{
    if (handsets.size() == 1) {
        Hold(handsets.front());
        return;
    }
    if (handsets.size() == m_listedCount)
        return;
    m_listedCount = handsets.size();
    if (m_listedCount > 1)
        SendHostLine(PluginAbi::kStatusLine, QString::fromLatin1(pi::kSeveralListedFormat).arg(m_listedCount));
}

// What the phone line shows stays beside its own port only: a read of
// another handset is no longer named there.
void CDialogPhoneInfo::Hold(uint8_t port)
{
    m_heldPort = port;
    m_seenChoice = port;
    m_present.reset();
    Context().SetSelectedPort(port);
    if (m_readPort != 0 && m_readPort != port) {
        ShowReadAsEarlier();
        SendHostLine(PluginAbi::kPhoneLine, QString());
    }
    ShowPresence(PortChoice::Present(port));
}

// "Connected" goes when the held handset does, and comes back with it.
void CDialogPhoneInfo::ShowPresence(bool present)
{
    if (m_present == present)
        return;
    m_present = present;
    if (present) {
        SendPortLine(m_heldPort);
        return;
    }
    ShowReadAsEarlier();
    SendHostLine(PluginAbi::kPortLine, pi::kDisconnected);
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
        m_readPort = Context().SelectedPort();
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
    FollowListing();
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
