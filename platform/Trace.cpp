#include "platform/Trace.h"

#include <cstdarg>
#include <cstdlib>
#include <unistd.h>

#include "platform/FileSave.h"

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

std::string Trace::SetTarget(const std::string& target)
{
    std::lock_guard lock(m_mutex);
    CloseTarget();
    if (target.empty())
        return {};
    if (target == "stderr") {
        m_out = stderr;
        return {};
    }
    std::string reason;
    int fd = FileSave::OpenForAppend(target, reason);
    m_out = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (fd >= 0 && !m_out) {
        reason = target + ": the trace cannot be written";
        ::close(fd);
    }
    m_ownsFile = m_out != nullptr;
    return reason;
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
