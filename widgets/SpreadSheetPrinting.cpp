#include "widgets/SpreadSheetPrinting.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTableWidget>
#include <algorithm>

namespace corvanetov {

namespace {
// Printed page, in points: A4 with 15 mm margins, a band for the model line
// at the head and one for the stamp line and page number at the foot.
constexpr double kPageMarginMm = 15.0;
constexpr double kBandHeight = 20.0;
constexpr int kPrintFontSize = 9;
constexpr double kPointsPerWidthUnit = 6.0;
constexpr double kCellPadding = 3.0;
const QColor kHeaderBackColor(0xE0, 0xE0, 0xE0);
const QColor kGridLineColor(0x80, 0x80, 0x80);
} // namespace

SpreadSheetPrinting::SpreadSheetPrinting(const QTableWidget& table, const SpreadSheetSizes& sizes, const Settings& settings)
    : m_table(table)
    , m_sizes(sizes)
    , m_settings(settings)
{
}

QPageLayout SpreadSheetPrinting::PageLayout() const
{
    const auto orientation = m_settings.layout == WidgetConstants::kPrintLayoutLandscape ? QPageLayout::Landscape
                                                                                    : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation,
                       QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                       QPageLayout::Millimeter);
}

bool SpreadSheetPrinting::Print(QWidget* parent) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(PageLayout());
    if (!m_settings.outputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_settings.outputFile);
    } else {
        // The page range is the grid's own, set by the print preview dialog.
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
    }
    return PrintTo(printer);
}

bool SpreadSheetPrinting::PrintTo(QPrinter& printer) const
{
    const QSizeF paintSize = printer.pageLayout().paintRect(QPageLayout::Point).size();
    const int count = PageCount(paintSize);
    int first = 1;
    int last = count;
    if (m_settings.rangeKind == WidgetConstants::kPrintRangePages) {
        first = std::max<int>(first, m_settings.firstPage);
        last = std::min<int>(last, m_settings.lastPage);
    }
    if (first > last) {
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const double toDevice = printer.resolution() / SpreadSheetSizes::kPointsPerInch;
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

double SpreadSheetPrinting::ColumnWidth(int column) const
{
    return m_sizes.ColumnWidth(column) * kPointsPerWidthUnit;
}

double SpreadSheetPrinting::Scale(double paintWidth) const
{
    double tableWidth = 0;
    for (int column = 1; column <= m_table.columnCount(); ++column) {
        tableWidth += ColumnWidth(column);
    }
    return tableWidth > paintWidth ? paintWidth / tableWidth : 1.0;
}

// The rows up to the last one that holds a text: the empty rows a grid
// keeps for more values make no pages of their own.
int SpreadSheetPrinting::PrintedRows() const
{
    for (int row = m_table.rowCount(); row > 1; --row)
        for (int column = 0; column < m_table.columnCount(); ++column)
            if (const QTableWidgetItem* item = m_table.item(row - 1, column); item && !item->text().isEmpty())
                return row;
    return std::min(1, m_table.rowCount());
}

// Each page repeats the header row; a page takes whole rows, and at least
// one, so a row taller than the page still gets printed.
std::vector<SpreadSheetPrinting::RowSpan> SpreadSheetPrinting::Paginate(const QSizeF& paintSize) const
{
    const double scale = Scale(paintSize.width());
    const double available = (paintSize.height() - 2 * kBandHeight) / scale - m_sizes.PrintRowHeight(0);
    std::vector<RowSpan> pages;
    int row = 1;
    const int rows = PrintedRows();
    do {
        const int first = row;
        double used = 0;
        while (row <= rows && (row == first || used + m_sizes.PrintRowHeight(row) <= available)) {
            used += m_sizes.PrintRowHeight(row);
            ++row;
        }
        pages.emplace_back(first, row - 1);
    } while (row <= rows);
    return pages;
}

int SpreadSheetPrinting::PageCount(const QSizeF& paintSize) const
{
    return static_cast<int>(Paginate(paintSize).size());
}

void SpreadSheetPrinting::PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const
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
    painter.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, m_settings.modelLine);
    painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, m_settings.stampLine);
    painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromLatin1(WidgetConstants::kPrintPageFormat).arg(page).arg(pages.size()));

    const double scale = Scale(paintSize.width());
    painter.translate(0, kBandHeight);
    painter.scale(scale, scale);
    double top = 0;
    PaintRow(painter, 0, top, m_sizes.PrintRowHeight(0));
    top += m_sizes.PrintRowHeight(0);
    const auto [first, last] = pages[page - 1];
    for (int row = first; row <= last; ++row) {
        PaintRow(painter, row, top, m_sizes.PrintRowHeight(row));
        top += m_sizes.PrintRowHeight(row);
    }
    painter.restore();
}

QString SpreadSheetPrinting::CellText(int row, int column, const QString& text) const
{
    const bool masked = column > 1 && !text.isEmpty() && std::ranges::count(m_settings.maskedRows, row) != 0;
    return masked ? QString::fromLatin1(WidgetConstants::kPrintMask) : text;
}

void SpreadSheetPrinting::PaintRow(QPainter& painter, int row, double top, double height) const
{
    double left = 0;
    for (int column = 1; column <= m_table.columnCount(); ++column) {
        const QRectF cell(left, top, ColumnWidth(column), height);
        left += cell.width();
        const QTableWidgetItem* item = row == 0 ? m_table.horizontalHeaderItem(column - 1)
                                                : m_table.item(row - 1, column - 1);
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
        painter.drawText(textArea, align | Qt::TextSingleLine, CellText(row, column, item->text()));
        painter.restore();
    }
}

} // namespace corvanetov
