#include "engine/OperationWorker.h"

#include <exception>
#include <string>
#include <system_error>

#include "engine/EngineConstants.h"
#include "engine/OperationContext.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"

namespace corvanetov {

namespace {
// The worker's boundary: nothing thrown in an operation may end the process
// (a thread the system refuses, memory it has no more of). The operation's
// frame has let go of the port on the way out; what is left is to end the
// operation as a failure that says why.
void RunToTheEnd(const std::function<void()>& body)
{
    std::string reason;
    try {
        Context().AwaitEndOf(nullptr);
        body();
        return;
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (...) {
        reason = engine::kUnknownFault;
    }
    TRACE("\nThe operation ended on an exception: %s\n", reason.c_str());
    Context().FailUnended(engine::kErrUnexpectedFault + reason);
}
} // namespace

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
            RunToTheEnd(body);
            // A stop belongs to the operation it ended; nothing after it may
            // be cut short by it.
            Pacing::Instance().ClearStop();
            {
                const std::lock_guard lock(m_endMutex);
                m_running = false;
            }
            m_ended.notify_all();
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

bool OperationWorker::WaitForEnd(std::chrono::milliseconds most)
{
    std::unique_lock lock(m_endMutex);
    return m_ended.wait_for(lock, most, [this] { return !m_running; });
}

void OperationWorker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace corvanetov
