#include "platform/Pacing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace corvanetov {

namespace {
using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

// Half the clock's range: far beyond any pause, and still a deadline when
// added to the present.
constexpr Duration kLongestPause = Duration::max() / 2;

using Milliseconds = std::chrono::duration<double, std::milli>;

Duration Saturated(Milliseconds length)
{
    std::chrono::duration<double, Duration::period> ticks = length;
    if (!(ticks.count() < static_cast<double>(kLongestPause.count())))
        return kLongestPause;
    return std::chrono::duration_cast<Duration>(ticks);
}

bool Accepted(double scale)
{
    return scale > 0.0 && scale <= Pacing::kLongestTimeScale; // false for nan
}

double ScaleFromEnvironment()
{
    return Pacing::ParseTimeScale(std::getenv(Pacing::kTimeScaleVariable)).value_or(1.0);
}
} // namespace

std::optional<double> Pacing::ParseTimeScale(const char* text)
{
    // Decimal only: strtod would also take "0x10" as 16.
    if (!text || !*text || text[std::strspn(text, "0123456789.eE+-")] != '\0')
        return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (!end || *end != '\0' || !Accepted(value))
        return std::nullopt;
    return value;
}

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

std::string Pacing::TimeScaleNotice() const
{
    double scale = TimeScale();
    if (scale == 1.0)
        return {};
    char notice[160];
    std::snprintf(notice, sizeof notice, "Time scale %g: every pause and time-out takes %g times its real length (a test and demo setting)",
                  scale, scale);
    return notice;
}

void Pacing::SetTimeScale(double scale)
{
    std::lock_guard lock(m_mutex);
    if (Accepted(scale))
        m_scale = scale;
}

Duration Pacing::Scaled(uint32_t ms) const
{
    return Saturated(Milliseconds(ms) * TimeScale());
}

Duration Pacing::Scaled(uint32_t ms, std::chrono::microseconds onTheLine) const
{
    Milliseconds line = onTheLine;
    Milliseconds rest = std::max(Milliseconds(ms) - line, Milliseconds(0));
    return std::max(Scaled(ms), Saturated(line + rest * TimeScale()));
}

TimePoint Pacing::DeadlineAfter(uint32_t ms, std::chrono::microseconds onTheLine) const
{
    TimePoint now = std::chrono::steady_clock::now();
    Duration pause = Scaled(ms, onTheLine);
    return pause < TimePoint::max() - now ? now + pause : TimePoint::max();
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
