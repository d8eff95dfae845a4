#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvanetov {

// Waits until what was written has left the device. A close right after a
// write (the reset at the end of every operation, or after a refused MSL
// code) must not throw away what is still in a UART's or a USB adapter's
// transmit queue. The kernel's own wait (tcdrain) cannot be bounded; this
// one asks how much is still queued, sleeps about the time the line needs
// for it, and gives up at the deadline or when told to.
class TransmitDrain {
public:
    using Clock = std::chrono::steady_clock;
    // Bytes still queued; 0 when empty, negative when the device cannot tell.
    using Queued = std::function<int()>;

    // True once the queue is empty (or the device keeps none); false at the
    // deadline or when abandon() turns true.
    static bool Wait(const Queued& queued, uint32_t baud, Clock::time_point deadline, bool (*abandon)());
};

} // namespace corvanetov
