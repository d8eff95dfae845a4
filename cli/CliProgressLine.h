#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// An operation's progress on standard error: each status text as a line,
// and on a terminal a live line, overwritten by the next one, that shows the
// tool is working ("working... 12 s, 40 %").
class CliProgressLine {
public:
    CliProgressLine(bool statusLines, bool live);

    void StatusLine(const std::string& text);
    // percent below 0: none reported yet.
    void Update(int seconds, int32_t percent);
    void Clear();

private:
    void Show(const std::string& text);

    bool m_statusLines;
    bool m_live;
    std::mutex m_mutex;
    bool m_shown = false; // a live line stands on the terminal
};
