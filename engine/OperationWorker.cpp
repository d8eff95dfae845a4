#include "engine/OperationWorker.h"

#include <system_error>

#include "platform/Pacing.h"
#include "platform/Trace.h"

namespace corvanetov {

OperationWorker::~OperationWorker()
{
    if (m_running)
        Stop();
    Join();
}

bool OperationWorker::Start(std::function<void()> body)
{
    Join();
    Pacing::Instance().ClearStop();
    m_running = true;
    try {
        m_thread = std::thread([this, body = std::move(body)] {
            body();
            // A stop belongs to the operation it ended; nothing after it may
            // be cut short by it.
            Pacing::Instance().ClearStop();
            m_running = false;
        });
    } catch (const std::system_error& error) {
        TRACE("\nNo worker thread: %s\n", error.what());
        m_running = false;
        return false;
    }
    return true;
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

} // namespace corvanetov
