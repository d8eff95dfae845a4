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
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include "diag/DiagConstants.h"
#include "engine/OperationContext.h"
#include "forms/FormConstants.h"
#include "forms/StationJobChoice.h"
#include "hostlink/HostNotifier.h"
#include "platform/Pacing.h"
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
constexpr int kFull = 100;
constexpr int kNarrowWidth = 110;
} // namespace

StationWindow::StationWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
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
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);
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
    m_table->setModel(nullptr);
    m_station = std::make_unique<Station>(std::move(request), StationOptions{m_once->isChecked(), {}, 0});
    StationModel& model = m_station->Model();
    m_table->setModel(&model);
    for (int column : {StationModel::Device, StationModel::Percent}) {
        m_table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Interactive);
        m_table->setColumnWidth(column, kNarrowWidth);
    }
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
