#include "comm/TransmitDrain.h"

#include <algorithm>
#include <thread>

#include "comm/LineTime.h"

namespace corvanetov {

namespace {
// The longest sleep between two looks: a stop is heeded within it.
constexpr auto kLongestSlice = std::chrono::milliseconds(20);
constexpr auto kShortestSlice = std::chrono::milliseconds(1);
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
        auto slice = std::clamp<Clock::duration>(LineTime(static_cast<size_t>(bytes), baud), kShortestSlice, kLongestSlice);
        std::this_thread::sleep_for(std::min<Clock::duration>(slice, deadline - now));
    }
}

} // namespace corvanetov
