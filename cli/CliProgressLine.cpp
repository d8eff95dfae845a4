#include "cli/CliProgressLine.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace corvanetov {

namespace {
constexpr char kClearLine[] = "\r\033[K";
} // namespace

CliProgressLine::CliProgressLine(Style style, bool live) : m_style(style), m_live(live) {}

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
    m_bytesDone = bytesDone;
    m_bytesTotal = bytesTotal;
    m_rate.Add(bytesDone);
}

void CliProgressLine::Identified(const std::string& esn)
{
    std::lock_guard lock(m_mutex);
    if (m_style != Style::JsonLines || m_identified || esn.empty())
        return;
    m_identified = true;
    PrintJson(nlohmann::json{{"esn", esn}}.dump());
}

std::string CliProgressLine::TransferText() const
{
    if (!m_bytesTotal)
        return {};
    std::string text = ", " + TransferRate::Amount(static_cast<double>(m_bytesDone)) + " of " +
                       TransferRate::Amount(static_cast<double>(m_bytesTotal));
    std::optional<double> rate = m_rate.BytesPerSecond();
    std::optional<uint64_t> left = m_rate.SecondsLeft(m_bytesTotal);
    if (!rate || !left)
        return text;
    return text + ", " + TransferRate::Amount(*rate) + "/s, " + TransferRate::MinutesAndSeconds(*left) + " left";
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
