#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvanetov {

// A manual-reset event: once set it stays set until reset, so a signal that
// arrives before anybody waits is not lost. Waits go through Pacing and so
// obey the time scale and end at once on a stop request.
class ManualEvent {
public:
    enum class WaitResult { Signalled, TimedOut, Stopped };

    void Set();
    void Reset();
    bool IsSet() const;
    // onTheLine: the part of the time-out that bytes spend on the serial
    // line, which the time scale does not shorten (Pacing::Scaled).
    // hopeless, evaluated under Pacing::Mutex() whenever the waiters are
    // woken: once it holds, no signal can come any more and the wait ends
    // as a time-out would.
    WaitResult Wait(uint32_t timeoutMs, std::chrono::microseconds onTheLine = {},
                    const std::function<bool()>& hopeless = {});

private:
    bool m_set = false; // guarded by Pacing::Mutex()
};

} // namespace corvanetov
