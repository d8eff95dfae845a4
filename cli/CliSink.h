#pragma once

#include <mutex>
#include <string>

#include "engine/OperationSink.h"

// Operation messages on a terminal: status texts as lines on standard error,
// progress as a bar with percent, and the finish report kept as the result.
class CliSink : public OperationSink {
public:
    explicit CliSink(bool quiet);
    void OnOperationMessage(const OperationMessage& message) override;

    // A progress line that the next line overwrites (terminals only);
    // an empty text clears it.
    void ShowProgress(const std::string& text);

    bool Finished() const;
    // The text of the first finish report: the operation's error, or empty.
    std::string FinishText() const;

private:
    void Status(const std::string& text);

    bool m_quiet;
    bool m_progressShown = false; // guarded by m_mutex
    mutable std::mutex m_mutex;
    bool m_finished = false;
    std::string m_finishText;
};
