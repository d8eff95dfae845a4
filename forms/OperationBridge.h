#pragma once

#include <QObject>

#include "engine/OperationSink.h"

// Carries a worker's operation messages to the view's thread. The worker
// waits until the view has handled each one, as the engine expects, but a
// stop request releases it at once: a worker is never left hanging on a view
// that has let it go, and a view never hears from a stopped worker.
class OperationBridge : public QObject, public OperationSink {
    Q_OBJECT
public:
    explicit OperationBridge(QObject* parent = nullptr);

    void OnOperationMessage(const OperationMessage& message) override;

signals:
    void Message(const OperationMessage& message);
};

Q_DECLARE_METATYPE(OperationMessage)
