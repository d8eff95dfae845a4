#include "forms/DialogHistory.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "forms/ViewRecord.h"
#include "history/CsvExport.h"
#include "history/HistoryKeeper.h"
#include "history/HistoryStore.h"

namespace corvanetov {

namespace {
constexpr char kTitle[] = "Service history";
constexpr char kAnyResult[] = "any result";
constexpr char kNotCompleted[] = "not completed";
const QStringList kColumns = {"Started (UTC)", "Operation", "Result", "ESN", "Bench", "End"};
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
    auto* filters = new QFormLayout;
    filters->addRow("ESN", m_esn);
    filters->addRow("Operation", m_operation);
    filters->addRow("Result", m_result);
    filters->addRow("Since", m_since);
    filters->addRow("Until", m_until);
    for (QLineEdit* edit : {m_esn, m_since, m_until})
        connect(edit, &QLineEdit::editingFinished, this, &CDialogHistory::Reload);
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

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* exportButton = buttons->addButton("&Export CSV...", QDialogButtonBox::ActionRole);
    m_undo = buttons->addButton("&Undo...", QDialogButtonBox::ActionRole);
    m_undo->setEnabled(false);
    connect(exportButton, &QPushButton::clicked, this, &CDialogHistory::OnExport);
    connect(m_undo, &QPushButton::clicked, this, &CDialogHistory::OnUndo);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(900, 600);
}

HistoryFilter CDialogHistory::Filter() const
{
    HistoryFilter filter;
    filter.esn = m_esn->text().trimmed();
    filter.operation = m_operation->currentText().trimmed();
    filter.failedOnly = m_result->currentText() == kNotCompleted;
    filter.since = HistoryFilter::Bound(m_since->text().trimmed(), false).value_or(QString());
    filter.until = HistoryFilter::Bound(m_until->text().trimmed(), true).value_or(QString());
    return filter;
}

void CDialogHistory::Reload()
{
    m_records.clear();
    HistoryStore store(ViewRecord::Keeper().Location());
    HistoryFilter filter = Filter();
    filter.limit = kShownRecords;
    if (!store.Open() || !store.Query(filter, [this](const ServiceRecord& record) {
            m_records << record;
            return true;
        }))
        m_detail->setPlainText("The history cannot be read (" + store.Location().Describe() + "): " + store.Error());
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
    // The newest record is shown at once, and the table has the keyboard.
    if (!m_records.isEmpty()) {
        m_table->selectRow(0);
        m_table->setFocus(Qt::OtherFocusReason);
    }
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
    HistoryStore store(ViewRecord::Keeper().Location());
    QString why;
    if (!store.Open() || CsvExport::Write(store, Filter(), path, false, &why) < 0) {
        Tell("The export failed: " + (why.isEmpty() ? store.Error() : why));
        return false;
    }
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
    if (!m_undoRun) {
        m_undoRun = new QProcess(this);
        m_undoRun->setProcessChannelMode(QProcess::MergedChannels);
        connect(m_undoRun, &QProcess::finished, this, [this](int status) {
            const QString output = QString::fromLocal8Bit(m_undoRun->readAll());
            Reload();
            Tell((status == 0 ? "The settings were written back.\n\n" : "The undo did not complete.\n\n") + output);
        });
    }
    const QString cli = QCoreApplication::applicationDirPath() + "/" + kCliName;
    m_undoRun->start(cli, {"history", "undo", record->uuid, "--history", ViewRecord::Keeper().Location().Text()});
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
