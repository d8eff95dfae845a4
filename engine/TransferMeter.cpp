#include "engine/TransferMeter.h"

#include <cstdio>

namespace corvanetov {

namespace {
constexpr auto kRateWindow = std::chrono::seconds(5);
constexpr double kKibibyte = 1024.0;
constexpr uint64_t kSecondsPerMinute = 60;
constexpr int32_t kFullPercent = 100;

std::string MinutesAndSeconds(uint64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                  static_cast<unsigned long long>(seconds % kSecondsPerMinute));
    return text;
}
} // namespace

std::string TransferMeter::Amount(double bytes)
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

void TransferMeter::Add(const OperationMessage& progress, Clock::time_point at)
{
    if (!progress.bytesTotal)
        return;
    m_pass = progress.pass;
    m_passes = progress.passes;
    m_done = progress.bytesDone;
    m_total = progress.bytesTotal;
    m_samples.push_back({at, m_done});
    while (m_samples.size() > 2 && at - m_samples.front().at > kRateWindow)
        m_samples.pop_front();
}

int32_t TransferMeter::Percent() const
{
    return m_total ? static_cast<int32_t>(m_done * kFullPercent / m_total) : 0;
}

std::string TransferMeter::Text() const
{
    if (!m_total)
        return {};
    std::string text;
    if (m_passes)
        text = "pass " + std::to_string(m_pass) + " of " + std::to_string(m_passes) + ", ";
    text += Amount(static_cast<double>(m_done)) + " of " + Amount(static_cast<double>(m_total));
    if (m_samples.size() < 2 || m_done >= m_total)
        return text;
    const double seconds = std::chrono::duration<double>(m_samples.back().at - m_samples.front().at).count();
    const double moved = static_cast<double>(m_samples.back().bytes - m_samples.front().bytes);
    if (seconds <= 0 || moved <= 0)
        return text;
    const double rate = moved / seconds;
    return text + ", " + Amount(rate) + "/s, " + MinutesAndSeconds(static_cast<uint64_t>(static_cast<double>(m_total - m_done) / rate)) +
           " left";
}

} // namespace corvanetov
