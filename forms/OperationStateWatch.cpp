#include "forms/OperationStateWatch.h"

#include "engine/OperationContext.h"

namespace corvanetov {

OperationStateWatch::OperationStateWatch(QObject* parent) : QObject(parent)
{
    OperationContext::Instance().AddStateListener(this, [this](int) {
        QMetaObject::invokeMethod(this, &OperationStateWatch::Changed, Qt::QueuedConnection);
    });
}

OperationStateWatch::~OperationStateWatch()
{
    OperationContext::Instance().RemoveStateListener(this);
}

} // namespace corvanetov
