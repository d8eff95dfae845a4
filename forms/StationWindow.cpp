#include "forms/StationWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include "diag/DiagConstants.h"
#include "engine/OperationContext.h"
#include "forms/FormConstants.h"
#include "forms/StationJobChoice.h"
#include "hostlink/HostNotifier.h"
#include "platform/Pacing.h"
#include "station/DeviceWatcher.h"
#include "station/Station.h"
#include "widgets/Msl.h"
#include "widgets/TextProgressCtrl.h"

namespace corvanetov {

namespace {
constexpr char kTitle[] = "Station";
constexpr char kProgram[] = "corvanetov-cli";
constexpr char kSummaryFormat[] = "Station: %1 of %2 completed, %3 failed, %4 stopped, %5 s";
constexpr int kMinimumWidth = 760;
constexpr int kMinimumHeight = 400;
// Every column, the result too, without scrolling on a 1280-pixel screen.
constexpr int kDefaultWidth = 1200;
constexpr int kDefaultHeight = 560;
constexpr int kFull = 100;
constexpr int kBarWidth = 90;
// A step's words are long; the tip shows what is cut.
constexpr int kStepWidth = 200;
} // namespace

StationWindow::StationWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(QSize(kDefaultWidth, kDefaultHeight).boundedTo(screen()->availableGeometry().size()));
    auto* layout = new QVBoxLayout(this);
    m_choice = new StationJobChoice(this);
    layout->addWidget(m_choice);
    auto* buttons = new QHBoxLayout;
    m_once = new QCheckBox(tr("Only the handsets plugged in &now"), this);
    m_once->setChecked(true);
    m_start = new QPushButton(tr("&Start"), this);
    m_start->setDefault(true);
    m_stopAll = new QPushButton(tr("Stop &all"), this);
    buttons->addWidget(m_once);
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_stopAll);
    layout->addLayout(buttons);
    m_table = new QTableView(this);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_table, 1);
    m_listed = new QStandardItemModel(0, StationModel::ColumnCount, this);
    for (int column = 0; column < StationModel::ColumnCount; ++column)
        m_listed->setHorizontalHeaderItem(column, new QStandardItem(StationModel::Header(column)));
    m_table->setModel(m_listed);
    SizeColumns();
    m_listing = std::make_unique<DeviceWatcher>();
    connect(m_listing.get(), &DeviceWatcher::Listed, this, &StationWindow::ShowListed);
    m_listing->Start();
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    layout->addWidget(m_summary);
    connect(m_start, &QPushButton::clicked, this, &StationWindow::Start);
    connect(m_stopAll, &QPushButton::clicked, this, &StationWindow::StopAll);
    ShowRunning(false);
}

StationWindow::~StationWindow() = default;

QString StationWindow::CommandLineProgram()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kProgram));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QString::fromLatin1(kProgram));
}

bool StationWindow::AskCode(std::optional<QByteArray>& code)
{
    const uint8_t toolType = OperationContext::Instance().ToolType();
    if (toolType == 0 || !m_choice->NeedsCode())
        return true;
    CMsl dialog(diag::kMslLength, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    code = dialog.Code().toLatin1();
    return true;
}

void StationWindow::Start()
{
    QString missing;
    const QStringList job = m_choice->Arguments(missing);
    if (job.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("The job needs %1.").arg(missing));
        return;
    }
    StationRequest request;
    request.program = CommandLineProgram();
    if (request.program.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("%1 is neither beside this program nor on the PATH.").arg(kProgram));
        return;
    }
    if (!AskCode(request.msl))
        return;
    request.job = job;
    if (uint8_t toolType = OperationContext::Instance().ToolType())
        request.options << QStringLiteral("--tool-type") << QString::number(toolType);
    request.options << QStringLiteral("--time-scale") << QString::number(Pacing::Instance().TimeScale());
    if (QString refusal = StationJob::Check(request); !refusal.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), refusal);
        return;
    }
    m_listing.reset();
    m_table->setModel(nullptr);
    m_station = std::make_unique<Station>(std::move(request), StationOptions{m_once->isChecked(), {}, 0});
    StationModel& model = m_station->Model();
    m_table->setModel(&model);
    SizeColumns();
    connect(&model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        AddRowControls(first, last);
    });
    connect(&model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        UpdateRows(from.row(), to.row());
    });
    connect(m_station.get(), &Station::RowEnded, this, &StationWindow::ShowSummary);
    connect(m_station.get(), &Station::Ended, this, [this] {
        ShowRunning(false);
        ShowSummary();
    });
    m_summary->clear();
    ShowRunning(true);
    m_station->Start();
}

