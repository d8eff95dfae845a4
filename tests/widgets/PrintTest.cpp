#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "PdfPages.h"
#include "widgets/Label.h"
#include "widgets/Print.h"
#include "widgets/SpreadPreview.h"
#include "widgets/SpreadSheet.h"
#include "widgets/WidgetConstants.h"

using namespace corvanetov;

using namespace WidgetConstants;

namespace {

// Finds the dialog's controls by their names in the form.
struct PrintDialogControls {
    explicit PrintDialogControls(CPrint& dialog)
        : preview(dialog.findChild<CSpreadPreview*>("preview"))
        , currentPage(dialog.findChild<CLabel*>("labelCurrentPage"))
        , totalPage(dialog.findChild<CLabel*>("labelTotalPage"))
        , firstPage(dialog.findChild<QLineEdit*>("editFirstPage"))
        , lastPage(dialog.findChild<QLineEdit*>("editLastPage"))
        , all(dialog.findChild<QRadioButton*>("radioAll"))
        , ranges(dialog.findChild<QRadioButton*>("radioRanges"))
        , startPrint(dialog.findChild<QPushButton*>("buttonStartPrint"))
        , cancel(dialog.findChild<QPushButton*>("buttonCancel"))
    {
    }

    bool Complete() const
    {
        return preview && currentPage && totalPage && firstPage && lastPage && all && ranges && startPrint && cancel;
    }

