#include "widgets/TextProgressCtrl.h"

#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>

#include "widgets/WidgetConstants.h"

namespace corvanetov {

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent)
    : QWidget(parent)
    , m_position(0)
    , m_maximum(WidgetConstants::kProgressMaximum)
    , m_minimum(WidgetConstants::kProgressMinimum)
    , m_barWidth(WidgetConstants::kBarWidthUnknown)
    , m_barColor(palette().color(QPalette::Highlight))
    , m_backColor(palette().color(QPalette::Base))
    , m_textOnBackColor(palette().color(QPalette::Highlight))
    , m_textOnBarColor(palette().color(QPalette::Base))
{
    // Every pixel is painted by paintEvent: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CTextProgressCtrl::SetPos(int position)
{
    if (!testAttribute(Qt::WA_WState_Created)) {
        return -1;
    }
    const int old = m_position;
    m_position = position;
    const int barWidth = DoneWidth(width());
    // A move of less than a pixel repaints nothing, the text included.
    if (barWidth != m_barWidth) {
        m_barWidth = barWidth;
        repaint();
    }
    return old;
}

void CTextProgressCtrl::SetWindowText(const QString& text)
{
    if (text != m_overrideText) {
        m_overrideText = text;
        update();
    }
}

QSize CTextProgressCtrl::sizeHint() const
{
    return QSize(200, fontMetrics().height() + 8);
}

double CTextProgressCtrl::Fraction() const
{
    return static_cast<double>(m_position - m_minimum) / static_cast<double>(m_maximum - m_minimum);
}

int CTextProgressCtrl::DoneWidth(int clientWidth) const
{
    return static_cast<int>(clientWidth * Fraction());
}

QString CTextProgressCtrl::DisplayText() const
{
    if (!m_overrideText.isEmpty()) {
        return m_overrideText;
    }
    return QString::asprintf("%d%%", static_cast<int>(Fraction() * 100));
}

void CTextProgressCtrl::paintEvent(QPaintEvent*)
{
    if (m_minimum >= m_maximum) {
        return;
    }
    const QRect client = rect();
    QRect done = client;
    done.setRight(client.left() + DoneWidth(client.width()) - 1);
    QRect remaining = client;
    remaining.setLeft(done.right() + 1);

    QPainter painter(this);
    painter.fillRect(done, m_barColor);
    painter.fillRect(remaining, m_backColor);
    const QString text = DisplayText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(done);
    painter.setPen(m_textOnBarColor);
    painter.drawText(client, flags, text);
    painter.setClipRect(remaining);
    painter.setPen(m_textOnBackColor);
    painter.drawText(client, flags, text);
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_barWidth = WidgetConstants::kBarWidthUnknown;
}

} // namespace corvanetov
