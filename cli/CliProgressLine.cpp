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

// For a transfer, one percentage over the whole of it: the report's own
// value is its pass's.
void CliProgressLine::Progress(const OperationMessage& progress)
{
    std::lock_guard lock(m_mutex);
    m_transfer.Add(progress);
    if (m_style != Style::JsonLines)
        return;
    nlohmann::json line = {{"percent", progress.bytesTotal ? m_transfer.Percent() : progress.value}};
    if (progress.bytesTotal) {
        line["bytes"] = progress.bytesDone;
        line["total"] = progress.bytesTotal;
        line["pass"] = progress.pass;
        line["passes"] = progress.passes;
        line["pass_percent"] = progress.value;
    }
    PrintJson(line.dump());
}

void CliProgressLine::Identified(const std::string& esn)
{
    std::lock_guard lock(m_mutex);
    if (m_style != Style::JsonLines || m_identified || esn.empty())
        return;
    m_identified = true;
    PrintJson(nlohmann::json{{"esn", esn}}.dump());
}

void CliProgressLine::Update(int seconds, int32_t percent)
{
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        text = (m_step.empty() ? std::string("working") : m_step) + "... " + std::to_string(seconds) + " s";
        if (m_transfer.Started())
            text += ", " + std::to_string(m_transfer.Percent()) + " %, " + m_transfer.Text();
        else if (percent >= 0)
            text += ", " + std::to_string(percent) + " %";
    }
    Show(text);
}

void CliProgressLine::Clear()
{
    Show("");
}

void CliProgressLine::Result(const char* outcome, const std::string& text, const std::string& version)
{
    if (m_style != Style::JsonLines)
        return;
    std::lock_guard lock(m_mutex);
    nlohmann::json line = {{"result", outcome}, {"text", text}};
    if (!version.empty())
        line["version"] = version;
    PrintJson(line.dump());
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
