#include "platform/ManualEvent.h"

#include "platform/Pacing.h"

namespace corvanetov {

void ManualEvent::Set()
{
    auto& pacing = Pacing::Instance();
    std::lock_guard lock(pacing.Mutex());
    m_set = true;
    pacing.NotifyAllLocked();
}

void ManualEvent::Reset()
{
    std::lock_guard lock(Pacing::Instance().Mutex());
    m_set = false;
}

bool ManualEvent::IsSet() const
{
    std::lock_guard lock(Pacing::Instance().Mutex());
    return m_set;
}

ManualEvent::WaitResult ManualEvent::Wait(uint32_t timeoutMs, std::chrono::microseconds onTheLine,
                                         const std::function<bool()>& hopeless)
{
    auto& pacing = Pacing::Instance();
    pacing.Observe(Pacing::Pause::Wait, timeoutMs);
    auto deadline = pacing.DeadlineAfter(timeoutMs, onTheLine);
    std::unique_lock lock(pacing.Mutex());
    pacing.WaitUntil(lock, deadline, [&] { return m_set || (hopeless && hopeless()); });
    if (m_set)
        return WaitResult::Signalled;
    lock.unlock();
    return pacing.StopRequested() ? WaitResult::Stopped : WaitResult::TimedOut;
}

} // namespace corvanetov
