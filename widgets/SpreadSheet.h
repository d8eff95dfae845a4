#pragma once

#include <QPageLayout>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>

#include "widgets/SpreadSheetPrinting.h"
#include "widgets/SpreadSheetSizes.h"

class QPainter;
class QTableWidget;
class QTableWidgetItem;

namespace corvanetov {

// The spreadsheet grid of the phone information and settings views. The
// forms address cells by column and row counted from 1 (row 0 is the column
// header row) and work on an active cell: they set the active column and row,
// then set or read one property of that cell. The grid also prints itself
// (SpreadSheetPrinting).
class CSpreadSheet : public QWidget {
    Q_OBJECT
public:
    explicit CSpreadSheet(QWidget* parent = nullptr);

    void SetNumberOfColumns(int count);
    int GetNumberOfColumns() const;
    void SetNumberOfRows(int count);
    int GetNumberOfRows() const;
    // Widths are in characters of the grid's font, heights in points. On
    // screen the columns keep these proportions and fill the grid's width.
    void SetColumnWidth(int column, double width);
    void SetRowHeight(int row, double height);

    void SetActiveColumn(int column) { m_activeColumn = column; }
    int GetActiveColumn() const { return m_activeColumn; }
    void SetActiveRow(int row) { m_activeRow = row; }
    int GetActiveRow() const { return m_activeRow; }

    // Properties of the active cell. Cells outside the grid ignore writes and
    // read as empty.
    void SetCellText(const QString& text);
    QString GetCellText() const;
    void SetCellType(int type);
    int GetCellType() const;
    // The most characters the user may type; 0 lifts the limit.
    void SetCellLengthLimit(int16_t limit);
    void SetCellTextColor(uint32_t colorRef);
    void SetCellBackgroundColor(uint32_t colorRef);
    // The items a list cell offers.
    void SetCellListItems(const QStringList& items);
    // Index of the item chosen in a list cell, -1 when none is.
    int16_t GetChosenListItem() const;

    // Print, copy, cut or paste (the grid's actions).
    void SetAction(int action);

    void SetPrintLayout(int layout) { m_print.layout = layout; }
    int GetPrintLayout() const { return m_print.layout; }
    void SetPrintRangeKind(int kind) { m_print.rangeKind = kind; }
    int GetPrintRangeKind() const { return m_print.rangeKind; }
    void SetPrintFirstPage(int16_t page) { m_print.firstPage = page; }
    int16_t GetPrintFirstPage() const { return m_print.firstPage; }
    void SetPrintLastPage(int16_t page) { m_print.lastPage = page; }
    int16_t GetPrintLastPage() const { return m_print.lastPage; }
    void SetPrintStampLine(const QString& line) { m_print.stampLine = line; }
    QString GetPrintStampLine() const { return m_print.stampLine; }
    void SetPrintModelLine(const QString& line) { m_print.modelLine = line; }
    void SetPrintMaskedRows(const std::vector<int>& rows) { m_print.maskedRows = rows; }
    QString GetPrintModelLine() const { return m_print.modelLine; }
    int32_t GetPrintedPageCount() const;

    // Where the print action writes a PDF file; while empty it asks the user
    // for a printer (or a file) in the print dialog.
    void SetPrintOutputFile(const QString& path) { m_print.outputFile = path; }

    // The page the print layout asks for: A4, across or down the page.
    QPageLayout PrintPageLayout() const;
    // One printed page (counted from 1) of a paintable area of the given
    // size in points, one unit of the painter being one point.
    void PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The user changed the text or the chosen item of a cell.
    void CellChanged(int column, int row);

private:
    void FitColumns();
    bool IsDataCell(int column, int row) const;
    QTableWidgetItem* ActiveItem() const;
    QTableWidgetItem* CreateActiveItem();
    bool IsUserEditable(int column, int row) const;
    void AttachListBox(int column, int row);
    void OnItemChanged(QTableWidgetItem* item);

    SpreadSheetPrinting Printing() const;
    void CopySelection() const;
    void CutSelection();
    void PasteSelection();
    // The bounding area of the selected cells (or the current cell), in grid
    // coordinates; empty when there is none.
    QRect SelectedArea() const;
    QString CellTextAt(int column, int row) const;
    void WriteUserText(int column, int row, const QString& text);

    QTableWidget* m_table;
    int m_activeColumn;
    int m_activeRow;
    SpreadSheetSizes m_sizes;
    // Programmatic changes are not the user's: no CellChanged for them.
    bool m_updating;
    SpreadSheetPrinting::Settings m_print;
};

} // namespace corvanetov
