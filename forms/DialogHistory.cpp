#include "forms/DialogHistory.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "forms/ViewRecord.h"
#include "history/CsvExport.h"
#include "history/HistoryKeeper.h"
#include "history/HistoryStore.h"
#include "history/OperationRecord.h"

namespace corvanetov {

namespace {
constexpr char kTitle[] = "Service history";
constexpr char kAnyResult[] = "any result";
constexpr char kNotCompleted[] = "not completed";
const QStringList kColumns = {"Started (UTC)", "Operation", "Result", "ESN", "Bench", "End"};
// How often the list looks for records made since it was filled.
constexpr int kFollowMs = 2000;
constexpr char kUndoFailed[] = "The undo did not complete";
constexpr char kUndoing[] = "Undoing...";
constexpr char kNotADate[] = "Since and Until take a date (2026-12-07) or an ISO 8601 time (2026-12-07T14:30:00Z).";
// The command line's note of a test's time scale, which says nothing of the undo.
constexpr char kTimeScaleNotice[] = "Time scale ";
// The undo is the command-line tool's, beside the host: it reads the
// settings it replaces, checks the ESN and keeps its own record.
constexpr char kCliName[] = "corvanetov-cli";
} // namespace

CDialogHistory::CDialogHistory(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(kTitle);
    BuildUi();
    Reload();
}

void CDialogHistory::BuildUi()
{
    m_esn = new QLineEdit;
    m_operation = new QComboBox;
    m_operation->setEditable(true);
    m_operation->addItems({"", "identify", "settings read", "settings write", "prl", "eri", "flash option 0", "rebuild",
                           "history undo"});
    m_result = new QComboBox;
    m_result->addItems({kAnyResult, kNotCompleted});
    m_since = new QLineEdit;
    m_until = new QLineEdit;
    for (QLineEdit* date : {m_since, m_until})
        date->setPlaceholderText("2026-12-07");
    m_esn->setObjectName("esn");
    m_since->setObjectName("since");
    m_until->setObjectName("until");
    auto* filters = new QFormLayout;
    filters->addRow("ESN", m_esn);
    filters->addRow("Operation", m_operation);
    filters->addRow("Result", m_result);
    filters->addRow("Since", m_since);
    filters->addRow("Until", m_until);
    for (QLineEdit* edit : {m_esn, m_since, m_until})
        connect(edit, &QLineEdit::editingFinished, this, &CDialogHistory::Reload);
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, &CDialogHistory::Reload);
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, &CDialogHistory::Follow);
    follow->start(kFollowMs);
    connect(m_operation, &QComboBox::currentTextChanged, this, &CDialogHistory::Reload);
    connect(m_result, &QComboBox::currentIndexChanged, this, &CDialogHistory::Reload);

    m_table = new QTableWidget(0, int(kColumns.size()));
    m_table->setHorizontalHeaderLabels(kColumns);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &CDialogHistory::ShowSelected);
    m_detail = new QPlainTextEdit;
    m_detail->setReadOnly(true);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(m_table);
    split->addWidget(m_detail);
    m_status = new QLabel;
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* exportButton = buttons->addButton("&Export CSV...", QDialogButtonBox::ActionRole);
    m_undo = buttons->addButton("&Undo...", QDialogButtonBox::ActionRole);
    m_undo->setEnabled(false);
    connect(exportButton, &QPushButton::clicked, this, &CDialogHistory::OnExport);
    connect(m_undo, &QPushButton::clicked, this, &CDialogHistory::OnUndo);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Enter in a filter applies it: no button takes it to close the window.
    for (QAbstractButton* button : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(900, 600);
}

// A date the window cannot read filters nothing rather than everything.
std::optional<HistoryFilter> CDialogHistory::Filter() const
{
    HistoryFilter filter;
    filter.esn = m_esn->text().trimmed();
    filter.operation = m_operation->currentText().trimmed();
    filter.failedOnly = m_result->currentText() == kNotCompleted;
    QString notADate;
    if (!filter.TakeDates(m_since->text().trimmed(), m_until->text().trimmed(), &notADate))
        return std::nullopt;
    return filter;
}

std::optional<QList<ServiceRecord>> CDialogHistory::Read(int limit)
{
    std::optional<HistoryFilter> filter = Filter();
    if (!filter) {
        m_detail->setPlainText(kNotADate);
        return std::nullopt;
    }
    filter->limit = limit;
    QList<ServiceRecord> records;
    HistoryStore store(ViewRecord::Keeper().Location());
    if (!store.Open() || !store.Query(*filter, [&records](const ServiceRecord& record) {
            records << record;
            return true;
        })) {
        m_detail->setPlainText("The history cannot be read (" + store.Location().Describe() + "): " + store.Error());
        return std::nullopt;
    }
    return records;
}

