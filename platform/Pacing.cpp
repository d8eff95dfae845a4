#include "platform/Pacing.h"

#include <cstdlib>
#include <thread>

namespace corvanetov {

namespace {
double ScaleFromEnvironment()
{
    const char* text = std::getenv("CORVANETOV_TIME_SCALE");
    if (!text || !*text)
        return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return (end && *end == '\0' && value > 0.0 && value <= 1000.0) ? value : 1.0;
}
} // namespace

Pacing& Pacing::Instance()
{
    static Pacing pacing;
    return pacing;
}

Pacing::Pacing() : m_scale(ScaleFromEnvironment()) {}

double Pacing::TimeScale() const
{
    std::lock_guard lock(m_mutex);
    return m_scale;
}

void Pacing::SetTimeScale(double scale)
{
    std::lock_guard lock(m_mutex);
    if (scale > 0.0)
        m_scale = scale;
}

std::chrono::steady_clock::duration Pacing::Scaled(uint32_t ms) const
{
    std::chrono::duration<double, std::milli> scaled(ms * TimeScale());
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(scaled);
}

std::chrono::steady_clock::time_point Pacing::DeadlineAfter(uint32_t ms) const
{
    return std::chrono::steady_clock::now() + Scaled(ms);
}

bool Pacing::Sleep(uint32_t ms)
{
    Observe(Pause::Sleep, ms);
    auto deadline = DeadlineAfter(ms);
    std::unique_lock lock(m_mutex);
    m_cv.wait_until(lock, deadline, [&] { return m_stop; });
    return !m_stop;
}

void Pacing::Delay(uint32_t ms) const
{
    std::this_thread::sleep_for(Scaled(ms));
}

void Pacing::SetObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void Pacing::Observe(Pause pause, uint32_t ms) const
{
    Observer observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (observer) // outside the lock: an observer may request a stop
        observer(pause, ms);
}

void Pacing::RequestStop()
{
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_cv.notify_all();
}

void Pacing::ClearStop()
{
    std::lock_guard lock(m_mutex);
    m_stop = false;
}

bool Pacing::StopRequested() const
{
    std::lock_guard lock(m_mutex);
    return m_stop;
}

} // namespace corvanetov
