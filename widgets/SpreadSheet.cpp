#include "widgets/SpreadSheet.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "widgets/ColorRef.h"
#include "widgets/WidgetConstants.h"

namespace {

// Per-cell properties kept beside the text.
constexpr int kCellTypeRole = Qt::UserRole + 1;
constexpr int kLengthLimitRole = Qt::UserRole + 2;
constexpr int kListItemsRole = Qt::UserRole + 3;

// Printed page, in points: A4 with 15 mm margins, a band for the model line
// at the head and one for the stamp line and page number at the foot.
constexpr double kPageMarginMm = 15.0;
constexpr double kBandHeight = 20.0;
constexpr int kPrintFontSize = 9;
constexpr double kPointsPerWidthUnit = 6.0;
constexpr double kDefaultColumnWidth = 12.0;
constexpr double kDefaultRowHeight = 16.0;
constexpr double kCellPadding = 3.0;
constexpr double kPointsPerInch = 72.0;
// On screen the columns share the grid's width in the proportions of their
// units, but never shrink below this part of their own width: below that a
// scroll bar is kinder than unreadable cells.
constexpr double kLeastFitScale = 0.5;
const QColor kHeaderBackColor(0xE0, 0xE0, 0xE0);
const QColor kGridLineColor(0x80, 0x80, 0x80);

// Keeps what the user types within the cell's length limit.
class LengthLimitDelegate : public QStyledItemDelegate {
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
    , m_printLayout(WidgetConstants::kPrintLayoutPortrait)
    , m_printRangeKind(WidgetConstants::kPrintRangeAll)
    , m_printFirstPage(1)
    , m_printLastPage(1)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    m_table->setItemDelegate(new LengthLimitDelegate(m_table));
    m_table->setWordWrap(false);
    // Tab moves on to the form's next control; the arrow keys move in the grid.
    m_table->setTabKeyNavigation(false);
    setFocusProxy(m_table);
    m_table->viewport()->installEventFilter(this);
    m_table->verticalHeader()->setDefaultSectionSize(qRound(kDefaultRowHeight * logicalDpiY() / kPointsPerInch));
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
        if (const auto height = m_rowHeights.find(row); height != m_rowHeights.end()) {
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
    m_columnWidths[column] = width;
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
        natural += ColumnUnits(column) * unit;
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
        int width = qRound(ColumnUnits(column) * unit * scale);
        // The last column takes what rounding left, so no scroll bar appears.
        if (fills && column == columns) {
            width = std::max(0, static_cast<int>(available) - used);
        }
        m_table->setColumnWidth(column - 1, width);
        used += width;
    }
}

double CSpreadSheet::ColumnUnits(int column) const
{
    const auto width = m_columnWidths.find(column);
    return width != m_columnWidths.end() ? width->second : kDefaultColumnWidth;
}

void CSpreadSheet::SetRowHeight(int row, double height)
{
    if (row < 1 || height < 0) {
        return;
    }
    m_rowHeights[row] = height;
    if (row <= m_table->rowCount()) {
        m_table->setRowHeight(row - 1, qRound(height * logicalDpiY() / kPointsPerInch));
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
        Print();
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

QPageLayout CSpreadSheet::PrintPageLayout() const
{
    const auto orientation = m_printLayout == WidgetConstants::kPrintLayoutLandscape ? QPageLayout::Landscape
                                                                                    : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation,
                       QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                       QPageLayout::Millimeter);
}

int32_t CSpreadSheet::GetPrintedPageCount() const
{
    return PageCount(PrintPageLayout().paintRect(QPageLayout::Point).size());
}

void CSpreadSheet::Print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(PrintPageLayout());
    if (!m_printOutputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_printOutputFile);
    } else {
        // The page range is the grid's own, set by the print preview dialog.
        QPrintDialog dialog(&printer, this);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
    }
    PrintTo(printer);
}

