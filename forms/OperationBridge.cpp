#include "forms/OperationBridge.h"

#include <QThread>
#include <memory>

#include "platform/ManualEvent.h"
#include "platform/Pacing.h"

namespace {
constexpr uint32_t kNoTimeOut = 0xFFFFFFFF;
}

OperationBridge::OperationBridge(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

void OperationBridge::OnOperationMessage(const OperationMessage& message)
{
    if (QThread::currentThread() == thread()) {
        m_handler(message);
        return;
    }
    auto handled = std::make_shared<ManualEvent>();
    QMetaObject::invokeMethod(
        this,
        [this, message, handled] {
            if (!Pacing::Instance().StopRequested())
                m_handler(message);
            handled->Set();
        },
        Qt::QueuedConnection);
    handled->Wait(kNoTimeOut);
}