    CSpreadPreview* preview;
    CLabel* currentPage;
    CLabel* totalPage;
    QLineEdit* firstPage;
    QLineEdit* lastPage;
    QRadioButton* all;
    QRadioButton* ranges;
    QPushButton* startPrint;
    QPushButton* cancel;
};

// A settings-like grid long enough for several pages.
void FillGrid(CSpreadSheet& grid, int rows)
{
    grid.SetNumberOfColumns(3);
    grid.SetNumberOfRows(rows);
    grid.SetColumnWidth(1, 25.0);
    grid.SetColumnWidth(2, 20.0);
    grid.SetColumnWidth(3, 20.0);
    grid.SetActiveRow(0);
    grid.SetActiveColumn(1);
    grid.SetCellText("NAM1");
    for (int row = 1; row <= rows; ++row) {
        grid.SetActiveRow(row);
        grid.SetCellText(QString("Item %1").arg(row));
    }
    grid.SetPrintLayout(kPrintLayoutPortrait);
}

// A user's click on a button; radio buttons take clicks on their label only,
// so no mouse position is guessed.
void Click(QAbstractButton* button)
{
    button->click();
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT

private slots:
    void StampLineHasTwoBlanksBeforeTheDate()
    {
        const QDateTime when(QDate(2006, 6, 20), QTime(14, 5, 9));
        QCOMPARE(CPrint::StampLine(when), QString("Printed by CorvaneTOV_ _ _ _ _  2006-06-20 14:05:09"));
        QCOMPARE(CPrint::StampLine(QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0))),
                 QString("Printed by CorvaneTOV_ _ _ _ _  1999-12-31 00:00:00"));
    }

    void PageFieldsReadTheirLeadingDigits()
    {
        QCOMPARE(CPrint::PageFieldValue("2"), int16_t{2});
        QCOMPARE(CPrint::PageFieldValue("12ab"), int16_t{12});
        QCOMPARE(CPrint::PageFieldValue(""), int16_t{0});
        QCOMPARE(CPrint::PageFieldValue("x3"), int16_t{0});
        QCOMPARE(CPrint::PageFieldValue("99999999"), int16_t{32767});
    }

    void PreviewShowsTheFirstPageAtOnceAndLeafs()
    {
        CSpreadSheet grid;
        FillGrid(grid, 150);
        const int pages = grid.GetPrintedPageCount();
        QVERIFY(pages >= 3);
        CSpreadPreview preview;
        QCOMPARE(preview.GetPageShown(), 0);
        preview.SetGridToPreview(&grid);
        QCOMPARE(preview.GetPageShown(), 1);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));

        QSignalSpy changed(&preview, &CSpreadPreview::PageChanged);
        auto* previous = preview.findChild<QToolButton*>("previousPageButton");
        auto* next = preview.findChild<QToolButton*>("nextPageButton");
        QVERIFY(previous && next);
        QVERIFY(!previous->isEnabled());
        Click(next);
        QCOMPARE(preview.GetPageShown(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 2);
        QTest::keyClick(&preview, Qt::Key_End);
        QCOMPARE(preview.GetPageShown(), pages);
        QVERIFY(!next->isEnabled());
        // Nothing beyond the last page, and no event for staying put.
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(changed.count(), 2);
        QTest::keyClick(&preview, Qt::Key_Home);
        QCOMPARE(preview.GetPageShown(), 1);
        QCOMPARE(changed.count(), 3);
    }

    void OpeningShowsThePagesWithAllSelectedAndFieldsEnabled()
    {
        CSpreadSheet grid;
        FillGrid(grid, 150);
        CPrint dialog;
        dialog.AttachGrid(&grid);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        PrintDialogControls controls(dialog);
        QVERIFY(controls.Complete());
        QCOMPARE(dialog.windowTitle(), QString("Print Preview"));

        const QString total = QString::number(grid.GetPrintedPageCount());
        QCOMPARE(controls.currentPage->text(), QString("1"));
        QCOMPARE(controls.firstPage->text(), QString("1"));
        QCOMPARE(controls.totalPage->text(), total);
        QCOMPARE(controls.lastPage->text(), total);
        QVERIFY(controls.all->isChecked());
        QVERIFY(controls.firstPage->isEnabled());
        QVERIFY(controls.lastPage->isEnabled());
        for (const CLabel* label : {controls.currentPage, controls.totalPage}) {
            QVERIFY(label->font().bold());
            QVERIFY(label->font().italic());
            QCOMPARE(label->TextColor(), 0u);
        }

        Click(controls.ranges);
        QVERIFY(controls.firstPage->isEnabled());
        Click(controls.all);
        QVERIFY(!controls.firstPage->isEnabled());
        QVERIFY(!controls.lastPage->isEnabled());
        Click(controls.ranges);
        QVERIFY(controls.lastPage->isEnabled());

        // Leafing moves the current-page label, not the first-page field.
        Click(controls.preview->findChild<QToolButton*>("nextPageButton"));
        QCOMPARE(controls.currentPage->text(), QString("2"));
        QCOMPARE(controls.firstPage->text(), QString("1"));

        Click(controls.cancel);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void StartPrintHandsRangeLinesAndActionToTheGrid()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CSpreadSheet grid;
        FillGrid(grid, 150);
        const int pages = grid.GetPrintedPageCount();
        CPrint dialog;
        dialog.AttachGrid(&grid);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        PrintDialogControls controls(dialog);
        QVERIFY(controls.Complete());

        // The handset and the tool on every page, as the form names them.
        dialog.SetPageLines("ESN : 8D2A41F3", "9.8.7");
        const QString range = dir.filePath("range.pdf");
        grid.SetPrintOutputFile(range);
        Click(controls.ranges);
        controls.firstPage->setText("2");
        controls.lastPage->setText("3");
        Click(controls.startPrint);
        QCOMPARE(grid.GetPrintFirstPage(), int16_t{2});
        QCOMPARE(grid.GetPrintLastPage(), int16_t{3});
        QCOMPARE(grid.GetPrintRangeKind(), kPrintRangePages);
        QCOMPARE(grid.GetPrintModelLine(), QString("Model : VQX-B410    ESN : 8D2A41F3"));
        QVERIFY(QRegularExpression(QStringLiteral("^Printed by CorvaneTOV_ _ _ _ _  \\d{4}-\\d\\d-\\d\\d "
                                                  "\\d\\d:\\d\\d:\\d\\d    version 9\\.8\\.7$"))
                    .match(grid.GetPrintStampLine())
                    .hasMatch());
        QVERIFY(QFileInfo(range).size() > 0);
        QCOMPARE(PdfPageCount(range), 2);
        QVERIFY(dialog.isVisible());

        // "All" after a range print: range kind 0, the old pages stay set.
        const QString all = dir.filePath("all.pdf");
        grid.SetPrintOutputFile(all);
        Click(controls.all);
        Click(controls.startPrint);
        QCOMPARE(grid.GetPrintRangeKind(), kPrintRangeAll);
        QCOMPARE(grid.GetPrintFirstPage(), int16_t{2});
        QCOMPARE(grid.GetPrintLastPage(), int16_t{3});
        QCOMPARE(PdfPageCount(all), pages);

        // A field without a number passes page 0.
        grid.SetPrintOutputFile(dir.filePath("bad.pdf"));
        Click(controls.ranges);
        controls.firstPage->setText("");
        controls.lastPage->setText("two");
        Click(controls.startPrint);
        QCOMPARE(grid.GetPrintFirstPage(), int16_t{0});
        QCOMPARE(grid.GetPrintLastPage(), int16_t{0});
        QVERIFY(!QFileInfo::exists(dir.filePath("bad.pdf")));
    }
};

QTEST_MAIN(PrintTest)
#include "PrintTest.moc"
