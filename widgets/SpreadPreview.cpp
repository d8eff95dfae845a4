#include "widgets/SpreadPreview.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

#include "widgets/SpreadSheet.h"

namespace corvanetov {

namespace {

constexpr int kPageGap = 8;
constexpr int kShadowOffset = 3;
const QColor kDeskColor(0x80, 0x80, 0x80);
const QColor kShadowColor(0x40, 0x40, 0x40);

} // namespace

CSpreadPreview::CSpreadPreview(QWidget* parent)
    : QWidget(parent)
    , m_page(0)
    , m_previousButton(new QToolButton(this))
    , m_nextButton(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    m_previousButton->setObjectName("previousPageButton");
    m_previousButton->setArrowType(Qt::LeftArrow);
    m_nextButton->setObjectName("nextPageButton");
    m_nextButton->setArrowType(Qt::RightArrow);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_previousButton);
    buttons->addWidget(m_nextButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addStretch();
    connect(m_previousButton, &QToolButton::clicked, this, [this] { MoveToPage(m_page - 1); });
    connect(m_nextButton, &QToolButton::clicked, this, [this] { MoveToPage(m_page + 1); });
    UpdateButtons();
}

void CSpreadPreview::SetGridToPreview(CSpreadSheet* grid)
{
    m_grid = grid;
    m_page = grid != nullptr ? 1 : 0;
    UpdateButtons();
    update();
}

QSize CSpreadPreview::sizeHint() const
{
    return QSize(320, 420);
}

int CSpreadPreview::PageCount() const
{
    return m_grid ? m_grid->GetPrintedPageCount() : 0;
}

void CSpreadPreview::MoveToPage(int page)
{
    const int target = std::clamp(page, 1, std::max(1, PageCount()));
    if (!m_grid || target == m_page) {
        return;
    }
    m_page = target;
    UpdateButtons();
    update();
    emit PageChanged(m_page);
}

void CSpreadPreview::UpdateButtons()
{
    m_previousButton->setEnabled(m_grid && m_page > 1);
    m_nextButton->setEnabled(m_grid && m_page < PageCount());
}

QRect CSpreadPreview::PageArea() const
{
    return rect().adjusted(0, m_previousButton->geometry().bottom() + 1, 0, 0);
}

void CSpreadPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = PageArea();
    painter.fillRect(area, kDeskColor);
    if (!m_grid) {
        return;
    }
    const QPageLayout layout = m_grid->PrintPageLayout();
    const QRectF full = layout.fullRect(QPageLayout::Point);
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const double scale = std::min((area.width() - 2 * kPageGap) / full.width(),
                                  (area.height() - 2 * kPageGap) / full.height());
    if (scale <= 0) {
        return;
    }
    const QSizeF pageSize = full.size() * scale;
    const QPointF origin(area.left() + (area.width() - pageSize.width()) / 2,
                         area.top() + (area.height() - pageSize.height()) / 2);
    const QRectF page(origin, pageSize);
    painter.fillRect(page.translated(kShadowOffset, kShadowOffset), kShadowColor);
    painter.fillRect(page, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(origin);
    painter.scale(scale, scale);
    painter.translate(paint.topLeft());
    m_grid->PaintPage(painter, paint.size(), m_page);
}

void CSpreadPreview::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageUp:
        MoveToPage(m_page - 1);
        break;
    case Qt::Key_PageDown:
        MoveToPage(m_page + 1);
        break;
    case Qt::Key_Home:
        MoveToPage(1);
        break;
    case Qt::Key_End:
        MoveToPage(PageCount());
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void CSpreadPreview::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y();
    if (steps != 0) {
        MoveToPage(m_page + (steps < 0 ? 1 : -1));
    }
    event->accept();
}

} // namespace corvanetov