void StationWindow::ShowListed(const std::vector<SerialDeviceEntry>& handsets)
{
    QStringList devices;
    for (const SerialDeviceEntry& entry : handsets)
        devices << entry.devicePath;
    m_listed->setRowCount(0);
    for (const SerialDeviceEntry& entry : handsets) {
        StationRow row;
        row.port = entry.portName;
        row.device = entry.devicePath;
        QList<QStandardItem*> cells;
        for (int column = 0; column < StationModel::ColumnCount; ++column)
            cells << new QStandardItem(StationModel::Cell(row, column, devices));
        m_listed->appendRow(cells);
    }
}

// The result takes what the others leave, so it is never pushed out of view.
void StationWindow::SizeColumns()
{
    QHeaderView* header = m_table->horizontalHeader();
    header->setStretchLastSection(false);
    for (int column : {StationModel::Percent, StationModel::Step}) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        m_table->setColumnWidth(column, column == StationModel::Step ? kStepWidth : kBarWidth);
    }
    header->setSectionResizeMode(StationModel::Result, QHeaderView::Stretch);
}

void StationWindow::StopAll()
{
    if (m_station)
        m_station->StopAll();
}

void StationWindow::AddRowControls(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        auto* bar = new CTextProgressCtrl(m_table);
        m_table->setIndexWidget(m_station->Model().index(row, StationModel::Percent), bar);
        auto* stop = new QPushButton(QString::fromLatin1(FormConstants::kStopCaption), m_table);
        connect(stop, &QPushButton::clicked, this, [this, row] { m_station->StopRow(row); });
        m_table->setIndexWidget(m_station->Model().index(row, StationModel::Action), stop);
    }
    UpdateRows(first, last);
}

void StationWindow::UpdateRows(int first, int last)
{
    for (int row = first; row <= last && row < m_station->Rows(); ++row) {
        const StationRow& state = m_station->Row(row);
        if (auto* bar = qobject_cast<CTextProgressCtrl*>(m_table->indexWidget(m_station->Model().index(row, StationModel::Percent))))
            bar->SetPos(state.state == StationRow::State::Completed ? kFull : std::max(state.percent, 0));
        if (QWidget* stop = m_table->indexWidget(m_station->Model().index(row, StationModel::Action)))
            stop->setEnabled(!state.Finished());
    }
}

QString StationWindow::SummaryText() const
{
    if (!m_station)
        return {};
    const Station::Totals totals = m_station->Summary();
    return QString::fromLatin1(kSummaryFormat)
        .arg(totals.completed)
        .arg(m_station->Rows())
        .arg(totals.failed)
        .arg(totals.stopped)
        .arg(totals.seconds, 0, 'f', 1);
}

// The summary also goes to the host's status line, where the technician
// looks at the main window.
void StationWindow::ShowSummary()
{
    m_summary->setText(SummaryText());
    HostNotifier::Instance().Send(PluginAbi::kStatusLine, SummaryText().toStdString());
}

void StationWindow::ShowRunning(bool running)
{
    m_choice->setEnabled(!running);
    m_once->setEnabled(!running);
    m_start->setEnabled(!running);
    m_stopAll->setEnabled(running);
}

// Closing the window ends the station: every job is stopped and its port freed.
void StationWindow::closeEvent(QCloseEvent* event)
{
    StopAll();
    event->accept();
}

} // namespace corvanetov
