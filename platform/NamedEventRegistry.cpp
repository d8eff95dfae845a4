#include "platform/NamedEventRegistry.h"

namespace corvanetov {

NamedEventRegistry& NamedEventRegistry::Instance()
{
    static NamedEventRegistry registry;
    return registry;
}

std::shared_ptr<ManualEvent> NamedEventRegistry::Create(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    auto& slot = m_events[name];
    if (auto existing = slot.lock())
        return existing;
    auto event = std::make_shared<ManualEvent>();
    slot = event;
    return event;
}

std::shared_ptr<ManualEvent> NamedEventRegistry::Open(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    auto found = m_events.find(name);
    if (found == m_events.end())
        return nullptr;
    auto event = found->second.lock();
    if (!event)
        m_events.erase(found);
    return event;
}

} // namespace corvanetov
