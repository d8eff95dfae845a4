#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace corvanetov {

// An operation's reports for the user. On standard error: each status text
// as a line, and on a terminal a live line, overwritten by the next one,
// that shows the tool is working, at which step, how long and how far
// ("Erasing Boot image... 12 s, 40 %"); for an operation that moves data
// also the bytes, the throughput and the time left. Or, for scripts, one
// JSON object a line on standard output for each status and progress
// report and then the result.
class CliProgressLine {
public:
    enum class Style { StatusLines, JsonLines, Silent };
    CliProgressLine(Style style, bool live);

    void StatusLine(const std::string& text);
    // bytesTotal 0: an operation that reports no amounts.
    void Progress(int32_t percent, uint64_t bytesDone, uint64_t bytesTotal);
    // percent below 0: none reported yet.
    void Update(int seconds, int32_t percent);
    void Clear();
    // The last JSON line: how the operation ended.
    void Result(const char* outcome, const std::string& text);

    // "1.5 MiB", "12.0 KiB", "512 B".
    static std::string Amount(double bytes);

private:
    using Clock = std::chrono::steady_clock;
    struct Sample {
        Clock::time_point at;
        uint64_t bytes;
    };

    void Show(const std::string& text);
    void PrintJson(const std::string& line);
    // The transfer's part of the live line; empty without amounts.
    std::string TransferText() const;

    Style m_style;
    bool m_live;
    std::mutex m_mutex;
    bool m_shown = false; // a live line stands on the terminal
    std::string m_step;
    uint64_t m_bytesDone = 0;
    uint64_t m_bytesTotal = 0;
    std::deque<Sample> m_samples; // recent amounts, for the throughput
};

} // namespace corvanetov
