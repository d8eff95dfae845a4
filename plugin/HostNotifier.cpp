#include "plugin/HostNotifier.h"

HostNotifier& HostNotifier::Instance()
{
    static HostNotifier notifier;
    return notifier;
}

void HostNotifier::SetReceiver(Receiver receiver)
{
    std::lock_guard lock(m_mutex);
    m_receiver = std::move(receiver);
}

void HostNotifier::Send(int lineCode, const std::string& text) const
{
    Receiver receiver;
    {
        std::lock_guard lock(m_mutex);
        receiver = m_receiver;
    }
    // Called outside the lock: the host may answer by sending a line itself.
    if (receiver)
        receiver(lineCode, text);
}
