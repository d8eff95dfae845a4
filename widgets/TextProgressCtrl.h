#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace corvanetov {

// A progress bar that paints itself: the done part filled from the left and
// one line of text centred over the whole control, the percentage or a text
// the form sets. The text takes the bar's colours inverted, so the part of it
// over the filled bar stays readable.
class CTextProgressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    // Returns the previous position, or -1 (storing nothing) while the
    // control has no window yet.
    int SetPos(int position);
    int GetPos() const { return m_position; }

    // The window text is the override text: shown instead of the percentage
    // while it is not empty.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_overrideText; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double Fraction() const;
    int DoneWidth(int clientWidth) const;
    QString DisplayText() const;

    int m_position;
    int m_maximum;
    int m_minimum;
    QString m_overrideText;
    int m_barWidth;
    QColor m_barColor;
    QColor m_backColor;
    QColor m_textOnBackColor;
    QColor m_textOnBarColor;
};

} // namespace corvanetov
