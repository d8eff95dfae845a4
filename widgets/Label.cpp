#include "widgets/Label.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "widgets/ColorRef.h"

namespace corvanetov {

namespace {
constexpr int kWeightBold = 700;
constexpr int kWeightNormal = 400;
// How much of a shortened text stays in view at the least, in characters.
constexpr int kElidedMinimumChars = 12;
} // namespace

CLabel::CLabel(QWidget* parent)
    : QLabel(parent)
    , m_textColor(ColorRefFromColor(QApplication::palette().color(QPalette::WindowText)))
    , m_bkBrush(QApplication::palette().color(QPalette::Button))
    , m_logFont(QApplication::font())
{
    RebuildFont();
}

CLabel& CLabel::SetText(const QString& text)
{
    setText(text);
    if (m_elideMiddle)
        setToolTip(text);
    return *this;
}

CLabel& CLabel::SetElideMiddle(bool elide)
{
    m_elideMiddle = elide;
    setToolTip(elide ? text() : QString());
    updateGeometry();
    update();
    return *this;
}

QSize CLabel::minimumSizeHint() const
{
    QSize hint = QLabel::minimumSizeHint();
    if (m_elideMiddle)
        hint.setWidth(std::min(hint.width(), fontMetrics().averageCharWidth() * kElidedMinimumChars));
    return hint;
}

QSize CLabel::sizeHint() const
{
    return m_elideMiddle ? minimumSizeHint() : QLabel::sizeHint();
}

CLabel& CLabel::SetTextColor(uint32_t colorRef)
{
    m_textColor = colorRef;
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, ColorFromColorRef(colorRef));
    setPalette(colors);
    Repaint();
    return *this;
}

CLabel& CLabel::SetFontSize(int size)
{
    // The size is the character height in pixels, the logical unit here.
    m_logFont.setPixelSize(size);
    RebuildFont();
    Repaint();
    return *this;
}

CLabel& CLabel::SetFontBold(bool bold)
{
    m_logFont.setWeight(QFont::Weight(bold ? kWeightBold : kWeightNormal));
    RebuildFont();
    Repaint();
    return *this;
}

CLabel& CLabel::SetFontItalic(bool italic)
{
    m_logFont.setItalic(italic);
    RebuildFont();
    Repaint();
    return *this;
}

CLabel& CLabel::SetBkColor(uint32_t colorRef)
{
    m_bkBrush = QBrush(ColorFromColorRef(colorRef));
    return *this;
}

void CLabel::RebuildFont()
{
    setFont(m_logFont);
}

void CLabel::Repaint()
{
    if (isVisible())
        repaint();
}

void CLabel::paintEvent(QPaintEvent* event)
{
    if (m_elideMiddle) {
        PaintElided();
        return;
    }
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_bkBrush);
    }
    QLabel::paintEvent(event);
}

void CLabel::PaintElided()
{
    QPainter painter(this);
    painter.fillRect(rect(), m_bkBrush);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, static_cast<int>(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
}

} // namespace corvanetov
