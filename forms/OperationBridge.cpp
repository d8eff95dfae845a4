#include "forms/OperationBridge.h"

#include <QThread>
#include <memory>

#include "platform/ManualEvent.h"
#include "platform/Pacing.h"

namespace {
constexpr uint32_t kNoTimeOut = 0xFFFFFFFF;
}

OperationBridge::OperationBridge(QObject* parent) : QObject(parent) {}

void OperationBridge::OnOperationMessage(const OperationMessage& message)
{
    if (QThread::currentThread() == thread()) {
        emit Message(message);
        return;
    }
    auto handled = std::make_shared<ManualEvent>();
    QMetaObject::invokeMethod(
        this,
        [this, message, handled] {
            if (!Pacing::Instance().StopRequested())
                emit Message(message);
            handled->Set();
        },
        Qt::QueuedConnection);
    handled->Wait(kNoTimeOut);
}