bool CSpreadSheet::PrintTo(QPrinter& printer) const
{
    const QSizeF paintSize = printer.pageLayout().paintRect(QPageLayout::Point).size();
    const int count = PageCount(paintSize);
    int first = 1;
    int last = count;
    if (m_printRangeKind == WidgetConstants::kPrintRangePages) {
        first = std::max<int>(first, m_printFirstPage);
        last = std::min<int>(last, m_printLastPage);
    }
    if (first > last) {
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const double toDevice = printer.resolution() / kPointsPerInch;
    for (int page = first; page <= last; ++page) {
        if (page != first) {
            printer.newPage();
        }
        painter.save();
        painter.scale(toDevice, toDevice);
        PaintPage(painter, paintSize, page);
        painter.restore();
    }
    return painter.end();
}

double CSpreadSheet::PrintColumnWidth(int column) const
{
    return ColumnUnits(column) * kPointsPerWidthUnit;
}

double CSpreadSheet::PrintRowHeight(int row) const
{
    const auto height = m_rowHeights.find(row);
    return height != m_rowHeights.end() && height->second > 0 ? height->second : kDefaultRowHeight;
}

// A table wider than the page is shrunk to the page's width.
double CSpreadSheet::PrintScale(double paintWidth) const
{
    double tableWidth = 0;
    for (int column = 1; column <= m_table->columnCount(); ++column) {
        tableWidth += PrintColumnWidth(column);
    }
    return tableWidth > paintWidth ? paintWidth / tableWidth : 1.0;
}

// Each page repeats the header row; a page takes whole rows, and at least
// one, so a row taller than the page still gets printed.
std::vector<CSpreadSheet::RowSpan> CSpreadSheet::Paginate(const QSizeF& paintSize) const
{
    const double scale = PrintScale(paintSize.width());
    const double available = (paintSize.height() - 2 * kBandHeight) / scale - PrintRowHeight(0);
    std::vector<RowSpan> pages;
    int row = 1;
    const int rows = m_table->rowCount();
    do {
        const int first = row;
        double used = 0;
        while (row <= rows && (row == first || used + PrintRowHeight(row) <= available)) {
            used += PrintRowHeight(row);
            ++row;
        }
        pages.emplace_back(first, row - 1);
    } while (row <= rows);
    return pages;
}

int CSpreadSheet::PageCount(const QSizeF& paintSize) const
{
    return static_cast<int>(Paginate(paintSize).size());
}

void CSpreadSheet::PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const
{
    const std::vector<RowSpan> pages = Paginate(paintSize);
    if (page < 1 || page > static_cast<int>(pages.size())) {
        return;
    }
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(kPrintFontSize);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRectF head(0, 0, paintSize.width(), kBandHeight);
    const QRectF foot(0, paintSize.height() - kBandHeight, paintSize.width(), kBandHeight);
    painter.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, m_printModelLine);
    painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, m_printStampLine);
    painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 / %2").arg(page).arg(pages.size()));

    const double scale = PrintScale(paintSize.width());
    painter.translate(0, kBandHeight);
    painter.scale(scale, scale);
    double top = 0;
    PaintRow(painter, 0, top, PrintRowHeight(0));
    top += PrintRowHeight(0);
    const auto [first, last] = pages[page - 1];
    for (int row = first; row <= last; ++row) {
        PaintRow(painter, row, top, PrintRowHeight(row));
        top += PrintRowHeight(row);
    }
    painter.restore();
}

void CSpreadSheet::PaintRow(QPainter& painter, int row, double top, double height) const
{
    double left = 0;
    for (int column = 1; column <= m_table->columnCount(); ++column) {
        const QRectF cell(left, top, PrintColumnWidth(column), height);
        left += cell.width();
        const QTableWidgetItem* item = row == 0 ? m_table->horizontalHeaderItem(column - 1)
                                                : m_table->item(row - 1, column - 1);
        QFont font = painter.font();
        font.setBold(row == 0);
        painter.setFont(font);
        if (row == 0) {
            painter.fillRect(cell, kHeaderBackColor);
        } else if (item != nullptr && item->background().style() != Qt::NoBrush) {
            painter.fillRect(cell, item->background());
        }
        painter.setPen(kGridLineColor);
        painter.drawRect(cell);
        if (item == nullptr) {
            continue;
        }
        const bool colored = row != 0 && item->foreground().style() != Qt::NoBrush;
        painter.setPen(colored ? item->foreground().color() : QColor(Qt::black));
        const QRectF textArea = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
        const Qt::Alignment align = row == 0 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
        painter.save();
        painter.setClipRect(textArea, Qt::IntersectClip);
        painter.drawText(textArea, align | Qt::TextSingleLine, item->text());
        painter.restore();
    }
}
