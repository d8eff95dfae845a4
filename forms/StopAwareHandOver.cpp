#include "forms/StopAwareHandOver.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

#include "platform/ManualEvent.h"
#include "platform/Pacing.h"

namespace corvanetov {

namespace {
constexpr uint32_t kNoTimeOut = 0xFFFFFFFF;
}

bool StopAwareHandOver::Run(QObject* target, std::function<void()> work)
{
    if (QThread::currentThread() == target->thread()) {
        work();
        return true;
    }
    struct Delivery {
        ManualEvent handled;
        std::atomic<bool> abandoned{false};
        bool ran = false; // read once handled is set
    };
    auto delivery = std::make_shared<Delivery>();
    QMetaObject::invokeMethod(
        target,
        [work = std::move(work), delivery] {
            // A stopped worker has gone on without waiting; what it left in
            // the queue is no longer wanted, even once the stop is over.
            if (!delivery->abandoned && !Pacing::Instance().StopRequested()) {
                work();
                delivery->ran = true;
            }
            delivery->handled.Set();
        },
        Qt::QueuedConnection);
    if (delivery->handled.Wait(kNoTimeOut) == ManualEvent::WaitResult::Signalled)
        return delivery->ran;
    delivery->abandoned = true;
    return false;
}

} // namespace corvanetov
