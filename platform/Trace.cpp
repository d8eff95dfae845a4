#include "platform/Trace.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace corvanetov {

Trace& Trace::Instance()
{
    static Trace trace;
    return trace;
}

Trace::Trace()
{
    if (const char* target = std::getenv("CORVANETOV_TRACE"))
        SetTarget(target);
}

Trace::~Trace()
{
    CloseTarget();
}

void Trace::CloseTarget()
{
    if (m_ownsFile && m_out)
        std::fclose(m_out);
    m_out = nullptr;
    m_ownsFile = false;
}

int Trace::SetTarget(const std::string& target)
{
    std::lock_guard lock(m_mutex);
    CloseTarget();
    if (target.empty())
        return 0;
    if (target == "stderr") {
        m_out = stderr;
        return 0;
    }
    m_out = std::fopen(target.c_str(), "a");
    m_ownsFile = m_out != nullptr;
    return m_out ? 0 : errno;
}

bool Trace::Enabled() const
{
    std::lock_guard lock(m_mutex);
    return m_out != nullptr;
}

void Trace::Printf(const char* format, ...)
{
    std::lock_guard lock(m_mutex);
    if (!m_out)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(m_out, format, args);
    va_end(args);
    std::fflush(m_out);
}

} // namespace corvanetov
