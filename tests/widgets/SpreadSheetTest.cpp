#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "PdfPages.h"
#include "widgets/ColorRef.h"
#include "widgets/CommandButton.h"
#include "widgets/SpreadSheet.h"
#include "widgets/WidgetConstants.h"

using namespace corvanetov;

using namespace WidgetConstants;

namespace {
// A page of A4's paintable size in points that keeps the texts drawn on it.
class TextRecorder : public QPaintDevice {
public:
    const QStringList& Texts() const { return m_engine.texts; }
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return 510;
        case PdmHeight:
            return 757;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    struct Engine : QPaintEngine {
        Engine()
            : QPaintEngine(AllFeatures)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return User; }
        QStringList texts;
    };
    mutable Engine m_engine;
};
} // namespace

class SpreadSheetTest : public QObject {
    Q_OBJECT

private:
    // The settings grid's shape: 3 columns by 50 rows with a header row.
    static void LayOutSettings(CSpreadSheet& grid)
    {
        grid.SetNumberOfColumns(3);
        grid.SetNumberOfRows(50);
        grid.SetColumnWidth(1, 25.0);
        grid.SetColumnWidth(2, 20.0);
        grid.SetColumnWidth(3, 20.0);
    }

    static void SetText(CSpreadSheet& grid, int column, int row, const QString& text)
    {
        grid.SetActiveColumn(column);
        grid.SetActiveRow(row);
        grid.SetCellText(text);
    }

    static QString Text(CSpreadSheet& grid, int column, int row)
    {
        grid.SetActiveColumn(column);
        grid.SetActiveRow(row);
        return grid.GetCellText();
    }

    static QTableWidget* Table(CSpreadSheet& grid) { return grid.findChild<QTableWidget*>(); }

    // Rows 1 to count, each with a text; the grid has exactly these rows.
    static void FillRows(CSpreadSheet& grid, int count)
    {
        grid.SetNumberOfRows(count);
        for (int row = 1; row <= count; ++row)
            SetText(grid, 1, row, QString("Item %1").arg(row));
    }

