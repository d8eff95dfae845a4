#include "forms/OperationBridge.h"

#include "forms/StopAwareHandOver.h"

namespace corvanetov {

OperationBridge::OperationBridge(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

void OperationBridge::OnOperationMessage(const OperationMessage& message)
{
    StopAwareHandOver::Run(this, [this, message] { m_handler(message); });
}

} // namespace corvanetov
