#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "station/TransferRate.h"

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
    // The handset's ESN as a JSON line of its own, once it is known, so a
    // station can name the handset while its job still runs.
    void Identified(const std::string& esn);
    // The last JSON line: how the operation ended.
    void Result(const char* outcome, const std::string& text);

private:
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
    TransferRate m_rate;
    bool m_identified = false;
};

} // namespace corvanetov
