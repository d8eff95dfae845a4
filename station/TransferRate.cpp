#include "station/TransferRate.h"

#include <cstdio>

namespace corvanetov {

namespace {
constexpr auto kRateWindow = std::chrono::seconds(5);
constexpr double kKibibyte = 1024.0;
constexpr int kSecondsPerMinute = 60;
} // namespace

void TransferRate::Add(uint64_t bytesDone, Clock::time_point at)
{
    // A new pass starts again from nothing: the figure starts afresh too.
    if (!m_samples.empty() && bytesDone < m_samples.back().bytes)
        m_samples.clear();
    m_samples.push_back({at, bytesDone});
    while (m_samples.size() > 2 && at - m_samples.front().at > kRateWindow)
        m_samples.pop_front();
}

std::optional<double> TransferRate::BytesPerSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    double seconds = std::chrono::duration<double>(m_samples.back().at - m_samples.front().at).count();
    double moved = static_cast<double>(m_samples.back().bytes - m_samples.front().bytes);
    if (seconds <= 0 || moved <= 0)
        return std::nullopt;
    return moved / seconds;
}

std::optional<uint64_t> TransferRate::SecondsLeft(uint64_t bytesTotal) const
{
    std::optional<double> rate = BytesPerSecond();
    if (!rate || m_samples.back().bytes >= bytesTotal)
        return std::nullopt;
    return static_cast<uint64_t>(static_cast<double>(bytesTotal - m_samples.back().bytes) / *rate);
}

std::string TransferRate::Amount(double bytes)
{
    char text[32];
    if (bytes >= kKibibyte * kKibibyte)
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (kKibibyte * kKibibyte));
    else if (bytes >= kKibibyte)
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / kKibibyte);
    else
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    return text;
}

std::string TransferRate::MinutesAndSeconds(uint64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                  static_cast<unsigned long long>(seconds % kSecondsPerMinute));
    return text;
}

} // namespace corvanetov
