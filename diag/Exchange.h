#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "diag/DiagConstants.h"

namespace corvanetov {

class DiagChannel;

// One request at a time: wait for the answer on the channel's response event,
// copy it, and the "up to 3 attempts" pattern every operation uses.
class Exchange {
public:
    static constexpr size_t kCopySize = diag::kResponseCopySize;
    // WaitResponse results
    static constexpr int kAnswer = 0;
    static constexpr int kTimeout = 1;
    static constexpr int kWaitFailed = 2;
    static constexpr int kOther = -1; // also: a stop request ended the wait
    // An expected command that any answer satisfies.
    static constexpr int kAnyCommand = -1;

    // Whether an answer (the current response) ends the attempts.
    using Acceptance = std::function<bool(const uint8_t* answer)>;

    struct Params {
        uint32_t timeoutMs;
        uint32_t pauseMs;
        int expectedCommand; // kAnyCommand: any answer counts
        int attempts = diag::kAttempts;
        Acceptance accept = {}; // when given, it judges the answer instead of expectedCommand
    };

    Exchange();

    // Called when the response event cannot be opened ("Event Error!").
    void SetEventErrorHandler(std::function<void(const std::string&)> handler);

    int WaitResponse(DiagChannel& channel, uint32_t timeoutMs);
    void FetchResponse(DiagChannel& channel);

    // Up to 3 attempts (or as many as given) of send, wait, check the answer,
    // pause. True when the last wait brought an answer that was accepted.
    bool Transact(DiagChannel& channel, const std::function<void()>& send, const Params& params);
    // One wait for the answer to a request already sent: true when it came
    // in time and is accepted as Transact would accept it.
    bool AwaitAnswer(DiagChannel& channel, const Params& params);
    int LastWaitResult() const { return m_lastWait; }

    const uint8_t* CurrentResponse() const { return m_current; }
    uint32_t CurrentLength() const { return m_currentLength; }

private:
    bool Accepted(int waitResult, const Params& params) const;

    std::array<uint8_t, kCopySize> m_decoded{};
    std::array<uint8_t, kCopySize> m_raw{};
    const uint8_t* m_current;
    uint32_t m_currentLength = 0;
    int m_lastWait = kOther;
    std::function<void(const std::string&)> m_onEventError;
};

} // namespace corvanetov
