#include "cli/CliProgressLine.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace corvanetov {

namespace {
constexpr char kClearLine[] = "\r\033[K";
// The throughput is what the last few seconds moved: a pause between passes
// (the erase) soon drops out of it.
constexpr auto kRateWindow = std::chrono::seconds(5);
constexpr double kKibibyte = 1024.0;
constexpr int kSecondsPerMinute = 60;

std::string MinutesAndSeconds(uint64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                  static_cast<unsigned long long>(seconds % kSecondsPerMinute));
    return text;
}
} // namespace

CliProgressLine::CliProgressLine(Style style, bool live) : m_style(style), m_live(live) {}

std::string CliProgressLine::Amount(double bytes)
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

void CliProgressLine::StatusLine(const std::string& text)
{
    if (text.empty())
        return;
    std::lock_guard lock(m_mutex);
    m_step = text;
    if (m_style == Style::JsonLines)
        PrintJson(nlohmann::json{{"step", text}}.dump());
    if (m_style != Style::StatusLines)
        return;
    std::fprintf(stderr, "%s%s\n", m_shown ? kClearLine : "", text.c_str());
    m_shown = false;
}

void CliProgressLine::Progress(int32_t percent, uint64_t bytesDone, uint64_t bytesTotal)
{
    std::lock_guard lock(m_mutex);
    if (m_style == Style::JsonLines) {
        nlohmann::json line = {{"percent", percent}};
        if (bytesTotal) {
            line["bytes"] = bytesDone;
            line["total"] = bytesTotal;
        }
        PrintJson(line.dump());
    }
    if (!bytesTotal)
        return;
    auto now = Clock::now();
    m_bytesDone = bytesDone;
    m_bytesTotal = bytesTotal;
    m_samples.push_back({now, bytesDone});
    while (m_samples.size() > 2 && now - m_samples.front().at > kRateWindow)
        m_samples.pop_front();
}

std::string CliProgressLine::TransferText() const
{
    if (!m_bytesTotal)
        return {};
    std::string text = ", " + Amount(static_cast<double>(m_bytesDone)) + " of " + Amount(static_cast<double>(m_bytesTotal));
    if (m_samples.size() < 2 || m_bytesDone >= m_bytesTotal)
        return text;
    double seconds = std::chrono::duration<double>(m_samples.back().at - m_samples.front().at).count();
    double moved = static_cast<double>(m_samples.back().bytes - m_samples.front().bytes);
    if (seconds <= 0 || moved <= 0)
        return text;
    double rate = moved / seconds;
    text += ", " + Amount(rate) + "/s, " + MinutesAndSeconds(static_cast<uint64_t>((m_bytesTotal - m_bytesDone) / rate)) + " left";
    return text;
}

void CliProgressLine::Update(int seconds, int32_t percent)
{
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        text = (m_step.empty() ? std::string("working") : m_step) + "... " + std::to_string(seconds) + " s";
        if (percent >= 0)
            text += ", " + std::to_string(percent) + " %";
        text += TransferText();
    }
    Show(text);
}

void CliProgressLine::Clear()
{
    Show("");
}

void CliProgressLine::Result(const char* outcome, const std::string& text)
{
    if (m_style != Style::JsonLines)
        return;
    std::lock_guard lock(m_mutex);
    PrintJson(nlohmann::json{{"result", outcome}, {"text", text}}.dump());
}

void CliProgressLine::PrintJson(const std::string& line)
{
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void CliProgressLine::Show(const std::string& text)
{
    if (!m_live)
        return;
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s%s", kClearLine, text.c_str());
    std::fflush(stderr);
    m_shown = !text.empty();
}

} // namespace corvanetov
