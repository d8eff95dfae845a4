#pragma once

#include <QPageLayout>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class QPainter;
class QPrinter;
class QTableWidget;
class QTableWidgetItem;

// The spreadsheet grid of the phone information and settings views. The
// forms address cells by column and row counted from 1 (row 0 is the column
// header row) and work on an active cell: they set the active column and row,
// then set or read one property of that cell. The grid also prints itself,
// with a model line at the head and a stamp line at the foot of each page.
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

    void SetPrintLayout(int layout) { m_printLayout = layout; }
    int GetPrintLayout() const { return m_printLayout; }
    void SetPrintRangeKind(int kind) { m_printRangeKind = kind; }
    int GetPrintRangeKind() const { return m_printRangeKind; }
    void SetPrintFirstPage(int16_t page) { m_printFirstPage = page; }
    int16_t GetPrintFirstPage() const { return m_printFirstPage; }
    void SetPrintLastPage(int16_t page) { m_printLastPage = page; }
    int16_t GetPrintLastPage() const { return m_printLastPage; }
    void SetPrintStampLine(const QString& line) { m_printStampLine = line; }
    QString GetPrintStampLine() const { return m_printStampLine; }
    void SetPrintModelLine(const QString& line) { m_printModelLine = line; }
    QString GetPrintModelLine() const { return m_printModelLine; }
    int32_t GetPrintedPageCount() const;

    // Where the print action writes a PDF file; while empty it asks the user
    // for a printer (or a file) in the print dialog.
    void SetPrintOutputFile(const QString& path) { m_printOutputFile = path; }

    // The page the print layout asks for: A4, across or down the page.
    QPageLayout PrintPageLayout() const;
    // Prints the pages of the print range to an already set up printer.
    // Returns false when nothing could be printed.
    bool PrintTo(QPrinter& printer) const;
    // Pages of a paintable area of the given size in points, and one page
    // (counted from 1) painted with one unit of the painter being one point.
    int PageCount(const QSizeF& paintSize) const;
    void PaintPage(QPainter& painter, const QSizeF& paintSize, int page) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The user changed the text or the chosen item of a cell.
    void CellChanged(int column, int row);

private:
    using RowSpan = std::pair<int, int>;

    void FitColumns();
    double ColumnUnits(int column) const;
    bool IsDataCell(int column, int row) const;
    QTableWidgetItem* ActiveItem() const;
    QTableWidgetItem* CreateActiveItem();
    bool IsUserEditable(int column, int row) const;
    void AttachListBox(int column, int row);
    void OnItemChanged(QTableWidgetItem* item);

    void Print();
    void CopySelection() const;
    void CutSelection();
    void PasteSelection();
    // The bounding area of the selected cells (or the current cell), in grid
    // coordinates; empty when there is none.
    QRect SelectedArea() const;
    QString CellTextAt(int column, int row) const;
    void WriteUserText(int column, int row, const QString& text);

    double PrintColumnWidth(int column) const;
    double PrintRowHeight(int row) const;
    double PrintScale(double paintWidth) const;
    std::vector<RowSpan> Paginate(const QSizeF& paintSize) const;
    void PaintRow(QPainter& painter, int row, double top, double height) const;

    QTableWidget* m_table;
    int m_activeColumn;
    int m_activeRow;
    // Sizes as the forms gave them, for printing.
    std::map<int, double> m_columnWidths;
    std::map<int, double> m_rowHeights;
    // Programmatic changes are not the user's: no CellChanged for them.
    bool m_updating;

    int m_printLayout;
    int m_printRangeKind;
    int16_t m_printFirstPage;
    int16_t m_printLastPage;
    QString m_printStampLine;
    QString m_printModelLine;
    QString m_printOutputFile;
};
