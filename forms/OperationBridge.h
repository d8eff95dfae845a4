#pragma once

#include <QObject>
#include <functional>

#include "engine/OperationSink.h"

namespace corvanetov {

// Carries a worker's operation messages to the view's thread. The worker
// waits until the view has handled each one, as the engine expects, but a
// stop request releases it at once: a worker is never left hanging on a view
// that has let it go, and a view never hears from a stopped worker.
//
// The handler is a plain function rather than a signal: the message type is
// then never registered with Qt's type system, which must not keep types of
// a plug-in that can be unloaded.
class OperationBridge : public QObject, public OperationSink {
    Q_OBJECT
public:
    using Handler = std::function<void(const OperationMessage&)>;

    explicit OperationBridge(Handler handler, QObject* parent = nullptr);

    void OnOperationMessage(const OperationMessage& message) override;

private:
    Handler m_handler;
};

} // namespace corvanetov
