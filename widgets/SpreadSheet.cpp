#include "widgets/SpreadSheet.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "widgets/ColorRef.h"
#include "widgets/SpreadSheetPrinting.h"
#include "widgets/WidgetConstants.h"

namespace corvanetov {

namespace {

// Per-cell properties kept beside the text.
constexpr int kCellTypeRole = Qt::UserRole + 1;
constexpr int kLengthLimitRole = Qt::UserRole + 2;
constexpr int kListItemsRole = Qt::UserRole + 3;

// On screen the columns share the grid's width in the proportions of their
// units, but never shrink below this part of their own width: below that a
// scroll bar is kinder than unreadable cells.
constexpr double kLeastFitScale = 0.5;
constexpr int kFocusFrameWidth = 2;

// Keeps what the user types within the cell's length limit, and frames the
// cell that has the keyboard focus: a style may draw no focus mark in a
// table, and a selected cell alone does not say where typing goes.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const int limit = index.data(kLengthLimitRole).toInt();
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && limit > 0) {
            line->setMaxLength(limit);
        }
        return editor;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!(option.state & QStyle::State_HasFocus)) {
            return;
        }
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), kFocusFrameWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

QString LimitedText(const QTableWidgetItem* item, const QString& text)
{
    const int limit = item->data(kLengthLimitRole).toInt();
    return limit > 0 ? text.left(limit) : text;
}

} // namespace

CSpreadSheet::CSpreadSheet(QWidget* parent)
    : QWidget(parent)
    , m_table(new QTableWidget(this))
    , m_activeColumn(1)
    , m_activeRow(1)
    , m_updating(false)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    m_table->setItemDelegate(new CellDelegate(m_table));
    m_table->setWordWrap(false);
    // Tab moves on to the form's next control; the arrow keys move in the grid.
    m_table->setTabKeyNavigation(false);
    setFocusProxy(m_table);
    m_table->viewport()->installEventFilter(this);
    m_table->verticalHeader()->setDefaultSectionSize(
        qRound(SpreadSheetSizes::kDefaultRowHeight * logicalDpiY() / SpreadSheetSizes::kPointsPerInch));
    connect(m_table, &QTableWidget::itemChanged, this, &CSpreadSheet::OnItemChanged);
}

void CSpreadSheet::SetNumberOfColumns(int count)
{
    const int old = m_table->columnCount();
    m_table->setColumnCount(std::max(0, count));
    for (int column = old + 1; column <= count; ++column) {
        m_table->setHorizontalHeaderItem(column - 1, new QTableWidgetItem());
    }
    FitColumns();
}

int CSpreadSheet::GetNumberOfColumns() const
{
    return m_table->columnCount();
}

void CSpreadSheet::SetNumberOfRows(int count)
{
    const int old = m_table->rowCount();
    m_table->setRowCount(std::max(0, count));
    for (int row = old + 1; row <= count; ++row) {
        if (const auto height = m_sizes.rowHeights.find(row); height != m_sizes.rowHeights.end()) {
            SetRowHeight(row, height->second);
        }
    }
}

int CSpreadSheet::GetNumberOfRows() const
{
    return m_table->rowCount();
}

void CSpreadSheet::SetColumnWidth(int column, double width)
{
    if (column < 1 || width < 0) {
        return;
    }
    m_sizes.columnWidths[column] = width;
    FitColumns();
}

bool CSpreadSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table->viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        FitColumns();
    }
    return QWidget::eventFilter(watched, event);
}

// As in other spreadsheets, a width unit is the width of the digit 0. Until
// the grid is on screen its columns have just that width; then they fill it.
void CSpreadSheet::FitColumns()
{
    const int columns = m_table->columnCount();
    const double unit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    double natural = 0;
    for (int column = 1; column <= columns; ++column) {
        natural += m_sizes.ColumnWidth(column) * unit;
    }
    if (columns == 0 || natural <= 0) {
        return;
    }
    const double available = m_table->viewport()->width();
    const bool shown = m_table->isVisible();
    const bool fills = shown && available >= natural * kLeastFitScale;
    const double scale = fills ? available / natural : (shown ? kLeastFitScale : 1.0);
    int used = 0;
    for (int column = 1; column <= columns; ++column) {
        int width = qRound(m_sizes.ColumnWidth(column) * unit * scale);
        // The last column takes what rounding left, so no scroll bar appears.
        if (fills && column == columns) {
            width = std::max(0, static_cast<int>(available) - used);
        }
        m_table->setColumnWidth(column - 1, width);
        used += width;
    }
}

