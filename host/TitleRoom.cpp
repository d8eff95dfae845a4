#include "host/TitleRoom.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLayout>
#include <QSpacerItem>

namespace corvanetov {

namespace {
// Set on a dialog once it has room for its title; a later title is seldom
// longer, and a second strut would only stack.
constexpr char kWidened[] = "corvanetovTitleRoom";
} // namespace

int TitleRoom::NeededWidth(const QString& title)
{
    if (title.isEmpty())
        return 0;
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kBarRoom;
}

// A strut in the dialog's own layout: a message box sizes itself from its
// layout as it shows (a minimum width alone it overrides), and so does a
// dialog whose layout fixes its size.
void TitleRoom::Widen(QDialog& dialog)
{
    const int needed = NeededWidth(dialog.windowTitle());
    // A dialog that was given a size shows at it; another at its size hint.
    const int width = dialog.testAttribute(Qt::WA_Resized) ? dialog.width() : dialog.sizeHint().width();
    QLayout* layout = dialog.layout();
    if (dialog.property(kWidened).toBool() || needed <= width)
        return;
    dialog.setProperty(kWidened, true);
    if (!layout) {
        dialog.setMinimumWidth(needed);
        return;
    }
    const int margins = layout->contentsMargins().left() + layout->contentsMargins().right();
    auto* strut = new QSpacerItem(needed - margins, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    if (auto* grid = qobject_cast<QGridLayout*>(layout))
        grid->addItem(strut, grid->rowCount(), 0, 1, grid->columnCount());
    else
        layout->addItem(strut);
}

bool TitleRoom::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show)
        if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isWindow())
            Widen(*dialog);
    return false;
}

} // namespace corvanetov
