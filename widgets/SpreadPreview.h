#pragma once

#include <QPointer>
#include <QWidget>
class QToolButton;

namespace corvanetov {

class CSpreadSheet;

// The preview pane of the print dialog: shows the pages a grid prints to, one
// at a time, and lets the user leaf through them.
class CSpreadPreview : public QWidget {
    Q_OBJECT
public:
    explicit CSpreadPreview(QWidget* parent = nullptr);

    // Binds the pane to a grid and shows its first page.
    void SetGridToPreview(CSpreadSheet* grid);
    // The page shown, counted from 1; 0 while no grid is bound.
    int GetPageShown() const { return m_page; }

    QSize sizeHint() const override;

signals:
    // The user moved the preview to another page.
    void PageChanged(int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int PageCount() const;
    void MoveToPage(int page);
    void UpdateButtons();
    QRect PageArea() const;

    QPointer<CSpreadSheet> m_grid;
    int m_page;
    QToolButton* m_previousButton;
    QToolButton* m_nextButton;
};

} // namespace corvanetov