void CSpreadSheet::SetRowHeight(int row, double height)
{
    if (row < 1 || height < 0) {
        return;
    }
    m_sizes.rowHeights[row] = height;
    if (row <= m_table->rowCount()) {
        m_table->setRowHeight(row - 1, qRound(height * logicalDpiY() / SpreadSheetSizes::kPointsPerInch));
    }
}

bool CSpreadSheet::IsDataCell(int column, int row) const
{
    return column >= 1 && column <= m_table->columnCount() && row >= 1 && row <= m_table->rowCount();
}

QTableWidgetItem* CSpreadSheet::ActiveItem() const
{
    if (m_activeRow == 0 && m_activeColumn >= 1 && m_activeColumn <= m_table->columnCount()) {
        return m_table->horizontalHeaderItem(m_activeColumn - 1);
    }
    return IsDataCell(m_activeColumn, m_activeRow) ? m_table->item(m_activeRow - 1, m_activeColumn - 1) : nullptr;
}

QTableWidgetItem* CSpreadSheet::CreateActiveItem()
{
    if (!IsDataCell(m_activeColumn, m_activeRow)) {
        return nullptr;
    }
    QTableWidgetItem* item = m_table->item(m_activeRow - 1, m_activeColumn - 1);
    if (item == nullptr) {
        item = new QTableWidgetItem();
        m_updating = true;
        m_table->setItem(m_activeRow - 1, m_activeColumn - 1, item);
        m_updating = false;
    }
    return item;
}

void CSpreadSheet::SetCellText(const QString& text)
{
    QTableWidgetItem* item = m_activeRow == 0 ? ActiveItem() : CreateActiveItem();
    if (item == nullptr) {
        return;
    }
    m_updating = true;
    item->setText(text);
    if (auto* box = qobject_cast<QComboBox*>(m_table->cellWidget(m_activeRow - 1, m_activeColumn - 1))) {
        box->setCurrentIndex(box->findText(text));
    }
    m_updating = false;
}

QString CSpreadSheet::GetCellText() const
{
    const QTableWidgetItem* item = ActiveItem();
    return item != nullptr ? item->text() : QString();
}

void CSpreadSheet::SetCellType(int type)
{
    QTableWidgetItem* item = CreateActiveItem();
    if (item == nullptr) {
        return;
    }
    m_updating = true;
    item->setData(kCellTypeRole, type);
    const bool editable = type != WidgetConstants::kCellTypeReadOnly && type != WidgetConstants::kCellTypeList;
    item->setFlags(editable ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable);
    m_updating = false;
    if (type == WidgetConstants::kCellTypeList) {
        AttachListBox(m_activeColumn, m_activeRow);
    } else {
        m_table->removeCellWidget(m_activeRow - 1, m_activeColumn - 1);
    }
}

int CSpreadSheet::GetCellType() const
{
    const QTableWidgetItem* item = m_activeRow >= 1 ? ActiveItem() : nullptr;
    return item != nullptr ? item->data(kCellTypeRole).toInt() : 0;
}

void CSpreadSheet::SetCellLengthLimit(int16_t limit)
{
    if (QTableWidgetItem* item = CreateActiveItem()) {
        m_updating = true;
        item->setData(kLengthLimitRole, std::max<int>(0, limit));
        m_updating = false;
    }
}

void CSpreadSheet::SetCellTextColor(uint32_t colorRef)
{
    if (QTableWidgetItem* item = CreateActiveItem()) {
        m_updating = true;
        item->setForeground(ColorFromColorRef(colorRef));
        m_updating = false;
    }
}

void CSpreadSheet::SetCellBackgroundColor(uint32_t colorRef)
{
    if (QTableWidgetItem* item = CreateActiveItem()) {
        m_updating = true;
        item->setBackground(ColorFromColorRef(colorRef));
        m_updating = false;
    }
}

void CSpreadSheet::SetCellListItems(const QStringList& items)
{
    QTableWidgetItem* item = CreateActiveItem();
    if (item == nullptr) {
        return;
    }
    m_updating = true;
    item->setData(kListItemsRole, items);
    if (auto* box = qobject_cast<QComboBox*>(m_table->cellWidget(m_activeRow - 1, m_activeColumn - 1))) {
        box->clear();
        box->addItems(items);
        box->setCurrentIndex(box->findText(item->text()));
    }
    m_updating = false;
}

int16_t CSpreadSheet::GetChosenListItem() const
{
    if (!IsDataCell(m_activeColumn, m_activeRow)) {
        return -1;
    }
    const auto* box = qobject_cast<QComboBox*>(m_table->cellWidget(m_activeRow - 1, m_activeColumn - 1));
    return box != nullptr ? static_cast<int16_t>(box->currentIndex()) : -1;
}

