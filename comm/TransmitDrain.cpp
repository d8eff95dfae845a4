#include "comm/TransmitDrain.h"

#include <algorithm>
#include <thread>

namespace corvanetov {

namespace {
constexpr double kBitsPerByte = 10.0; // 8N1: a start and a stop bit with each byte
// The longest sleep between two looks: a stop is heeded within it.
constexpr auto kLongestSlice = std::chrono::milliseconds(20);
constexpr auto kShortestSlice = std::chrono::milliseconds(1);

std::chrono::microseconds LineTime(int bytes, uint32_t baud)
{
    if (baud == 0)
        return kShortestSlice;
    return std::chrono::microseconds(static_cast<int64_t>(bytes * kBitsPerByte * 1e6 / baud));
}
} // namespace

bool TransmitDrain::Wait(const Queued& queued, uint32_t baud, Clock::time_point deadline, bool (*abandon)())
{
    for (;;) {
        int bytes = queued();
        if (bytes <= 0)
            return true;
        auto now = Clock::now();
        if (now >= deadline || (abandon && abandon()))
            return false;
        auto slice = std::clamp<Clock::duration>(LineTime(bytes, baud), kShortestSlice, kLongestSlice);
        std::this_thread::sleep_for(std::min<Clock::duration>(slice, deadline - now));
    }
}

} // namespace corvanetov
