#pragma once

#include <QAbstractNativeEventFilter>

namespace corvanetov {

// A window destroyed by someone else (`xdotool windowclose`, a session
// manager, a crashed window manager's clean-up) is closed as if its user had
// closed it: Qt would otherwise keep the widget "visible" with nothing on
// screen, and the host would run on for ever without a window. Closing the
// last window ends the host as usual; the main window asks nothing then (it
// is gone), and a running operation is stopped.
class ForeignDestroyWatch : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
};

} // namespace corvanetov
