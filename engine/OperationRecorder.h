#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/OperationFamily.h"
#include "engine/OperationSink.h"

namespace corvanetov {

// The report target of a front end without a window (the command line, the
// benchmarks, the tests), for any operation: it keeps every report, the last
// percentage and the first end report, which tells whether the operation
// succeeded. Like a view, it ends the worker on that first end report,
// unless told to let the operation run on. A listener hears each report, with
// its role in the family, as it comes.
class OperationRecorder : public OperationSink {
public:
    enum class OnEnd { StopWorker, Continue };
    using Listener = std::function<void(const OperationMessage& message, OperationFamily::Role role)>;

    explicit OperationRecorder(OnEnd onEnd = OnEnd::StopWorker, Listener listener = {});

    void OnOperationMessage(const OperationMessage& message) override;

    bool Finished() const;
    bool Succeeded() const;
    // The first end report's text: the operation's error or completion text.
    std::string EndText() const;
    // The last progress report's percentage; -1 before the first.
    int32_t Percent() const;
    std::vector<OperationMessage> Messages() const;

private:
    static OperationFamily::Role RoleOf(const OperationMessage& message);

    OnEnd m_onEnd;
    Listener m_listener;
    mutable std::mutex m_mutex;
    std::vector<OperationMessage> m_messages;
    bool m_finished = false;
    bool m_succeeded = false;
    std::string m_endText;
    int32_t m_percent = -1;
};

} // namespace corvanetov
