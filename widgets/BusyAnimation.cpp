#include "widgets/BusyAnimation.h"

#include <QPainter>
#include <QtMath>

namespace corvanetov {

namespace {
constexpr int kDots = 12;
constexpr int kFrameMs = 80;
constexpr int kSide = 36;
} // namespace

CBusyAnimation::CBusyAnimation(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &CBusyAnimation::NextFrame);
}

void CBusyAnimation::Play()
{
    m_frame = 0;
    m_timer.start();
    update();
}

void CBusyAnimation::Stop()
{
    m_timer.stop();
    update();
}

void CBusyAnimation::NextFrame()
{
    if (!isVisible())
        return;
    m_frame = (m_frame + 1) % kDots;
    update();
}

QSize CBusyAnimation::sizeHint() const
{
    return {kSide, kSide};
}

void CBusyAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    qreal side = qMin(width(), height());
    qreal radius = side * 0.38;
    qreal dot = side * 0.08;
    QPointF centre(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::Highlight);
    for (int i = 0; i < kDots; ++i) {
        // The dot of the current frame is brightest; the tail fades.
        int age = (m_frame - i + kDots) % kDots;
        colour.setAlphaF(IsPlaying() ? 1.0 - age / static_cast<qreal>(kDots) : 0.25);
        qreal angle = 2 * M_PI * i / kDots - M_PI / 2;
        QPointF at = centre + QPointF(qCos(angle), qSin(angle)) * radius;
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(at, dot, dot);
    }
}

} // namespace corvanetov
