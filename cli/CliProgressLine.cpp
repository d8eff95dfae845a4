#include "cli/CliProgressLine.h"

#include <cstdio>

namespace {
constexpr char kClearLine[] = "\r\033[K";
}

CliProgressLine::CliProgressLine(bool statusLines, bool live) : m_statusLines(statusLines), m_live(live) {}

void CliProgressLine::StatusLine(const std::string& text)
{
    if (!m_statusLines || text.empty())
        return;
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s%s\n", m_shown ? kClearLine : "", text.c_str());
    m_shown = false;
}

void CliProgressLine::Update(int seconds, int32_t percent)
{
    std::string text = "working... " + std::to_string(seconds) + " s";
    if (percent >= 0)
        text += ", " + std::to_string(percent) + " %";
    Show(text);
}

void CliProgressLine::Clear()
{
    Show("");
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
