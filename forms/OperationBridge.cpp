#include "forms/OperationBridge.h"

#include <QThread>
#include <atomic>
#include <memory>

#include "platform/ManualEvent.h"
#include "platform/Pacing.h"

namespace corvanetov {

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
    struct Delivery {
        ManualEvent handled;
        std::atomic<bool> abandoned{false};
    };
    auto delivery = std::make_shared<Delivery>();
    QMetaObject::invokeMethod(
        this,
        [this, message, delivery] {
            // A stopped worker has gone on without waiting; what it left in
            // the queue is no longer news, even once the stop is over.
            if (!delivery->abandoned && !Pacing::Instance().StopRequested())
                m_handler(message);
            delivery->handled.Set();
        },
        Qt::QueuedConnection);
    if (delivery->handled.Wait(kNoTimeOut) != ManualEvent::WaitResult::Signalled)
        delivery->abandoned = true;
}

} // namespace corvanetov
