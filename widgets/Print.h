#pragma once

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QCheckBox;
namespace Ui {
class CPrint;
}

namespace corvanetov {

class CSpreadSheet;


// The "Print Preview" dialog through which a form prints one of its grids:
// it previews the grid's pages, shows the current and total page numbers,
// lets the user choose all pages or a range and hands the range, the model
// and stamp lines and the print action to the grid. The form sets the grid's
// print layout before opening it.
class CPrint : public QDialog {
    Q_OBJECT
public:
    explicit CPrint(QWidget* parent = nullptr);
    ~CPrint() override;

    // The grid to print; not owned. Call before showing the dialog.
    void AttachGrid(CSpreadSheet* grid);
    // What the form knows of the handset and the tool, for every page: the
    // handset's line (its ESN) beside the model, the tool's version beside
    // the time of printing.
    void SetPageLines(const QString& handsetLine, const QString& toolVersion);
    // Rows whose values are secrets (lock codes): previewed and printed as
    // **** unless the user ticks the box this adds to the dialog.
    void SetSecretRows(const std::vector<int>& rows);

    // The line naming the printing tool with the time of printing.
    static QString StampLine(const QDateTime& when);
    // A page field as a page number: its leading decimal digits, 0 when
    // there are none.
    static int16_t PageFieldValue(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnRadioAll();
    void OnRadioRanges();
    void OnPageChanged(int page);
    void OnStartPrint();
    // The lines and masks of every page, as the preview shows them and the
    // print has them.
    void ApplyPageLines();

    std::unique_ptr<Ui::CPrint> m_ui;
    // 0 = all pages, 1 = the range in the page fields.
    int m_rangeChoice;
    QPointer<CSpreadSheet> m_grid;
    bool m_initialized;
    QString m_handsetLine;
    QString m_toolVersion;
    std::vector<int> m_secretRows;
    QCheckBox* m_showSecrets = nullptr;
};

} // namespace corvanetov
