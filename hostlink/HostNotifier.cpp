#include "hostlink/HostNotifier.h"

namespace corvanetov {

HostNotifier& HostNotifier::Instance()
{
    static HostNotifier notifier;
    return notifier;
}

void HostNotifier::SetCallback(HostMessageCallback callback, void* context)
{
    std::lock_guard lock(m_mutex);
    m_callback = callback;
    m_context = context;
}

void HostNotifier::Send(int line, const std::string& text) const
{
    HostMessageCallback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
        context = m_context;
    }
    if (callback)
        callback(context, PluginAbi::kHostNotifyMessage, line, text.c_str());
}

} // namespace corvanetov
