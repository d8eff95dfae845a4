#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace corvanetov {

// Every fixed pause and every time-out of the protocol goes through here, so
// that one time scale speeds up tests and demos, and one stop request wakes a
// worker from whatever pause or wait it is in.
class Pacing {
public:
    static Pacing& Instance();

    // Time scales run from just above 0 to this; 1 is the real timing.
    static constexpr double kLongestTimeScale = 1000.0;
    static constexpr char kTimeScaleVariable[] = "CORVANETOV_TIME_SCALE";
    // The time scale a text gives (the variable's and the command line's):
    // a number above 0 and at most kLongestTimeScale, nothing after it; none
    // otherwise (nan, inf, 0, negatives, 1e10).
    static std::optional<double> ParseTimeScale(const char* text);

    double TimeScale() const;
    // For the front ends to show once, so that shortened pauses are never
    // taken for real ones: empty at the real timing (scale 1).
    std::string TimeScaleNotice() const;
    // A scale outside the accepted range is ignored.
    void SetTimeScale(double scale);
    // Scaled pauses saturate: however long, a deadline never wraps around.
    std::chrono::steady_clock::duration Scaled(uint32_t ms) const;
    // A time-out of which onTheLine is spent by bytes on the serial line:
    // the time scale shortens the rest only, since a line at a given speed
    // takes its time whatever the scale. Never shorter than onTheLine, nor
    // than the plainly scaled time-out.
    std::chrono::steady_clock::duration Scaled(uint32_t ms, std::chrono::microseconds onTheLine) const;
    std::chrono::steady_clock::time_point DeadlineAfter(uint32_t ms, std::chrono::microseconds onTheLine = {}) const;

    // A worker's pause: false when a stop request ended it early.
    bool Sleep(uint32_t ms);
    // A pause that a stop does not shorten (the receive thread's batching).
    void Delay(uint32_t ms) const;

    // Whoever follows an operation's pauses and waits in their order (the
    // engine's tests do): told on the pausing thread, before the pause
    // begins, with the time as the system names it.
    enum class Pause { Sleep, Wait };
    using Observer = std::function<void(Pause pause, uint32_t ms)>;
    void SetObserver(Observer observer);
    void Observe(Pause pause, uint32_t ms) const;

    void RequestStop();
    void ClearStop();
    bool StopRequested() const;

    // Waits until pred() holds, the deadline passes or a stop is requested.
    // pred is evaluated under Mutex(); true when pred() held.
    template <class Pred>
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline, Pred pred)
    {
        m_cv.wait_until(lock, deadline, [&] { return pred() || m_stop; });
        return pred();
    }
    std::mutex& Mutex() { return m_mutex; }
    void NotifyAllLocked() { m_cv.notify_all(); }

private:
    Pacing();

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    Observer m_observer; // guarded by m_mutex
    double m_scale = 1.0;
};

} // namespace corvanetov
