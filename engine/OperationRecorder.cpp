#include "engine/OperationRecorder.h"

#include "platform/Pacing.h"

namespace corvanetov {

OperationRecorder::OperationRecorder(OnEnd onEnd, Listener listener) : m_onEnd(onEnd), m_listener(std::move(listener)) {}

OperationFamily::Role OperationRecorder::RoleOf(const OperationMessage& message)
{
    const OperationFamily* family = OperationFamily::Find(message.number);
    return family ? family->RoleOf(message.kind) : OperationFamily::Role::Other;
}

void OperationRecorder::OnOperationMessage(const OperationMessage& message)
{
    OperationFamily::Role role = RoleOf(message);
    bool firstEnd = false;
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
        if (role == OperationFamily::Role::Progress)
            m_percent = message.value;
        if (role == OperationFamily::Role::End && !m_finished) {
            firstEnd = true;
            m_finished = true;
            m_succeeded = message.outcome == OperationMessage::Outcome::Succeeded;
            m_endText = message.text;
        }
    }
    if (m_listener)
        m_listener(message, role);
    if (firstEnd && m_onEnd == OnEnd::StopWorker)
        Pacing::Instance().RequestStop();
}

bool OperationRecorder::Finished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

bool OperationRecorder::Succeeded() const
{
    std::lock_guard lock(m_mutex);
    return m_succeeded;
}

std::string OperationRecorder::EndText() const
{
    std::lock_guard lock(m_mutex);
    return m_endText;
}

int32_t OperationRecorder::Percent() const
{
    std::lock_guard lock(m_mutex);
    return m_percent;
}

std::vector<OperationMessage> OperationRecorder::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

} // namespace corvanetov
