#pragma once

#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "widgets/SpreadSheetSizes.h"
#include "widgets/WidgetConstants.h"

class QPainter;
class QPrinter;
class QTableWidget;
class QWidget;

namespace corvanetov {

// The printed pages of a grid: A4 across or down the page, each page with
// the header row, the model line at its head and the stamp line and "page
// N of M" at its foot; empty rows after the last text print no pages. A table wider than the page shrinks to its width; a
// page takes whole rows, and at least one.
class SpreadSheetPrinting {
public:
    // What the forms set about a print.
    struct Settings {
        int layout = WidgetConstants::kPrintLayoutPortrait;
        int rangeKind = WidgetConstants::kPrintRangeAll;
        int16_t firstPage = 1;
        int16_t lastPage = 1;
        QString stampLine;
        QString modelLine;
        // Rows (from 1) whose values print as **** (their first column, the
        // label, as it is).
        std::vector<int> maskedRows;
        // Where the print goes as a PDF file; while empty the user chooses
        // a printer (or a file) in the print dialog.
        QString outputFile;
    };

    SpreadSheetPrinting(const QTableWidget& table, const SpreadSheetSizes& sizes, const Settings& settings);

    QPageLayout PageLayout() const;
    // Pages of a paintable area of the given size in points, and one page
    // (counted from 1) painted with one unit of the painter being one point.
    int PageCount(const QSizeF& paintSize) const;
    void PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const;
    // Prints the pages of the print range to the output file, or to the
    // printer the user chooses over parent. False when nothing was printed.
    bool Print(QWidget* parent) const;
    // Prints the pages of the print range to an already set up printer.
    bool PrintTo(QPrinter& printer) const;

private:
    using RowSpan = std::pair<int, int>;

    double ColumnWidth(int column) const;
    double Scale(double paintWidth) const;
    int PrintedRows() const;
    std::vector<RowSpan> Paginate(const QSizeF& paintSize) const;
    void PaintRow(QPainter& painter, int row, double top, double height) const;
    QString CellText(int row, int column, const QString& text) const;

    const QTableWidget& m_table;
    const SpreadSheetSizes& m_sizes;
    const Settings& m_settings;
};

} // namespace corvanetov
