#include "comm/PortResolver.h"

#include <string>

#include "comm/CommConstants.h"

namespace corvanetov {

PortResolver& PortResolver::Instance()
{
    static PortResolver resolver;
    return resolver;
}

void PortResolver::Set(Function resolve, std::string table)
{
    std::lock_guard lock(m_mutex);
    m_resolve = std::move(resolve);
    m_table = std::move(table);
}

std::string PortResolver::TableName() const
{
    std::lock_guard lock(m_mutex);
    return m_table;
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
