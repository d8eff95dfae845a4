#include "engine/TransferMeter.h"

namespace corvanetov {

namespace {
constexpr int32_t kFullPercent = 100;
} // namespace

void TransferMeter::Add(const OperationMessage& progress, TransferRate::Clock::time_point at)
{
    if (!progress.bytesTotal)
        return;
    m_pass = progress.pass;
    m_passes = progress.passes;
    m_done = progress.bytesDone;
    m_total = progress.bytesTotal;
    m_rate.Add(m_done, at);
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
    text += TransferRate::Amount(static_cast<double>(m_done)) + " of " + TransferRate::Amount(static_cast<double>(m_total));
    const std::optional<double> rate = m_rate.BytesPerSecond();
    const std::optional<uint64_t> left = m_rate.SecondsLeft(m_total);
    if (!rate || !left)
        return text;
    return text + ", " + TransferRate::Amount(*rate) + "/s, " + TransferRate::MinutesAndSeconds(*left) + " left";
}

} // namespace corvanetov