void CSpreadSheet::AttachListBox(int column, int row)
{
    QTableWidgetItem* item = m_table->item(row - 1, column - 1);
    auto* box = new QComboBox();
    box->addItems(item->data(kListItemsRole).toStringList());
    box->setCurrentIndex(box->findText(item->text()));
    connect(box, &QComboBox::currentIndexChanged, this, [this, box, item, column, row] {
        if (m_updating) {
            return;
        }
        m_updating = true;
        item->setText(box->currentText());
        m_updating = false;
        emit CellChanged(column, row);
    });
    m_table->setCellWidget(row - 1, column - 1, box);
}

void CSpreadSheet::OnItemChanged(QTableWidgetItem* item)
{
    if (!m_updating) {
        emit CellChanged(item->column() + 1, item->row() + 1);
    }
}

bool CSpreadSheet::IsUserEditable(int column, int row) const
{
    if (!IsDataCell(column, row)) {
        return false;
    }
    const QTableWidgetItem* item = m_table->item(row - 1, column - 1);
    return item == nullptr || (item->flags() & Qt::ItemIsEditable);
}

void CSpreadSheet::SetAction(int action)
{
    switch (action) {
    case WidgetConstants::kActionPrint:
        Printing().Print(this);
        break;
    case WidgetConstants::kActionCopy:
        CopySelection();
        break;
    case WidgetConstants::kActionCut:
        CutSelection();
        break;
    case WidgetConstants::kActionPaste:
        PasteSelection();
        break;
    default:
        break;
    }
}

QRect CSpreadSheet::SelectedArea() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    if (ranges.isEmpty()) {
        const int row = m_table->currentRow();
        const int column = m_table->currentColumn();
        return row >= 0 && column >= 0 ? QRect(column + 1, row + 1, 1, 1) : QRect();
    }
    QRect area;
    for (const QTableWidgetSelectionRange& range : ranges) {
        area |= QRect(range.leftColumn() + 1, range.topRow() + 1, range.columnCount(), range.rowCount());
    }
    return area;
}

QString CSpreadSheet::CellTextAt(int column, int row) const
{
    const QTableWidgetItem* item = IsDataCell(column, row) ? m_table->item(row - 1, column - 1) : nullptr;
    return item != nullptr ? item->text() : QString();
}

void CSpreadSheet::CopySelection() const
{
    const QRect area = SelectedArea();
    if (area.isEmpty()) {
        return;
    }
    QStringList lines;
    for (int row = area.top(); row <= area.bottom(); ++row) {
        QStringList cells;
        for (int column = area.left(); column <= area.right(); ++column) {
            cells << CellTextAt(column, row);
        }
        lines << cells.join('\t');
    }
    QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void CSpreadSheet::CutSelection()
{
    CopySelection();
    const QRect area = SelectedArea();
    for (int row = area.top(); row <= area.bottom(); ++row) {
        for (int column = area.left(); column <= area.right(); ++column) {
            WriteUserText(column, row, QString());
        }
    }
}

void CSpreadSheet::PasteSelection()
{
    const QRect area = SelectedArea();
    QString text = QApplication::clipboard()->text();
    text.remove('\r');
    if (area.isEmpty() || text.isEmpty()) {
        return;
    }
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    const QStringList lines = text.split('\n');
    for (int line = 0; line < lines.size(); ++line) {
        const QStringList cells = lines[line].split('\t');
        for (int cell = 0; cell < cells.size(); ++cell) {
            WriteUserText(area.left() + cell, area.top() + line, cells[cell]);
        }
    }
}

// Cut and paste act for the user: they leave read-only and list cells alone,
// keep to the length limit and report the change.
void CSpreadSheet::WriteUserText(int column, int row, const QString& text)
{
    if (!IsUserEditable(column, row)) {
        return;
    }
    QTableWidgetItem* item = m_table->item(row - 1, column - 1);
    if (item == nullptr) {
        item = new QTableWidgetItem();
        m_updating = true;
        m_table->setItem(row - 1, column - 1, item);
        m_updating = false;
    }
    const QString limited = LimitedText(item, text);
    if (item->text() != limited) {
        item->setText(limited);
    }
}

SpreadSheetPrinting CSpreadSheet::Printing() const
{
    return SpreadSheetPrinting(*m_table, m_sizes, m_print);
}

QPageLayout CSpreadSheet::PrintPageLayout() const
{
    return Printing().PageLayout();
}

int32_t CSpreadSheet::GetPrintedPageCount() const
{
    return Printing().PageCount(PrintPageLayout().paintRect(QPageLayout::Point).size());
}

void CSpreadSheet::PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const
{
    Printing().PaintPage(painter, paintSize, page);
}

} // namespace corvanetov
