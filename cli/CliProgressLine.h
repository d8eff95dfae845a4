#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/TransferMeter.h"

namespace corvanetov {

// An operation's reports for the user. On standard error: each status text
// as a line, and on a terminal a live line, overwritten by the next one,
// that shows the tool is working, at which step, how long and how far
// ("Erasing Boot image... 12 s, 40 %"); for an operation that moves data
// the whole transfer's percentage, the pass, the bytes, the throughput and
// the time left (TransferMeter). Or, for scripts, one JSON object a line on
// standard output for each status and progress report and then the result.
class CliProgressLine {
public:
    enum class Style { StatusLines, JsonLines, Silent };
    CliProgressLine(Style style, bool live);

    void StatusLine(const std::string& text);
    void Progress(const OperationMessage& progress);
    // percent below 0: none reported yet; a transfer shows its own.
    void Update(int seconds, int32_t percent);
    void Clear();
    // The handset's ESN as a JSON line of its own, once it is known, so a
    // station can name the handset while its job still runs.
    void Identified(const std::string& esn);
    // The last JSON line: how the operation ended, and the software version
    // the handset runs where the operation found it out.
    void Result(const char* outcome, const std::string& text, const std::string& version = {});

private:
    void Show(const std::string& text);
    void PrintJson(const std::string& line);

    Style m_style;
    bool m_live;
    std::mutex m_mutex;
    bool m_shown = false; // a live line stands on the terminal
    std::string m_step;
    TransferMeter m_transfer;
    bool m_identified = false;
};

} // namespace corvanetov
