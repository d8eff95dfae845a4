#include "comm/PortResolver.h"

#include <string>

#include "comm/CommConstants.h"

namespace corvanetov {

PortResolver& PortResolver::Instance()
{
    static PortResolver resolver;
    return resolver;
}

void PortResolver::Set(Function resolve)
{
    std::lock_guard lock(m_mutex);
    m_resolve = std::move(resolve);
}

std::string PortResolver::Resolve(uint8_t port) const
{
    std::lock_guard lock(m_mutex);
    return m_resolve ? m_resolve(port) : std::string();
}

std::string PortResolver::ComName(uint8_t port)
{
    return comm::kComPrefix + std::to_string(port);
}

} // namespace corvanetov