    static QLineEdit* OpenEditor(CSpreadSheet& grid, int column, int row)
    {
        QTableWidget* table = Table(grid);
        table->setCurrentCell(row - 1, column - 1);
        table->editItem(table->item(row - 1, column - 1));
        return table->viewport()->findChild<QLineEdit*>();
    }

private slots:
    void ColourValuesAreBlueGreenRed()
    {
        QCOMPARE(ColorFromColorRef(0xFF0000), QColor(0, 0, 255));
        QCOMPARE(ColorFromColorRef(0x0099FF), QColor(255, 0x99, 0));
        QCOMPARE(ColorRefFromColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
    }

    void HeaderRowTakesTheCaptions()
    {
        CSpreadSheet grid;
        grid.SetNumberOfColumns(2);
        grid.SetNumberOfRows(2);
        SetText(grid, 1, 0, "Items");
        SetText(grid, 2, 0, "Info");
        SetText(grid, 1, 1, "Software Version");
        QCOMPARE(Table(grid)->horizontalHeaderItem(0)->text(), QString("Items"));
        QCOMPARE(Table(grid)->horizontalHeaderItem(1)->text(), QString("Info"));
        QCOMPARE(Text(grid, 1, 0), QString("Items"));
        QCOMPARE(Text(grid, 1, 1), QString("Software Version"));
        QCOMPARE(Text(grid, 2, 1), QString());
        QCOMPARE(Table(grid)->item(0, 0)->text(), QString("Software Version"));
    }

    void CellsOutsideTheGridIgnoreWrites()
    {
        CSpreadSheet grid;
        grid.SetNumberOfColumns(2);
        grid.SetNumberOfRows(2);
        SetText(grid, 3, 1, "x");
        SetText(grid, 1, 3, "x");
        SetText(grid, 0, 1, "x");
        grid.SetCellType(kCellTypeReadOnly);
        QCOMPARE(Text(grid, 3, 1), QString());
        QCOMPARE(Text(grid, 1, 3), QString());
        QCOMPARE(grid.GetCellType(), 0);
        QCOMPARE(Table(grid)->columnCount(), 2);
        QCOMPARE(Table(grid)->rowCount(), 2);
    }

    // Until the grid is on screen, a column is as wide as its units say.
    void SizesFollowTheGridUnits()
    {
        CSpreadSheet grid;
        grid.SetNumberOfColumns(2);
        grid.SetNumberOfRows(2);
        grid.SetColumnWidth(1, 40.0);
        grid.SetRowHeight(2, 50.0);
        const int charWidth = grid.fontMetrics().horizontalAdvance(QLatin1Char('0'));
        QCOMPARE(Table(grid)->columnWidth(0), qRound(40.0 * charWidth));
        QCOMPARE(Table(grid)->rowHeight(1), qRound(50.0 * grid.logicalDpiY() / 72.0));
        // A width given before the column exists applies when it appears.
        grid.SetColumnWidth(3, 10.0);
        grid.SetNumberOfColumns(3);
        QCOMPARE(Table(grid)->columnWidth(2), qRound(10.0 * charWidth));
    }

    // Read-only style, colours and limits stay on the one cell they were set on.
    void CellPropertiesStayOnTheirCell()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        grid.SetActiveColumn(2);
        grid.SetActiveRow(1);
        grid.SetCellText("1234");
        grid.SetCellType(kCellTypeReadOnly);
        grid.SetCellTextColor(kReadOnlyTextColor);
        grid.SetCellBackgroundColor(kReadOnlyBackColor);
        grid.SetCellLengthLimit(8);
        QCOMPARE(grid.GetCellType(), kCellTypeReadOnly);

        const QTableWidgetItem* cell = Table(grid)->item(0, 1);
        QVERIFY(!(cell->flags() & Qt::ItemIsEditable));
        QCOMPARE(cell->foreground().color(), QColor(0, 0, 255));
        QCOMPARE(cell->background().color(), QColor(0xDF, 0xDF, 0xDF));
        for (const auto& [column, row] : {std::pair{1, 1}, std::pair{3, 1}, std::pair{2, 2}}) {
            grid.SetActiveColumn(column);
            grid.SetActiveRow(row);
            QCOMPARE(grid.GetCellType(), 0);
            const QTableWidgetItem* other = Table(grid)->item(row - 1, column - 1);
            QVERIFY(other == nullptr || other->background().style() == Qt::NoBrush);
        }
        grid.SetActiveColumn(2);
        grid.SetActiveRow(2);
        grid.SetCellText("");
        QLineEdit* editor = OpenEditor(grid, 2, 2);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->maxLength(), 32767);
    }

    void UserTypingKeepsToTheLengthLimitAndIsReported()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.SetActiveColumn(2);
        grid.SetActiveRow(3);
        grid.SetCellText("");
        grid.SetCellLengthLimit(5);
        QSignalSpy changed(&grid, &CSpreadSheet::CellChanged);
        QLineEdit* editor = OpenEditor(grid, 2, 3);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->maxLength(), 5);
        QTest::keyClicks(editor, "4095012");
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits the editor's text on a queued call.
        QTRY_COMPARE(Text(grid, 2, 3), QString("40950"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 2);
        QCOMPARE(changed.at(0).at(1).toInt(), 3);
        // The program's own writes are not the user's changes.
        SetText(grid, 2, 4, "7");
        QCOMPARE(changed.count(), 1);
    }

    void ListCellGivesTheChosenIndex()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        grid.SetActiveColumn(2);
        grid.SetActiveRow(5);
        grid.SetCellListItems({"Off", "On", "Auto"});
        grid.SetCellType(kCellTypeList);
        QCOMPARE(grid.GetCellType(), kCellTypeList);
        grid.SetCellText("On");
        QCOMPARE(grid.GetChosenListItem(), int16_t{1});

        QSignalSpy changed(&grid, &CSpreadSheet::CellChanged);
        auto* box = qobject_cast<QComboBox*>(Table(grid)->cellWidget(4, 1));
        QVERIFY(box != nullptr);
        box->setCurrentIndex(2);
        QCOMPARE(changed.count(), 1);
        grid.SetActiveColumn(2);
        grid.SetActiveRow(5);
        QCOMPARE(grid.GetChosenListItem(), int16_t{2});
        QCOMPARE(grid.GetCellText(), QString("Auto"));
        grid.SetActiveRow(6);
        QCOMPARE(grid.GetChosenListItem(), int16_t{-1});
    }

    void CopyCutAndPasteGoThroughTheClipboard()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        SetText(grid, 1, 1, "a");
        SetText(grid, 2, 1, "b");
        SetText(grid, 1, 2, "c");
        SetText(grid, 2, 2, "d");
        grid.SetCellType(kCellTypeReadOnly);
        QTableWidget* table = Table(grid);
        table->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);

        grid.SetAction(kActionCopy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("a\tb\nc\td\n"));
        QCOMPARE(Text(grid, 1, 1), QString("a"));

        QSignalSpy changed(&grid, &CSpreadSheet::CellChanged);
        grid.SetAction(kActionCut);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("a\tb\nc\td\n"));
        QCOMPARE(Text(grid, 1, 1), QString());
        QCOMPARE(Text(grid, 2, 1), QString());
        QCOMPARE(Text(grid, 1, 2), QString());
        QCOMPARE(Text(grid, 2, 2), QString("d")); // read-only
        QCOMPARE(changed.count(), 3);

        // Paste from the top left of the selection, within the length limit,
        // around read-only cells and not past the grid's edge.
        grid.SetActiveColumn(3);
        grid.SetActiveRow(11);
        grid.SetCellLengthLimit(2);
        grid.SetActiveColumn(3);
        grid.SetActiveRow(12);
        grid.SetCellType(kCellTypeReadOnly);
        table->clearSelection();
        table->setRangeSelected(QTableWidgetSelectionRange(9, 1, 9, 1), true);
        QGuiApplication::clipboard()->setText("1\t2345\t9\r\n3\t4\t9\n");
        grid.SetAction(kActionPaste);
        QCOMPARE(Text(grid, 2, 10), QString("1"));
        QCOMPARE(Text(grid, 3, 10), QString("2345"));
        QCOMPARE(Text(grid, 2, 11), QString("3"));
        QCOMPARE(Text(grid, 3, 11), QString("4"));
        QCOMPARE(Text(grid, 3, 12), QString());
        QCOMPARE(table->columnCount(), 3);

        QGuiApplication::clipboard()->setText("abcdef");
        table->clearSelection();
        table->setRangeSelected(QTableWidgetSelectionRange(10, 2, 10, 2), true);
        grid.SetAction(kActionPaste);
        QCOMPARE(Text(grid, 3, 11), QString("ab"));
    }

    void PageCountFollowsRowsAndLayout()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        FillRows(grid, 100);
        grid.SetPrintLayout(kPrintLayoutPortrait);
        const int portrait = grid.GetPrintedPageCount();
        grid.SetPrintLayout(kPrintLayoutLandscape);
        const int landscape = grid.GetPrintedPageCount();
        QVERIFY(portrait >= 2);
        QVERIFY(landscape > portrait);

        FillRows(grid, 200);
        QVERIFY(grid.GetPrintedPageCount() > landscape);
        grid.SetNumberOfRows(0);
        QCOMPARE(grid.GetPrintedPageCount(), 1);
        // A row taller than the page still prints, one to a page.
        FillRows(grid, 2);
        grid.SetRowHeight(1, 2000.0);
        grid.SetRowHeight(2, 2000.0);
        QCOMPARE(grid.GetPrintedPageCount(), 2);
    }

    // The rows a grid keeps empty for more values print no pages: the last
    // page is the one with the last text, whatever follows it.
    void EmptyRowsAfterTheLastTextPrintNoPage_data()
    {
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("rows");
        QTest::newRow("settings grid") << 22 << 50;
        QTest::newRow("long empty tail") << 22 << 400;
        QTest::newRow("several pages of text") << 120 << 400;
        QTest::newRow("only the header") << 0 << 50;
    }

    void EmptyRowsAfterTheLastTextPrintNoPage()
    {
        QFETCH(int, filled);
        QFETCH(int, rows);
        CSpreadSheet exact;
        LayOutSettings(exact);
        FillRows(exact, std::max(filled, 1));
        CSpreadSheet tailed;
        LayOutSettings(tailed);
        FillRows(tailed, filled);
        tailed.SetNumberOfRows(rows);
        QCOMPARE(tailed.GetPrintedPageCount(), exact.GetPrintedPageCount());
        // A text in the last row, in any column, prints every row.
        SetText(tailed, 3, rows, "x");
        CSpreadSheet full;
        LayOutSettings(full);
        FillRows(full, rows);
        QCOMPARE(tailed.GetPrintedPageCount(), full.GetPrintedPageCount());
    }

    // Each page names itself among all of them, with the lines the form set.
    void EveryPageCarriesTheLinesAndItsNumberAmongAll()
    {
        CSpreadSheet grid;
        LayOutSettings(grid);
        FillRows(grid, 150);
        grid.SetPrintModelLine("Model : VQX-B410    ESN : 8D2A41F3");
        grid.SetPrintStampLine("Printed at 2026-12-07 18:00:00    version 9.8.7");
        const int pages = grid.GetPrintedPageCount();
        QVERIFY(pages >= 3);
        for (int page = 1; page <= pages; ++page) {
            TextRecorder recorder;
            QPainter painter(&recorder);
            grid.PaintPage(painter, QSizeF(recorder.width(), recorder.height()), page);
            painter.end();
            const QStringList& texts = recorder.Texts();
            QVERIFY2(texts.contains(QString("page %1 of %2").arg(page).arg(pages)), qPrintable(texts.join('|')));
            QVERIFY(texts.contains("Model : VQX-B410    ESN : 8D2A41F3"));
            QVERIFY(texts.contains("Printed at 2026-12-07 18:00:00    version 9.8.7"));
        }
    }

    void PrintActionWritesThePdfFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CSpreadSheet grid;
        LayOutSettings(grid);
        grid.SetNumberOfRows(150);
        for (int row = 1; row <= 150; ++row) {
            SetText(grid, 1, row, QString("HOME SID for Network Lock %1").arg(row));
            SetText(grid, 2, row, QString::number(row * 100));
        }
        grid.SetPrintLayout(kPrintLayoutPortrait);
        grid.SetPrintModelLine(kPrintModelLine);
        const int pages = grid.GetPrintedPageCount();
        QVERIFY(pages >= 3);

        const QString all = dir.filePath("all.pdf");
        grid.SetPrintOutputFile(all);
        grid.SetPrintRangeKind(kPrintRangeAll);
        grid.SetAction(kActionPrint);
        QVERIFY(QFileInfo(all).size() > 0);
        QCOMPARE(PdfPageCount(all), pages);

        const QString range = dir.filePath("range.pdf");
        grid.SetPrintOutputFile(range);
        grid.SetPrintRangeKind(kPrintRangePages);
        grid.SetPrintFirstPage(2);
        grid.SetPrintLastPage(3);
        grid.SetAction(kActionPrint);
        QCOMPARE(PdfPageCount(range), 2);

        // A range past the last page is cut at the last page; one that
        // holds no page prints nothing.
        const QString tail = dir.filePath("tail.pdf");
        grid.SetPrintOutputFile(tail);
        grid.SetPrintFirstPage(static_cast<int16_t>(pages));
        grid.SetPrintLastPage(999);
        grid.SetAction(kActionPrint);
        QCOMPARE(PdfPageCount(tail), 1);
        const QString none = dir.filePath("none.pdf");
        grid.SetPrintOutputFile(none);
        grid.SetPrintFirstPage(3);
        grid.SetPrintLastPage(2);
        grid.SetAction(kActionPrint);
        QVERIFY(!QFileInfo::exists(none));
    }

    // On screen the columns share the grid's width in their proportions, so a
    // window of any usual size shows no horizontal scroll bar; a very narrow
    // one keeps the cells readable and scrolls.
    void ColumnsFillTheGridOnScreen_data()
    {
        QTest::addColumn<int>("formWidth");
        QTest::addColumn<bool>("fills");
        QTest::newRow("the smallest window") << 620 << true;
        QTest::newRow("a large window") << 1200 << true;
        QTest::newRow("narrower than half the columns") << 200 << false;
    }

    void ColumnsFillTheGridOnScreen()
    {
        QFETCH(int, formWidth);
        QFETCH(bool, fills);
        CSpreadSheet grid;
        grid.SetNumberOfColumns(2);
        grid.SetNumberOfRows(2);
        grid.SetColumnWidth(1, 40.0);
        grid.SetColumnWidth(2, 50.0);
        grid.resize(formWidth, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QTableWidget* table = Table(grid);
        const int available = table->viewport()->width();
        const int used = table->columnWidth(0) + table->columnWidth(1);
        QCOMPARE(used == available, fills);
        QCOMPARE(table->horizontalScrollBar()->isVisible(), !fills);
        QVERIFY(std::abs(table->columnWidth(0) * 50.0 / table->columnWidth(1) - 40.0) < 1.0);

        // A column given later takes its share at once.
        grid.SetNumberOfColumns(3);
        grid.SetColumnWidth(3, 10.0);
        const int three = table->columnWidth(0) + table->columnWidth(1) + table->columnWidth(2);
        QCOMPARE(three == table->viewport()->width(), fills);
    }

    // Tab leaves the grid for the form's next control; the arrows move in it.
    void TabLeavesTheGrid()
    {
        QWidget form;
        auto* layout = new QVBoxLayout(&form);
        auto* grid = new CSpreadSheet(&form);
        auto* button = new QPushButton("Read General Information", &form);
        layout->addWidget(grid);
        layout->addWidget(button);
        LayOutSettings(*grid);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        grid->setFocus();
        QTableWidget* table = Table(*grid);
        QVERIFY(table->hasFocus());
        table->setCurrentCell(0, 0);
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(table->currentRow(), 1);
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(button->hasFocus());
        QCOMPARE(table->currentRow(), 1);
        QTest::keyClick(button, Qt::Key_Backtab);
        QVERIFY(table->hasFocus());
    }

    // The cell with the keyboard focus is framed in the highlight colour,
    // selected or not, and only while the grid has the focus.
    void TheFocusedCellIsFramed()
    {
        QWidget form;
        auto* layout = new QVBoxLayout(&form);
        auto* grid = new CSpreadSheet(&form);
        auto* button = new QPushButton("Read", &form);
        layout->addWidget(grid);
        layout->addWidget(button);
        LayOutSettings(*grid);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTableWidget* table = Table(*grid);
        grid->setFocus();
        table->setCurrentCell(2, 1);
        table->clearSelection();
        const QRect cell = table->visualRect(table->model()->index(2, 1));
        const QColor highlight = table->palette().color(QPalette::Highlight);
        auto framed = [&] {
            const QImage image = table->viewport()->grab().toImage();
            return image.pixelColor(cell.center().x(), cell.top() + 1) == highlight
                && image.pixelColor(cell.left() + 1, cell.center().y()) == highlight
                && image.pixelColor(cell.center()) != highlight;
        };
        QVERIFY(table->hasFocus());
        QVERIFY(framed());
        button->setFocus();
        QVERIFY(!framed());
    }

    void CommandButtonCaptionAndClick()
    {
        CCommandButton button;
        button.setText("Read General Information");
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicks(&button, &CCommandButton::Click);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(button.GetWindowText(), QString("Read General Information"));
        button.SetWindowText("Stop");
        QCOMPARE(button.text(), QString("Stop"));
        button.setEnabled(false);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }
};

QTEST_MAIN(SpreadSheetTest)
#include "SpreadSheetTest.moc"