// Only when a record came since: the newest one tells.
void CDialogHistory::Follow()
{
    std::optional<QList<ServiceRecord>> newest = Read(1);
    if (!newest || newest->isEmpty() || (!m_records.isEmpty() && m_records.front().uuid == newest->front().uuid))
        return;
    const ServiceRecord* selected = Selected();
    const QString keep = selected ? selected->uuid : QString();
    Fill();
    for (int row = 0; row < m_records.size(); ++row)
        if (m_records[row].uuid == keep)
            m_table->selectRow(row);
}

void CDialogHistory::Reload()
{
    Fill();
    // The newest record is shown at once, and the table has the keyboard.
    if (!m_records.isEmpty()) {
        m_table->selectRow(0);
        m_table->setFocus(Qt::OtherFocusReason);
    }
}

void CDialogHistory::Fill()
{
    m_records = Read(kShownRecords).value_or(QList<ServiceRecord>());
    m_table->setRowCount(int(m_records.size()));
    for (int row = 0; row < m_records.size(); ++row) {
        const ServiceRecord& r = m_records[row];
        const QStringList cells = {ServiceRecord::TimeText(r.started), r.operation, r.result, r.esn, r.bench,
                                   r.endText.simplified()};
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    // The time in full: the last column, the end text, takes what is left.
    m_table->resizeColumnsToContents();
    m_undo->setEnabled(false);
}

const ServiceRecord* CDialogHistory::Selected() const
{
    const int row = m_table->currentRow();
    return row >= 0 && row < m_records.size() ? &m_records[row] : nullptr;
}

void CDialogHistory::ShowSelected()
{
    const ServiceRecord* record = Selected();
    m_undo->setEnabled(record && !record->snapshot.isEmpty());
    if (!record)
        return;
    QString text;
    const QStringList names = ServiceRecord::FieldNames();
    const QStringList values = record->FieldValues(false);
    for (qsizetype i = 0; i < names.size(); ++i)
        text += names[i] + ": " + values[i] + "\n";
    m_detail->setPlainText(text);
}

bool CDialogHistory::ExportTo(const QString& path)
{
    std::optional<HistoryFilter> filter = Filter();
    if (!filter) {
        Tell(kNotADate);
        return false;
    }
    HistoryStore store(ViewRecord::Keeper().Location());
    QString why;
    const qint64 count = store.Open() ? CsvExport::Write(store, *filter, path, false, &why) : -1;
    if (count < 0) {
        Tell("The export failed: " + (why.isEmpty() ? store.Error() : why));
        return false;
    }
    Tell(QString("%1 records written to %2").arg(count).arg(path));
    return true;
}

void CDialogHistory::OnExport()
{
    const QString path = QFileDialog::getSaveFileName(this, "Export CSV", "service-history.csv", "CSV (*.csv)");
    if (!path.isEmpty())
        ExportTo(path);
}

void CDialogHistory::OnUndo()
{
    const ServiceRecord* record = Selected();
    if (!record || record->snapshot.isEmpty() || (m_undoRun && m_undoRun->state() != QProcess::NotRunning))
        return;
    const QString text = QString("Write the settings kept before %1 (%2) back to handset %3?\n\nThe handset gets back: %4\n\n"
                                 "The settings it holds now are read first and kept, so this undo can be undone.")
                             .arg(record->operation, ServiceRecord::TimeText(record->started), record->esn,
                                  record->SnapshotText(false));
    if (!Confirm(text))
        return;
    if (!m_undoRun)
        m_undoRun = NewUndoRun();
    m_undoLast.clear();
    m_status->setText(kUndoing);
    // The store by the environment, which only this user may read: a URL on
    // the command line, password and all, is in every user's process list.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(HistoryLocation::kEnvironment, ViewRecord::Keeper().Location().Text());
    m_undoRun->setProcessEnvironment(environment);
    m_undoRun->start(QCoreApplication::applicationDirPath() + "/" + kCliName, {"history", "undo", record->uuid});
}

// The command line's steps as they come, on the status line; its end as a
// sentence, with the reason when it failed.
QProcess* CDialogHistory::NewUndoRun()
{
    auto* run = new QProcess(this);
    run->setProcessChannelMode(QProcess::MergedChannels);
    connect(run, &QProcess::readyRead, this, [this, run] {
        while (run->canReadLine()) {
            const QString line = QString::fromLocal8Bit(run->readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(kTimeScaleNotice))
                continue;
            m_undoLast = line;
            m_status->setText(QString(kUndoing) + " " + line);
        }
    });
    connect(run, &QProcess::finished, this, [this](int status, QProcess::ExitStatus exit) {
        const QString end = status == 0 && exit == QProcess::NormalExit ? QString(OperationRecord::kWrittenBack).trimmed()
                                                                        : QString(kUndoFailed) + ": " + m_undoLast;
        m_status->setText(end);
        Reload();
        Tell(end);
    });
    return run;
}

bool CDialogHistory::Confirm(const QString& text)
{
    // Enter alone never writes to a handset.
    return QMessageBox::question(this, kTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void CDialogHistory::Tell(const QString& text)
{
    QMessageBox::information(this, kTitle, text);
}

} // namespace corvanetov
