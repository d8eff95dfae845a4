#include "host/ForeignDestroyWatch.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

#include "host/HostMainWindow.h"

namespace corvanetov {

namespace {
// The top-level widget shown in the native window, if Qt still holds that
// window: when Qt destroys a window of its own, the widget has let go of it
// before the server's notice arrives.
QWidget* ShownIn(xcb_window_t window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        QWindow* handle = widget->windowHandle();
        if (widget->isVisible() && handle && handle->handle() && handle->winId() == window)
            return widget;
    }
    return nullptr;
}
} // namespace

bool ForeignDestroyWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY)
        return false;
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    QWidget* widget = ShownIn(destroyed->window);
    if (auto* main = qobject_cast<HostMainWindow*>(widget))
        QMetaObject::invokeMethod(main, &HostMainWindow::CloseWithoutQuestion, Qt::QueuedConnection);
    else if (widget)
        QMetaObject::invokeMethod(widget, &QWidget::close, Qt::QueuedConnection);
    return false;
}

} // namespace corvanetov
