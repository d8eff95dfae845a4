#include "diag/Exchange.h"

#include "diag/DiagChannel.h"
#include "platform/NamedEventRegistry.h"
#include "platform/Pacing.h"
#include "platform/Trace.h"

namespace corvanetov {

namespace {
const char kEventError[] = "Event Error!";
}

Exchange::Exchange() : m_current(m_decoded.data()) {}

void Exchange::SetEventErrorHandler(std::function<void(const std::string&)> handler)
{
    m_onEventError = std::move(handler);
}

int Exchange::WaitResponse(DiagChannel& channel, uint32_t timeoutMs)
{
    std::string name = channel.ResponseEventName();
    TRACE("%s\n", name.c_str());
    auto event = NamedEventRegistry::Instance().Open(name);
    if (!event) {
        if (m_onEventError)
            m_onEventError(kEventError);
        return kWaitFailed;
    }
    // The answer cannot come before the request has crossed the line, nor
    // at all once the line is lost.
    auto outcome = event->Wait(timeoutMs, channel.LastRequestLineTime(), [&channel] { return channel.LineLost(); });
    event->Reset();
    switch (outcome) {
    case ManualEvent::WaitResult::Signalled:
        FetchResponse(channel);
        return kAnswer;
    case ManualEvent::WaitResult::TimedOut:
        return kTimeout;
    default:
        return kOther;
    }
}

void Exchange::FetchResponse(DiagChannel& channel)
{
    if (channel.RawReceiveMode()) {
        m_raw.fill(0);
        m_currentLength = channel.CopyFrame(m_raw.data());
        m_current = m_raw.data();
    } else {
        m_decoded.fill(0);
        m_currentLength = channel.CopyResponse(m_decoded.data());
        m_current = m_decoded.data();
    }
}

bool Exchange::Accepted(int waitResult, const Params& params) const
{
    if (waitResult != kAnswer)
        return false;
    if (params.accept)
        return params.accept(m_current);
    return params.expectedCommand == kAnyCommand || m_current[0] == params.expectedCommand;
}

bool Exchange::AwaitAnswer(DiagChannel& channel, const Params& params)
{
    m_lastWait = WaitResponse(channel, params.timeoutMs);
    return Accepted(m_lastWait, params);
}

bool Exchange::Transact(DiagChannel& channel, const std::function<void()>& send, const Params& params)
{
    m_lastWait = kOther;
    for (int attempt = 0; attempt < params.attempts; ++attempt) {
        send();
        m_lastWait = WaitResponse(channel, params.timeoutMs);
        if (Accepted(m_lastWait, params))
            return true;
        if (!Pacing::Instance().Sleep(params.pauseMs))
            return false;
    }
    return false;
}

} // namespace corvanetov
