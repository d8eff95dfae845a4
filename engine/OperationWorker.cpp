#include "engine/OperationWorker.h"

#include "platform/Pacing.h"

OperationWorker::~OperationWorker()
{
    if (m_running)
        Stop();
    Join();
}

void OperationWorker::Start(std::function<void()> body)
{
    Join();
    Pacing::Instance().ClearStop();
    m_running = true;
    m_thread = std::thread([this, body = std::move(body)] {
        body();
        // A stop belongs to the operation it ended; nothing after it may be
        // cut short by it.
        Pacing::Instance().ClearStop();
        m_running = false;
    });
}

void OperationWorker::Stop()
{
    Pacing::Instance().RequestStop();
}

void OperationWorker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}
